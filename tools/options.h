// options.h -- flyover-tool's option tables: each command declares its options once, and
// parsing, checking, --help and usage errors all come from that declaration
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "platform/frame_buffer.h"

// What an option's value is and how it is checked.
enum class OptionKind {
    Flag,       // no value: "--json"; "--json=x" is refused
    Text,       // any text but the empty one: a directory or a file name
    Whole,      // a decimal whole number within [min, max]
    WholeList,  // `count` decimal whole numbers within [min, max], separated by commas
    Decimal,    // a decimal number (digits, at most one '.') within [lowest, highest]
    Choice,     // one of the names `choices` lists
    Display,    // a screen shape, WxH[:LAYOUT], as ParseDisplayShape reads it
};

// One option of a command, as data. The tables build their rows with the
// makers below, one for each kind, and Required(), Repeatable() and OneOf().
struct OptionSpec {
    const char* name;       // "--time"
    const char* valueName;  // "MS", shown in the usage and the option list; "" for a flag
    const char* help;       // the option list's text, '\n' between its lines
    OptionKind kind = OptionKind::Text;
    const char* expected = "";       // Whole, WholeList, Decimal: what a bad value should have been
    int64_t min = 0, max = 0;        // Whole and WholeList: the range of each number
    int count = 0;                   // WholeList: how many numbers
    double lowest = 0, highest = 0;  // Decimal: the range
    std::vector<std::string> (*choices)() = nullptr;  // Choice: the names accepted
    bool required = false;    // must be given (at least once, when repeatable)
    bool repeatable = false;  // may be given again, every value kept; otherwise only once
    int oneOf = 0;            // options sharing a nonzero number: exactly one of them is given

    constexpr OptionSpec Required() const;
    constexpr OptionSpec Repeatable() const;
    constexpr OptionSpec OneOf(int group) const;
    // The same option described otherwise, for a command that shares it.
    constexpr OptionSpec WithHelp(const char* text) const;
};

// `option` with one field set.
template <typename T>
constexpr OptionSpec Changed(OptionSpec option, T OptionSpec::*field, T value) {
    option.*field = value;
    return option;
}
constexpr OptionSpec OptionSpec::Required() const {
    return Changed(*this, &OptionSpec::required, true);
}
constexpr OptionSpec OptionSpec::Repeatable() const {
    return Changed(*this, &OptionSpec::repeatable, true);
}
constexpr OptionSpec OptionSpec::OneOf(int group) const {
    return Changed(*this, &OptionSpec::oneOf, group);
}
constexpr OptionSpec OptionSpec::WithHelp(const char* text) const {
    return Changed(*this, &OptionSpec::help, text);
}

// The makers of the tables' rows. `expected` completes the message for a bad
// value: 'bad --step "0" (expected EXPECTED)'.
constexpr OptionSpec FlagOption(const char* name, const char* help) {
    return {name, "", help, OptionKind::Flag};
}
constexpr OptionSpec TextOption(const char* name, const char* valueName, const char* help) {
    return {name, valueName, help, OptionKind::Text};
}
constexpr OptionSpec DisplayOption(const char* name, const char* valueName, const char* help) {
    return {name, valueName, help, OptionKind::Display};
}
constexpr OptionSpec WholeOption(const char* name, const char* valueName, int64_t min, int64_t max,
                                 const char* expected, const char* help) {
    return {name, valueName, help, OptionKind::Whole, expected, min, max};
}
constexpr OptionSpec WholeListOption(const char* name, const char* valueName, int count,
                                     int64_t min, int64_t max, const char* expected,
                                     const char* help) {
    return {name, valueName, help, OptionKind::WholeList, expected, min, max, count};
}
constexpr OptionSpec DecimalOption(const char* name, const char* valueName, double lowest,
                                   double highest, const char* expected, const char* help) {
    return {name, valueName, help, OptionKind::Decimal, expected, 0, 0, 0, lowest, highest};
}
constexpr OptionSpec ChoiceOption(const char* name, const char* valueName,
                                  std::vector<std::string> (*choices)(), const char* help) {
    return {name, valueName, help, OptionKind::Choice, "", 0, 0, 0, 0, 0, choices};
}

class ParsedOptions;

// One subcommand: its name, its options and the text of its --help around them.
struct CommandSpec {
    const char* name;                          // "render"
    const char* summary;                       // its line in the tool's list of commands
    const char* description;                   // the paragraphs between the usage and the options
    std::span<const OptionSpec> options;       // in the order the help lists them
    const char* epilog;                        // the paragraphs after the options
    int helpColumn;                            // the column where the options' help text starts
    int (*run)(const ParsedOptions& options);  // the command itself; returns its exit status
};

// One value given for an option; the fields its kind fills.
struct OptionValue {
    std::string text;             // as given (every kind but Flag)
    int64_t whole = 0;            // Whole
    std::vector<int64_t> wholes;  // WholeList
    double decimal = 0;           // Decimal
    DisplayShape display;         // Display
};

// The options given to one command, looked up by name. Asking for a name the
// command does not declare is a mistake in the program: it aborts.
class ParsedOptions {
public:
    bool HelpWanted() const { return helpWanted_; }
    // Every value given for `name`, in order; empty when it was not given.
    const std::vector<OptionValue>& All(std::string_view name) const;
    bool Has(std::string_view name) const { return !All(name).empty(); }
    // The last value given, or null.
    const OptionValue* Last(std::string_view name) const;
    // The last value's text, "" when it was not given.
    const std::string& Text(std::string_view name) const;
    int64_t Whole(std::string_view name, int64_t fallback) const;
    double Decimal(std::string_view name, double fallback) const;
    // The display shape given, or the default one.
    DisplayShape Display(std::string_view name) const;

private:
    friend bool ParseOptions(const CommandSpec&, const std::vector<std::string>&, ParsedOptions&,
                             std::string&);
    size_t IndexOf(std::string_view name) const;

    const CommandSpec* command_ = nullptr;
    std::vector<std::vector<OptionValue>> values_;  // one list per declared option
    bool helpWanted_ = false;
};

// Reads a command's arguments (those after its name) against its table:
// "--opt value" and "--opt=value", flags without a value, and "--help" or
// "-h", which stops the reading with HelpWanted() set. On a usage error
// returns false with the message (without the command's name) in `error`.
bool ParseOptions(const CommandSpec& command, const std::vector<std::string>& args,
                  ParsedOptions& parsed, std::string& error);

// Runs `command` with its arguments (those after its name): prints the help
// to stdout and returns 0, or prints the usage error to stderr and returns 2,
// or returns what the command returns: 0 on success, 1 when its work failed.
int RunCommand(const CommandSpec& command, int argc, char** argv);

// The command's whole --help text.
std::string FormatHelp(const CommandSpec& command);

// Prints "flyover-tool COMMAND: message" and the hint to try --help to stderr;
// returns the usage exit status 2.
int UsageError(const std::string& command, const std::string& message);

// The value parsers the kinds use. Whole numbers are decimal digits with a
// leading '-' only where `min` is negative: no '+', spaces or "0x".
bool ParseWhole(std::string_view text, int64_t min, int64_t max, int64_t& value);
// Exactly `count` whole numbers, each as ParseWhole reads it, between commas.
bool ParseWholeList(std::string_view text, int count, int64_t min, int64_t max,
                    std::vector<int64_t>& values);
// Digits with at most one '.' ("2", "0.05", ".5", "5."): no sign, exponent or spaces.
bool ParseDecimal(std::string_view text, double lowest, double highest, double& value);
