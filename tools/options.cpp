// options.cpp -- reading, checking and describing flyover-tool's options from the commands' tables
#include "tools/options.h"

#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <optional>

#include "shared/scene_format.h"
#include "shared/text.h"

namespace {

constexpr size_t kUsageWidth = 80;  // where the usage synopsis wraps

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// "--time MS", or "--json" for a flag.
std::string Token(const OptionSpec& option) {
    std::string token = option.name;
    if (option.kind != OptionKind::Flag) token += std::string(" ") + option.valueName;
    return token;
}

// "a", "a and b", "a, b and c" (with `last` for "and").
std::string JoinWords(const std::vector<std::string>& words, const char* last) {
    std::string text;
    for (size_t i = 0; i < words.size(); ++i) {
        if (i > 0) text += i + 1 == words.size() ? std::string(" ") + last + " " : ", ";
        text += words[i];
    }
    return text;
}

// Checks and converts one value of `option`; on a bad one returns the message.
std::optional<std::string> ReadValue(const OptionSpec& option, const std::string& text,
                                     OptionValue& value) {
    value.text = text;
    const std::string bad =
        std::string("bad ") + option.name + " \"" + text + "\" (expected " + option.expected + ")";
    switch (option.kind) {
        case OptionKind::Flag:
        case OptionKind::Text:
            return std::nullopt;
        case OptionKind::Whole:
            if (ParseWhole(text, option.min, option.max, value.whole)) return std::nullopt;
            return bad;
        case OptionKind::WholeList:
            if (ParseWholeList(text, option.count, option.min, option.max, value.wholes))
                return std::nullopt;
            return bad;
        case OptionKind::Decimal:
            if (ParseDecimal(text, option.lowest, option.highest, value.decimal))
                return std::nullopt;
            return bad;
        case OptionKind::Choice: {
            const std::vector<std::string> names = option.choices();
            for (const std::string& name : names)
                if (text == name) return std::nullopt;
            return std::string("unknown ") + option.name + " \"" + text + "\" (expected " +
                   JoinWords(names, "or") + ")";
        }
        case OptionKind::Display: {
            // Any shape the settings take, but for the tool's commands one that
            // holds a view: the demo's 24-row margin and one row at least.
            std::string error;
            const bool parsed = ParseDisplayShape(text, value.display, error);
            if (parsed && value.display.height >= kMinDisplayRows) return std::nullopt;
            if (!parsed && error.rfind("bad display size", 0) != 0) return error;
            const std::string size = text.substr(0, text.find(':'));
            return "bad display size \"" + size + "\" (expected WxH, width 1 to " +
                   std::to_string(kMaxDisplaySide) + " and height " +
                   std::to_string(kMinDisplayRows) + " to " + std::to_string(kMaxDisplaySide) +
                   ": the view lies below a 24-row margin)";
        }
    }
    return std::nullopt;
}

// The options of the group of alternatives that options[first] opens: all
// that share its oneOf number, when it is the first of them; else none.
std::vector<size_t> GroupFrom(std::span<const OptionSpec> options, size_t first) {
    std::vector<size_t> group;
    const int number = options[first].oneOf;
    for (size_t i = 0; number != 0 && i < options.size(); ++i) {
        if (options[i].oneOf != number) continue;
        if (i < first) return {};
        group.push_back(i);
    }
    return group;
}

// What is missing once every argument is read: a required option, or one of
// a group of alternatives (none given, or more than one).
std::optional<std::string> MissingOption(const CommandSpec& command,
                                         const std::vector<std::vector<OptionValue>>& values) {
    const std::span<const OptionSpec> options = command.options;
    for (size_t i = 0; i < options.size(); ++i) {
        if (!options[i].required || !values[i].empty()) continue;
        return options[i].repeatable ? "give at least one " + Token(options[i])
                                     : Token(options[i]) + " is required";
    }
    for (size_t i = 0; i < options.size(); ++i) {
        std::vector<std::string> names;
        size_t given = 0;
        for (const size_t member : GroupFrom(options, i)) {
            names.push_back(options[member].name);
            given += !values[member].empty();
        }
        if (!names.empty() && given != 1) return "give exactly one of " + JoinWords(names, "and");
    }
    return std::nullopt;
}

// "Usage: flyover-tool NAME" and the options in table order: required ones
// bare, optional ones in brackets, alternatives as "(A | B)", repeatable ones
// followed by "[A ...]". Past 80 columns the line breaks before an optional
// item, so that what must be given is never split from its command.
std::string Synopsis(const CommandSpec& command) {
    const std::string lead = std::string("Usage: flyover-tool ") + command.name;
    std::string text = lead;
    size_t lineLength = lead.size();
    const std::span<const OptionSpec> options = command.options;
    for (size_t i = 0; i < options.size(); ++i) {
        const OptionSpec& option = options[i];
        const bool optional = !option.required && option.oneOf == 0;
        std::string item;
        if (option.oneOf != 0) {
            const std::vector<size_t> group = GroupFrom(options, i);
            if (group.empty()) continue;  // listed with the first of its group
            for (const size_t member : group)
                item += (item.empty() ? "(" : " | ") + Token(options[member]);
            item += ")";
        } else if (option.required) {
            item = Token(option);
            if (option.repeatable) item += " [" + Token(option) + " ...]";
        } else {
            item = "[";
            item += Token(option);
            item += option.repeatable ? " ...]" : "]";
        }
        if (optional && lineLength + 1 + item.size() > kUsageWidth) {
            text += '\n';
            text.append(lead.size(), ' ');
            lineLength = lead.size();
        }
        text += " " + item;
        lineLength += 1 + item.size();
    }
    return text + "\n";
}

// One option's entry in the list: its token, then its help from helpColumn
// on; a token too wide for that stands on a line of its own.
std::string OptionEntry(const OptionSpec& option, size_t column) {
    std::string text = "  ";
    text += Token(option);
    if (text.size() + 2 <= column) {
        text.resize(column, ' ');
    } else {
        text += '\n';
        text.append(column, ' ');
    }
    for (const char* c = option.help; *c; ++c) {
        text += *c;
        if (*c == '\n') text += std::string(column, ' ');
    }
    return text + "\n";
}

}  // namespace

