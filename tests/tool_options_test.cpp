// tool_options_test.cpp -- flyover-tool's option tables: reading arguments, the value parsers, the
// help built from a table, and the commands' own tables
#include <gtest/gtest.h>

#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "tools/commands.h"
#include "tools/options.h"

namespace {

std::vector<std::string> Colours() {
    return {"red", "green", "blue"};
}

int DoNothing(const ParsedOptions&) {
    return 0;
}

// A command with an option of every kind; --in and one of --time and
// --camera must be given.
constexpr OptionSpec kEveryKind[] = {
    TextOption("--in", "DIR", "where to read").Required(),
    WholeOption("--time", "MS", 0, UINT32_MAX, "whole milliseconds", "a time").OneOf(1),
    WholeListOption("--camera", "X,Y,Z,H,V", 5, INT32_MIN, INT32_MAX, "five numbers", "a camera")
        .OneOf(1),
    WholeOption("--at", "MS", 0, 100, "0 to 100", "repeatable").Repeatable(),
    WholeOption("--offset", "N", -10, 10, "-10 to 10", "may be negative"),
    DecimalOption("--seconds", "S", 0.001, 3600, "0.001 to 3600", "how long"),
    ChoiceOption("--colour", "NAME", Colours, "a colour"),
    DisplayOption("--display", "WxH[:LAYOUT]", "the screen"),
    FlagOption("--json", "print JSON"),
};
constinit const CommandSpec kTestCommand = {
    "test",   "a command for the tests", "Does nothing.\n", kEveryKind, "Exit status: 0.\n", 24,
    DoNothing};

struct Parsed {
    bool ok = false;
    std::string error;
    ParsedOptions options;
};

Parsed Parse(const CommandSpec& command, const std::vector<std::string>& args) {
    Parsed parsed;
    parsed.ok = ParseOptions(command, args, parsed.options, parsed.error);
    return parsed;
}

// The arguments every accepted case starts from.
std::vector<std::string> With(std::vector<std::string> args) {
    args.insert(args.begin(), {"--in", "d", "--time", "1"});
    return args;
}

// ---- reading the arguments ----

TEST(ToolOptions, BothFormsGiveTheSameValues) {
    for (const std::vector<std::string>& args : {
             std::vector<std::string>{"--in", "scene", "--camera", "-1,2,-3,4,5", "--offset", "-7",
                                      "--seconds", "0.5", "--colour", "green", "--display",
                                      "320x240:rot90", "--json"},
             std::vector<std::string>{"--in=scene", "--camera=-1,2,-3,4,5", "--offset=-7",
                                      "--seconds=0.5", "--colour=green", "--display=320x240:rot90",
                                      "--json"},
         }) {
        const Parsed p = Parse(kTestCommand, args);
        ASSERT_TRUE(p.ok) << p.error;
        const ParsedOptions& o = p.options;
        EXPECT_EQ(o.Text("--in"), "scene");
        EXPECT_EQ(o.Last("--camera")->wholes, (std::vector<int64_t>{-1, 2, -3, 4, 5}));
        EXPECT_EQ(o.Whole("--offset", 0), -7);
        EXPECT_EQ(o.Decimal("--seconds", 0), 0.5);
        EXPECT_EQ(o.Text("--colour"), "green");
        EXPECT_EQ(o.Display("--display").width, 320);
        EXPECT_EQ(o.Display("--display").layout, DisplayLayout::Rot90);
        EXPECT_TRUE(o.Has("--json"));
        EXPECT_FALSE(o.Has("--time"));
    }
}

TEST(ToolOptions, ValuesKeepWhatFollowsTheFirstEqualsSign) {
    EXPECT_EQ(Parse(kTestCommand, {"--in=a=b", "--time=2"}).options.Text("--in"), "a=b");
    EXPECT_EQ(Parse(kTestCommand, {"--in", "a=b", "--time", "2"}).options.Text("--in"), "a=b");
}

TEST(ToolOptions, OptionsNotGivenFallBack) {
    const Parsed p = Parse(kTestCommand, With({}));
    ASSERT_TRUE(p.ok) << p.error;
    EXPECT_EQ(p.options.Whole("--offset", 3), 3);
    EXPECT_EQ(p.options.Decimal("--seconds", 2.5), 2.5);
    EXPECT_EQ(p.options.Text("--colour"), "");
    EXPECT_EQ(p.options.Last("--camera"), nullptr);
    EXPECT_TRUE(p.options.All("--at").empty());
    EXPECT_FALSE(p.options.Has("--json"));
    const DisplayShape display = p.options.Display("--display");
    EXPECT_EQ(display.width, 240);
    EXPECT_EQ(display.height, 320);
}

TEST(ToolOptions, RepeatableOptionsKeepEveryValueInOrder) {
    const Parsed p = Parse(kTestCommand, With({"--at", "5", "--at=0", "--at", "100"}));
    ASSERT_TRUE(p.ok) << p.error;
    std::vector<int64_t> got;
    for (const OptionValue& value : p.options.All("--at"))
        got.push_back(value.whole);
    EXPECT_EQ(got, (std::vector<int64_t>{5, 0, 100}));
    EXPECT_EQ(p.options.Whole("--at", -1), 100);
}

TEST(ToolOptions, HelpStopsTheReadingWhereItStands) {
    for (const std::vector<std::string>& args : {std::vector<std::string>{"--help"},
                                                 {"-h"},
                                                 {"--json", "-h", "--frobnicate"},
                                                 {"--time", "1", "--help", "--time", "2"}}) {
        const Parsed p = Parse(kTestCommand, args);
        EXPECT_TRUE(p.ok) << args[0] << ": " << p.error;
        EXPECT_TRUE(p.options.HelpWanted()) << args[0];
    }
    // What comes before it is read first.
    const Parsed p = Parse(kTestCommand, {"--frobnicate", "--help"});
    EXPECT_FALSE(p.ok);
    EXPECT_FALSE(p.options.HelpWanted());
}

TEST(ToolOptions, UsageErrorsSayWhatIsWrong) {
    const struct {
        std::vector<std::string> args;
        const char* error;
    } cases[] = {
        // Unknown arguments, with or without a value; there are no positional ones.
        {With({"--frobnicate"}), "unknown argument \"--frobnicate\""},
        {With({"--frob=1"}), "unknown argument \"--frob=1\""},
        {With({"stray"}), "unknown argument \"stray\""},
        {With({"-in"}), "unknown argument \"-in\""},
        {With({"--IN", "d"}), "unknown argument \"--IN\""},
        {With({"--"}), "unknown argument \"--\""},
        // Values missing or empty.
        {{"--time", "1", "--in"}, "option --in needs a value"},
        {{"--time", "1", "--in="}, "option --in needs a value"},
        {{"--time", "1", "--in", ""}, "option --in needs a value"},
        {With({"--seconds="}), "option --seconds needs a value"},
        // A flag takes no value, nor does --help.
        {With({"--json=yes"}), "option --json takes no value"},
        {With({"--json="}), "option --json takes no value"},
        {With({"--help=1"}), "option --help takes no value"},
        // Given twice, though it cannot repeat.
        {With({"--in", "e"}), "option --in can only be given once"},
        {With({"--json", "--json"}), "option --json can only be given once"},
        {With({"--offset=1", "--offset", "1"}), "option --offset can only be given once"},
        // Required options and groups of alternatives.
        {{"--time", "1"}, "--in DIR is required"},
        {{"--in", "d"}, "give exactly one of --time and --camera"},
        {With({"--camera", "1,2,3,4,5"}), "give exactly one of --time and --camera"},
        // Bad values, in each kind's words.
        {With({"--offset", "11"}), "bad --offset \"11\" (expected -10 to 10)"},
        {With({"--at", "-1"}), "bad --at \"-1\" (expected 0 to 100)"},
        {{"--in", "d", "--time", "0x10"}, "bad --time \"0x10\" (expected whole milliseconds)"},
        {{"--in", "d", "--camera", "1,2,3,4"}, "bad --camera \"1,2,3,4\" (expected five numbers)"},
        {With({"--seconds", "1e-2"}), "bad --seconds \"1e-2\" (expected 0.001 to 3600)"},
        {With({"--colour", "pink"}), "unknown --colour \"pink\" (expected red, green or blue)"},
        {With({"--display", "0x5"}),
         "bad display size \"0x5\" (expected WxH, width 1 to 4096 and height 25 to 4096: the view "
         "lies below a 24-row margin)"},
        {With({"--display", "240x24:rot90"}),
         "bad display size \"240x24\" (expected WxH, width 1 to 4096 and height 25 to 4096: the "
         "view lies below a 24-row margin)"},
        {With({"--display=9x9:sideways"}),
         "unknown display layout \"sideways\" (expected normal, bottom-up, rot90, rot180 or "
         "rot270)"},
    };
    for (const auto& c : cases) {
        const Parsed p = Parse(kTestCommand, c.args);
        EXPECT_FALSE(p.ok) << c.error;
        EXPECT_EQ(p.error, c.error);
    }
}

// The real tables refuse what they should, with the messages users see.
TEST(ToolOptions, TheCommandsRefuseInTheirOwnWords) {
    const struct {
        const CommandSpec& command;
        std::vector<std::string> args;
        const char* error;
    } cases[] = {
        {kCameraCommand, {"--scene", "d"}, "give at least one --time MS"},
        {kCameraCommand,
         {"--scene", "d", "--time", "4294967296"},
         "bad --time \"4294967296\" (expected whole milliseconds, 0 to 4294967295)"},
        {kRenderCommand,
         {"--scene", "d", "--out", "x.png", "--camera", "1,2,3,4,2147483648"},
         "bad --camera \"1,2,3,4,2147483648\" (expected five 32-bit integers "
         "X,Y,HEIGHT,HEADING,HORIZON)"},
        {kRenderCommand,
         {"--scene", "d", "--time", "1", "--camera", "1,2,3,4,5", "--out", "x.png"},
         "give exactly one of --time and --camera"},
        {kRenderCommand, {"--scene", "d", "--time", "1"}, "--out FILE.png is required"},
        {kSceneCommand,
         {"--out", "d", "--seed", "-1"},
         "bad --seed \"-1\" (expected a whole number >= 0)"},
        {kSoundCommand, {}, "--out FILE.wav is required"},
        {kCheckCommand,
         {"--scene", "d", "--step", "1001"},
         "bad --step \"1001\" (expected 1 to 1000 ms)"},
        {kBenchCommand,
         {"--scene", "d", "--seconds", "3600.001"},
         "bad --seconds \"3600.001\" (expected a number from 0.001 to 3600)"},
        {kBenchCommand,
         {"--scene", "d", "--path", "fast"},
         "unknown --path \"fast\" (expected fastest, reference, scalar, sse2, avx2 or "
         "avx2-gather)"},
        {kBenchCommand, {"--scene", "d", "--json=1"}, "option --json takes no value"},
    };
    for (const auto& c : cases) {
        const Parsed p = Parse(c.command, c.args);
        EXPECT_FALSE(p.ok) << c.command.name << ": " << c.error;
        EXPECT_EQ(p.error, c.error) << c.command.name;
    }
}

// ---- the value parsers ----

TEST(ParseWhole, DecimalDigitsWithinTheRangeOnly) {
    const struct {
        const char* text;
        int64_t min, max;
        bool ok;
        int64_t value;
    } cases[] = {
        {"0", 0, 10, true, 0},
        {"10", 0, 10, true, 10},
        {"007", 0, 10, true, 7},
        {"11", 0, 10, false, 0},
        {"0x10", 0, 100, false, 0},
        {"0X10", 0, 100, false, 0},
        {" 7", 0, 10, false, 0},
        {"7 ", 0, 10, false, 0},
        {"\t7", 0, 10, false, 0},
        {"+7", 0, 10, false, 0},
        {"-1", 0, 10, false, 0},  // a sign only where negatives are allowed
        {"-0", 0, 10, false, 0},
        {"-1", -5, 5, true, -1},
        {"-6", -5, 5, false, 0},
        {"--1", -5, 5, false, 0},
        {"-", -5, 5, false, 0},
        {"", 0, 10, false, 0},
        {"1.5", 0, 10, false, 0},
        {"1e3", 0, 10000, false, 0},
        {"12abc", 0, 100, false, 0},
        {"4294967295", 0, UINT32_MAX, true, 4294967295},
        {"4294967296", 0, UINT32_MAX, false, 0},
        {"9223372036854775807", 0, INT64_MAX, true, INT64_MAX},
        {"9223372036854775808", 0, INT64_MAX, false, 0},
        {"-9223372036854775808", INT64_MIN, INT64_MAX, true, INT64_MIN},
        {"-9223372036854775809", INT64_MIN, INT64_MAX, false, 0},
        {"123456789012345678901234567890", 0, INT64_MAX, false, 0},
    };
    for (const auto& c : cases) {
        int64_t value = 42;
        EXPECT_EQ(ParseWhole(c.text, c.min, c.max, value), c.ok) << '"' << c.text << '"';
        EXPECT_EQ(value, c.ok ? c.value : 42) << '"' << c.text << '"';
    }
}

TEST(ParseDecimal, DigitsAndOnePointWithinTheRange) {
    const struct {
        const char* text;
        bool ok;
        double value;
    } cases[] = {
        {"0.001", true, 0.001},  {"3600", true, 3600}, {"3600.000", true, 3600},
        {"0.05", true, 0.05},    {".5", true, 0.5},    {"5.", true, 5},
        {"0001.25", true, 1.25}, {"0", false, 0},      {"0.0009", false, 0},
        {"3600.001", false, 0},  {"1e-2", false, 0},   {"1E2", false, 0},
        {"0x1p-3", false, 0},    {"inf", false, 0},    {"nan", false, 0},
        {" 1", false, 0},        {"1 ", false, 0},     {"+1", false, 0},
        {"-1", false, 0},        {"", false, 0},       {".", false, 0},
        {"1.2.3", false, 0},     {"1,5", false, 0},
    };
    for (const auto& c : cases) {
        double value = 42;
        EXPECT_EQ(ParseDecimal(c.text, 0.001, 3600, value), c.ok) << '"' << c.text << '"';
        EXPECT_EQ(value, c.ok ? c.value : 42) << '"' << c.text << '"';
    }
}

TEST(ParseWholeList, ExactlyCountNumbersBetweenCommas) {
    const struct {
        const char* text;
        bool ok;
    } cases[] = {
        {"1,2,3,4,5", true},
        {"-2147483648,2147483647,0,0,-0", true},
        {"1,2,3,4", false},
        {"1,2,3,4,5,6", false},
        {"1,2,3,4,2147483648", false},
        {"-2147483649,2,3,4,5", false},
        {"1,,3,4,5", false},
        {"1,2,3,4,5,", false},
        {",1,2,3,4,5", false},
        {"1, 2,3,4,5", false},
        {"1,2,3,4,5 ", false},
        {"0x1,2,3,4,5", false},
        {"1;2;3;4;5", false},
        {"", false},
    };
    for (const auto& c : cases) {
        std::vector<int64_t> values = {42};
        EXPECT_EQ(ParseWholeList(c.text, 5, INT32_MIN, INT32_MAX, values), c.ok) << c.text;
        if (!c.ok) {
            EXPECT_EQ(values, std::vector<int64_t>{42}) << c.text;
        }
    }
    std::vector<int64_t> values;
    ASSERT_TRUE(ParseWholeList("-1,20,300,4000,50000", 5, INT32_MIN, INT32_MAX, values));
    EXPECT_EQ(values, (std::vector<int64_t>{-1, 20, 300, 4000, 50000}));
}

// ---- the help a table gives ----

constexpr OptionSpec kLayoutOptions[] = {
    TextOption("--scene", "DIR", "where the scene is").Required(),
    WholeOption("--time", "MS", 0, 9, "0 to 9", "a time").OneOf(1),
    WholeListOption("--camera", "X,Y,HEIGHT,HEADING,HORIZON", 5, 0, 9, "five", "a camera\nat last")
        .OneOf(1),
    WholeOption("--at", "MS", 0, 9, "0 to 9", "again and again").Repeatable(),
    FlagOption("--json", "print JSON"),
    TextOption("--out", "FILE", "where to write").Required().Repeatable(),
};
constinit const CommandSpec kLayoutCommand = {
    "layout", "lays out help", "Says how.\n", kLayoutOptions, "Exit status: 0.\n", 16, DoNothing};

TEST(FormatHelp, SynopsisOptionListAndTextAroundThem) {
    EXPECT_EQ(FormatHelp(kLayoutCommand),
              // Required options stay together past 80 columns; the line breaks
              // before an optional one.
              "Usage: flyover-tool layout --scene DIR (--time MS | --camera "
              "X,Y,HEIGHT,HEADING,HORIZON)\n"
              "                           [--at MS ...] [--json] --out FILE [--out FILE ...]\n"
              "\n"
              "Says how.\n"
              "\n"
              "  --scene DIR   where the scene is\n"
              "  --time MS     a time\n"
              "  --camera X,Y,HEIGHT,HEADING,HORIZON\n"
              "                a camera\n"
              "                at last\n"
              "  --at MS       again and again\n"
              "  --json        print JSON\n"
              "  --out FILE    where to write\n"
              "\n"
              "Exit status: 0.\n");
}

// ---- the commands' own tables ----

TEST(ToolCommands, EveryHelpListsEveryDeclaredOption) {
    for (const CommandSpec* command : ToolCommands()) {
        const std::string help = FormatHelp(*command);
        const std::string synopsis = help.substr(0, help.find("\n\n"));
        EXPECT_EQ(synopsis.rfind(std::string("Usage: flyover-tool ") + command->name + " ", 0), 0)
            << command->name;
        for (const OptionSpec& option : command->options) {
            std::string token = option.name;
            if (option.kind != OptionKind::Flag) token += std::string(" ") + option.valueName;
            EXPECT_NE(synopsis.find(token), std::string::npos) << command->name << " " << token;
            // Its entry: the token at the start of a line, its help after it.
            const size_t entry = help.find("\n  " + token);
            ASSERT_NE(entry, std::string::npos) << command->name << " " << token;
            const char after = help[entry + 3 + token.size()];
            EXPECT_TRUE(after == ' ' || after == '\n') << command->name << " " << token;
            const std::string firstLine =
                std::string(option.help).substr(0, std::string(option.help).find('\n'));
            EXPECT_NE(help.find(firstLine, entry), std::string::npos)
                << command->name << " " << token;
        }
    }
}

TEST(ToolCommands, TablesAreWellFormed) {
    std::set<std::string> commandNames;
    for (const CommandSpec* command : ToolCommands()) {
        const std::string where = command->name;
        EXPECT_TRUE(commandNames.insert(command->name).second) << where;
        EXPECT_NE(std::string(command->summary), "") << where;
        EXPECT_NE(command->run, nullptr) << where;
        std::set<std::string> names;
        for (const OptionSpec& o : command->options) {
            const std::string name = o.name;
            EXPECT_EQ(name.rfind("--", 0), 0u) << where << " " << name;
            EXPECT_EQ(name.find('='), std::string::npos) << where << " " << name;
            EXPECT_NE(name, "--help") << where;
            EXPECT_TRUE(names.insert(name).second) << where << " repeats " << name;
            EXPECT_EQ(std::string(o.valueName).empty(), o.kind == OptionKind::Flag)
                << where << " " << name;
            EXPECT_NE(std::string(o.help), "") << where << " " << name;
            const bool numbers = o.kind == OptionKind::Whole || o.kind == OptionKind::WholeList ||
                                 o.kind == OptionKind::Decimal;
            EXPECT_EQ(std::string(o.expected).empty(), !numbers) << where << " " << name;
            EXPECT_LE(o.min, o.max) << where << " " << name;
            EXPECT_LE(o.lowest, o.highest) << where << " " << name;
            EXPECT_EQ(o.count > 0, o.kind == OptionKind::WholeList) << where << " " << name;
            EXPECT_EQ(o.choices != nullptr, o.kind == OptionKind::Choice) << where << " " << name;
            if (o.choices) {
                EXPECT_GE(o.choices().size(), 2u) << where << " " << name;
            }
            if (o.oneOf != 0) {
                EXPECT_FALSE(o.required) << where << " " << name;
                int members = 0;
                for (const OptionSpec& other : command->options)
                    members += other.oneOf == o.oneOf;
                EXPECT_GE(members, 2) << where << " " << name;
            }
        }
    }
}

}  // namespace
