// install_files_test.cpp -- the installed files made from the program's data: the icon, the
// manual pages (in step with every command's --help) and the bash completion's cases
#include <gtest/gtest.h>

#include <regex>
#include <set>
#include <string>

#include "packaging/completion.h"
#include "packaging/man_page.h"
#include "resources/icon.h"
#include "tools/commands.h"

namespace {

uint32_t Alpha(uint32_t argb) {
    return argb >> 24;
}

// An option as the manual page sets it: "\fB\-\-scene\fR".
std::string RoffName(const std::string& name) {
    return "\\fB" + RoffEscape(name) + "\\fR";
}

// Every "--option" a help text mentions.
std::set<std::string> OptionsIn(const std::string& text) {
    std::set<std::string> names;
    const std::regex option("--[a-z][a-z-]*");
    for (auto it = std::sregex_iterator(text.begin(), text.end(), option);
         it != std::sregex_iterator(); ++it)
        names.insert(it->str());
    return names;
}

}  // namespace

TEST(IconTest, EverySizeIsARoundedTileOpaqueInside) {
    for (const int size : {16, 32, 48, 64, 128, 256}) {
        SCOPED_TRACE(size);
        const std::vector<uint32_t> icon = DrawIcon(size);
        ASSERT_EQ(icon.size(), static_cast<size_t>(size * size));
        EXPECT_LT(Alpha(icon[0]), 32u);  // the corners are cut round
        EXPECT_LT(Alpha(icon[static_cast<size_t>(size * size - 1)]), 32u);
        EXPECT_EQ(Alpha(icon[static_cast<size_t>(size / 2 * size + size / 2)]), 255u);
        EXPECT_EQ(Alpha(icon[static_cast<size_t>(size / 2)]), 255u);  // edges are full
    }
    EXPECT_EQ(DrawIcon(64), DrawIcon(64));
}

TEST(IconTest, TheSvgIsOneDocumentWithTheShapes) {
    const std::string svg = IconSvg();
    EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
    EXPECT_NE(svg.find("viewBox=\"0 0 256 256\""), std::string::npos);
    EXPECT_EQ(svg.find("nan"), std::string::npos);
    EXPECT_EQ(std::count(svg.begin(), svg.end(), '<') - 1,  // the XML declaration
              std::count(svg.begin(), svg.end(), '>') - 1);
    EXPECT_NE(svg.find("</svg>\n"), std::string::npos);
}

TEST(ManPageTest, EveryCommandAndEveryOptionOfItsHelpIsThere) {
    const std::string page = ToolManPage(ToolCommands(), "1.0");
    for (const CommandSpec* command : ToolCommands()) {
        SCOPED_TRACE(command->name);
        EXPECT_NE(page.find(".SS " + std::string(command->name) + "\n"), std::string::npos);
        for (const OptionSpec& option : command->options)
            EXPECT_NE(page.find(".TP\n" + RoffName(option.name)), std::string::npos) << option.name;
        // What the help says of other options (in its text) is there too.
        for (const std::string& name : OptionsIn(FormatHelp(*command)))
            EXPECT_NE(page.find(RoffEscape(name)), std::string::npos) << name;
    }
}

TEST(ManPageTest, TextCannotStartARequest) {
    const struct {
        const char* text;
        const char* roff;
    } cases[] = {
        {"plain", "plain"},
        {".starts with a dot", "\\&.starts with a dot"},
        {"a\n'quote", "a\n\\&'quote"},
        {"back\\slash", "back\\eslash"},
        {"mid.dot and 'quote'", "mid.dot and 'quote'"},
        {"--tool=callgrind, bottom-up", "\\-\\-tool=callgrind, bottom\\-up"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(RoffEscape(c.text), c.roff) << c.text;
}

TEST(ManPageTest, TheDemosPageNamesItsFilesAndEnvironment) {
    const std::string page = DemoManPage("1.0", "/usr/lib/flyover");
    for (const char* part : {".TH FLYOVER 6", "/usr/lib/flyover/Keys2.txt", "sky.BMP",
                             "FLYOVER_DISPLAY", "FLYOVER_SCALE", ".SH EXIT STATUS"})
        EXPECT_NE(page.find(part), std::string::npos) << part;
}

TEST(CompletionTest, EachCommandHasItsOptionsAndEachValueItsKind) {
    const std::string script = BashCompletion(ToolCommands());
    for (const CommandSpec* command : ToolCommands()) {
        SCOPED_TRACE(command->name);
        EXPECT_NE(script.find("        " + std::string(command->name) + ")\n"), std::string::npos);
        for (const OptionSpec& option : command->options)
            EXPECT_NE(script.find(option.name), std::string::npos) << option.name;
    }
    EXPECT_NE(script.find("--scene) compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -d"),
              std::string::npos);
    EXPECT_NE(script.find("240x320:rot90"), std::string::npos);
    EXPECT_NE(script.find("low medium high lossless"), std::string::npos);
    EXPECT_NE(script.find("complete -F _flyover_tool flyover-tool"), std::string::npos);
}