size_t ParsedOptions::IndexOf(std::string_view name) const {
    for (size_t i = 0; i < command_->options.size(); ++i)
        if (name == command_->options[i].name) return i;
    std::fprintf(stderr, "flyover-tool %s: no option %.*s is declared\n", command_->name,
                 static_cast<int>(name.size()), name.data());
    std::abort();
}

const std::vector<OptionValue>& ParsedOptions::All(std::string_view name) const {
    return values_[IndexOf(name)];
}

const OptionValue* ParsedOptions::Last(std::string_view name) const {
    const std::vector<OptionValue>& given = All(name);
    return given.empty() ? nullptr : &given.back();
}

const std::string& ParsedOptions::Text(std::string_view name) const {
    static const std::string kNone;
    const OptionValue* value = Last(name);
    return value ? value->text : kNone;
}

int64_t ParsedOptions::Whole(std::string_view name, int64_t fallback) const {
    const OptionValue* value = Last(name);
    return value ? value->whole : fallback;
}

double ParsedOptions::Decimal(std::string_view name, double fallback) const {
    const OptionValue* value = Last(name);
    return value ? value->decimal : fallback;
}

DisplayShape ParsedOptions::Display(std::string_view name) const {
    const OptionValue* value = Last(name);
    return value ? value->display : DisplayShape{};
}

