// man_page.cpp -- roff for the manual pages, built from the commands' tables
#include "packaging/man_page.h"

#include <algorithm>
#include <sstream>
#include <vector>

#include "tools/commands.h"

namespace {

// Splits help text into paragraphs at blank lines.
std::vector<std::string> Paragraphs(const std::string& text) {
    std::vector<std::string> paragraphs;
    std::istringstream in(text);
    std::string line, paragraph;
    while (std::getline(in, line)) {
        if (line.empty()) {
            if (!paragraph.empty()) paragraphs.push_back(paragraph);
            paragraph.clear();
        } else {
            paragraph += line + "\n";
        }
    }
    if (!paragraph.empty()) paragraphs.push_back(paragraph);
    return paragraphs;
}

// Option names and values in roff: "--scene DIR" as bold name, italic value.
std::string OptionRoff(const OptionSpec& option) {
    std::string text = "\\fB" + RoffEscape(option.name) + "\\fR";
    if (*option.valueName) text += " \\fI" + RoffEscape(option.valueName) + "\\fR";
    return text;
}

// A help paragraph: lines that the help indents (tables of keys) keep their
// layout; the others are filled by the formatter.
std::string ParagraphRoff(const std::string& paragraph) {
    std::istringstream in(paragraph);
    std::string line, text, block;
    auto flushBlock = [&] {
        if (block.empty()) return;
        text += ".PP\n.nf\n" + block + ".fi\n";
        block.clear();
    };
    bool filling = false;
    while (std::getline(in, line)) {
        if (line.rfind("  ", 0) == 0) {
            block += RoffEscape(line) + "\n";
            filling = false;
            continue;
        }
        flushBlock();
        if (!filling) text += ".PP\n";
        filling = true;
        text += RoffEscape(line) + "\n";
    }
    flushBlock();
    return text;
}

// The synopsis as the help gives it: required options bare, alternatives as
// "( A | B )", optional ones in brackets.
std::string Synopsis(const CommandSpec& command) {
    std::string text = ".SY \"flyover\\-tool " + std::string(command.name) + "\"\n";
    std::vector<int> groupsShown;
    for (const OptionSpec& option : command.options) {
        if (option.oneOf != 0) {
            if (std::find(groupsShown.begin(), groupsShown.end(), option.oneOf) !=
                groupsShown.end())
                continue;
            groupsShown.push_back(option.oneOf);
            std::string group;
            for (const OptionSpec& member : command.options)
                if (member.oneOf == option.oneOf)
                    group += (group.empty() ? "( " : " | ") + OptionRoff(member);
            text += group + " )\n";
        } else if (option.required) {
            text += OptionRoff(option) + (option.repeatable ? " .\\|.\\|." : "") + "\n";
        } else {
            // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) at
            // -O3 of a literal added to a string.
            text += ".OP ";
            text += RoffEscape(option.name);
            if (*option.valueName) {
                text += ' ';
                text += RoffEscape(option.valueName);
            }
            text += "\n";
        }
    }
    return text + ".YS\n";
}

}  // namespace

std::string RoffEscape(const std::string& text) {
    std::string out;
    bool lineStart = true;
    for (const char c : text) {
        if (lineStart && (c == '.' || c == '\'')) out += "\\&";
        if (c == '\\')
            out += "\\e";
        else if (c == '-')
            out += "\\-";  // a plain ASCII hyphen, so that options copy and paste
        else
            out += c;
        lineStart = c == '\n';
    }
    return out;
}

std::string ToolManPage(std::span<const CommandSpec* const> commands, const std::string& version) {
    std::string page =
        ".\\\" flyover-tool(1), made by flyover-install-files from the tool's option tables\n";
    page += ".TH FLYOVER\\-TOOL 1 \"\" \"flyover " + version + "\" \"User Commands\"\n";
    page += ".SH NAME\nflyover\\-tool \\- render, generate, check, fly and record flyover scenes\n";
    page += ".SH SYNOPSIS\n.SY flyover\\-tool\n.I command\n.RI [ options ]\n.YS\n";
    page += ".SY flyover\\-tool\n.I command\n.B \\-\\-help\n.YS\n";
    page += ".SH DESCRIPTION\n" + ParagraphRoff(std::string(kToolDescription) + "\n");
    page +=
        ".PP\nA scene is a directory holding \\fIKeys2.txt\\fR (the names of the colour map "
        "and the height map, the key count, the key interval in milliseconds and one line "
        "of five numbers per key: x, y, height, heading, horizon), the two 8\\-bit BMP maps it "
        "names and \\fIsky.BMP\\fR. Options take their value as \\fB\\-\\-opt\\fR "
        "\\fIvalue\\fR or \\fB\\-\\-opt\\fR=\\fIvalue\\fR; numbers are plain decimal.\n";
    page += ".SH COMMANDS\n";
    for (const CommandSpec* command : commands) {
        page += ".SS " + std::string(command->name) + "\n";
        page += RoffEscape(command->summary) + ".\n.PP\n" + Synopsis(*command);
        for (const std::string& paragraph : Paragraphs(command->description))
            page += ParagraphRoff(paragraph);
        for (const OptionSpec& option : command->options) {
            std::string help = option.help;
            for (char& c : help)
                if (c == '\n') c = ' ';
            page += ".TP\n" + OptionRoff(option) + "\n" + RoffEscape(help) + "\n";
        }
        for (const std::string& paragraph : Paragraphs(command->epilog))
            page += ParagraphRoff(paragraph);
    }
    page +=
        ".SH EXIT STATUS\n0 on success, 1 when a command's work failed (each command's "
        "text above says when), 2 for bad arguments.\n";
    page += ".SH SEE ALSO\n.BR flyover (6)\n";
    return page;
}

std::string DemoManPage(const std::string& version, const std::string& sceneDir) {
    const std::string dir = RoffEscape(sceneDir);
    return ".\\\" flyover(6), made by flyover-install-files\n"
           ".TH FLYOVER 6 \"\" \"flyover " +
           version +
           "\" \"Games\"\n"
           ".SH NAME\nflyover \\- a self\\-running flight over a landscape\n"
           ".SH SYNOPSIS\n.SY flyover\n.YS\n"
           ".SH DESCRIPTION\n"
           "A camera flies along keyframes over a 256 \\(mu 256 height map, drawn column by "
           "column, in integers only, on an emulated 16\\-bit handheld screen (240 \\(mu 320 "
           "by default) with distance haze, a scrolling sky and a looping sound. When the "
           "flight ends it starts again. Any key, a click in the window or closing it ends "
           "the program.\n"
           ".PP\nThe program has no options. It reads its scene from its own directory.\n"
           ".SH ENVIRONMENT\n"
           ".TP\n.BI FLYOVER_DISPLAY= W x H [: LAYOUT ]\n"
           "The emulated screen, default 240x320; \\fILAYOUT\\fR is normal, bottom\\-up, rot90, "
           "rot180 or rot270.\n"
           ".TP\n.BI FLYOVER_SCALE= N\n"
           "Window pixels per screen pixel, 1 to 16; by default the largest that fits the "
           "desktop.\n"
           ".TP\n.BR SDL_AUDIODRIVER ,\\ SDL_VIDEODRIVER\n"
           "SDL's own: \\fBSDL_AUDIODRIVER=disk\\fR writes the sound to \\fIsdlaudio.raw\\fR, "
           "\\fBSDL_VIDEODRIVER=dummy\\fR runs unseen.\n"
           ".SH FILES\n"
           ".TP\n.I " +
           dir +
           "/Keys2.txt\n"
           "The key file: the names of the colour map and the height map, the key count, the "
           "key interval in milliseconds and the camera keys.\n"
           ".TP\n.IR " +
           dir + "/colour.bmp ,\\ " + dir +
           "/height.bmp\n"
           "The default scene's maps (256 \\(mu 256, 8\\-bit BMP), as the key file names them.\n"
           ".TP\n.I " +
           dir +
           "/sky.BMP\n"
           "The sky (512 \\(mu 256, 8\\-bit BMP).\n"
           ".PP\nTo fly another scene, copy the program into a directory holding one, or "
           "use \\fBflyover\\-tool fly \\-\\-scene\\fR \\fIDIR\\fR.\n"
           ".SH EXIT STATUS\n0 when the flight is ended by the user; 1 when it cannot start "
           "(no display, a missing or broken scene file), after a message box saying why.\n"
           ".SH SEE ALSO\n.BR flyover\\-tool (1)\n";
}