bool ParseOptions(const CommandSpec& command, const std::vector<std::string>& args,
                  ParsedOptions& parsed, std::string& error) {
    parsed = ParsedOptions();
    parsed.command_ = &command;
    parsed.values_.resize(command.options.size());
    for (size_t next = 0; next < args.size();) {
        const std::string& arg = args[next++];
        const size_t equals = arg.find('=');
        const bool inlineValue = arg.rfind("--", 0) == 0 && equals != std::string::npos;
        const std::string name = inlineValue ? arg.substr(0, equals) : arg;
        if (arg == "--help" || arg == "-h") {
            parsed.helpWanted_ = true;
            return true;
        }
        size_t index = 0;
        while (index < command.options.size() && name != command.options[index].name)
            ++index;
        if (index == command.options.size() || name == "--help") {
            error = name == "--help" ? "option --help takes no value"
                                     : "unknown argument \"" + arg + "\"";
            return false;
        }
        const OptionSpec& option = command.options[index];
        std::vector<OptionValue>& given = parsed.values_[index];
        if (!given.empty() && !option.repeatable) {
            error = "option " + name + " can only be given once";
            return false;
        }
        OptionValue value;
        if (option.kind == OptionKind::Flag) {
            if (inlineValue) {
                error = "option " + name + " takes no value";
                return false;
            }
        } else {
            // "--opt=value", or the next argument whatever it looks like, as getopt does.
            if (inlineValue)
                value.text = arg.substr(equals + 1);
            else if (next < args.size())
                value.text = args[next++];
            if (value.text.empty()) {
                error = "option " + name + " needs a value";
                return false;
            }
            if (std::optional<std::string> bad = ReadValue(option, value.text, value)) {
                error = *bad;
                return false;
            }
        }
        given.push_back(std::move(value));
    }
    if (std::optional<std::string> missing = MissingOption(command, parsed.values_)) {
        error = *missing;
        return false;
    }
    return true;
}

int RunCommand(const CommandSpec& command, int argc, char** argv) {
    ParsedOptions parsed;
    std::string error;
    if (!ParseOptions(command, std::vector<std::string>(argv, argv + argc), parsed, error))
        return UsageError(command.name, error);
    if (!parsed.HelpWanted()) return command.run(parsed);
    std::fputs(FormatHelp(command).c_str(), stdout);
    return 0;
}

std::string FormatHelp(const CommandSpec& command) {
    std::string text = Synopsis(command) + "\n" + command.description + "\n";
    for (const OptionSpec& option : command.options)
        text += OptionEntry(option, static_cast<size_t>(command.helpColumn));
    return text + "\n" + command.epilog;
}

int UsageError(const std::string& command, const std::string& message) {
    // Arguments can hold anything: their control characters are shown escaped.
    std::fprintf(stderr, "flyover-tool %s: %s\nTry 'flyover-tool %s --help'.\n", command.c_str(),
                 EscapeControls(message).c_str(), command.c_str());
    return 2;
}

bool ParseWhole(std::string_view text, int64_t min, int64_t max, int64_t& value) {
    const bool negative = !text.empty() && text[0] == '-';
    if (negative && min >= 0) return false;
    const std::string_view digits = text.substr(negative ? 1 : 0);
    if (digits.empty()) return false;
    for (const char c : digits)
        if (!IsDigit(c)) return false;
    int64_t parsed = 0;
    const char* end = text.data() + text.size();
    const std::from_chars_result result = std::from_chars(text.data(), end, parsed);
    if (result.ec != std::errc() || result.ptr != end || parsed < min || parsed > max) return false;
    value = parsed;
    return true;
}

bool ParseWholeList(std::string_view text, int count, int64_t min, int64_t max,
                    std::vector<int64_t>& values) {
    std::vector<int64_t> parsed;
    for (;;) {
        const size_t comma = text.find(',');
        int64_t number = 0;
        if (!ParseWhole(text.substr(0, comma), min, max, number)) return false;
        parsed.push_back(number);
        if (comma == std::string_view::npos) break;
        text.remove_prefix(comma + 1);
    }
    if (parsed.size() != static_cast<size_t>(count)) return false;
    values = std::move(parsed);
    return true;
}

bool ParseDecimal(std::string_view text, double lowest, double highest, double& value) {
    int digits = 0, points = 0;
    for (const char c : text) {
        if (IsDigit(c))
            ++digits;
        else if (c == '.')
            ++points;
        else
            return false;
    }
    if (digits == 0 || points > 1) return false;
    double parsed = 0;
    const char* end = text.data() + text.size();
    const std::from_chars_result result =
        std::from_chars(text.data(), end, parsed, std::chars_format::fixed);
    if (result.ec != std::errc() || result.ptr != end || !(parsed >= lowest && parsed <= highest))
        return false;
    value = parsed;
    return true;
}
