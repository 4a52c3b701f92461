// completion.cpp -- the bash completion script, one case per command and option
#include "packaging/completion.h"

#include <string_view>

#include "platform/frame_buffer.h"

namespace {

// The screen shapes offered for a display option: the handheld's two
// orientations in every layout.
std::string DisplayWords() {
    constexpr DisplayLayout kLayouts[] = {DisplayLayout::Normal, DisplayLayout::BottomUp,
                                          DisplayLayout::Rot90, DisplayLayout::Rot180,
                                          DisplayLayout::Rot270};
    std::string words;
    for (const char* size : {"240x320", "320x240"}) {
        words += std::string(words.empty() ? "" : " ") + size;
        for (const DisplayLayout layout : kLayouts)
            words += std::string(" ") + size + ":" + LayoutName(layout);
    }
    return words;
}

// The shell code that completes one option's value.
std::string ValueCompletion(const OptionSpec& option) {
    switch (option.kind) {
        case OptionKind::Flag:
            return "";
        case OptionKind::Text:
            if (std::string_view(option.valueName) == "DIR")
                return "compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -d -- \"$cur\"))";
            return "compopt -o filenames 2>/dev/null; COMPREPLY=($(compgen -f -- \"$cur\"))";
        case OptionKind::Display:
            return "COMPREPLY=($(compgen -W \"" + DisplayWords() + "\" -- \"$cur\"))";
        case OptionKind::Choice: {
            std::string words;
            for (const std::string& choice : option.choices())
                words += (words.empty() ? "" : " ") + choice;
            return "COMPREPLY=($(compgen -W \"" + words + "\" -- \"$cur\"))";
        }
        case OptionKind::Whole:
        case OptionKind::WholeList:
        case OptionKind::Decimal:
            return "COMPREPLY=()";
    }
    return "";
}

}  // namespace

std::string BashCompletion(std::span<const CommandSpec* const> commands) {
    std::string commandWords;
    for (const CommandSpec* command : commands)
        commandWords += std::string(commandWords.empty() ? "" : " ") + command->name;

    std::string script =
        "# bash completion for flyover-tool, made by flyover-install-files from the tool's\n"
        "# option tables\n"
        "_flyover_tool()\n"
        "{\n"
        "    local cur=${COMP_WORDS[COMP_CWORD]} prev=\n"
        "    ((COMP_CWORD > 0)) && prev=${COMP_WORDS[COMP_CWORD - 1]}\n"
        "    # \"--opt=value\": bash splits the word at '='.\n"
        "    if [[ $cur == = ]]; then\n"
        "        cur=\n"
        "    elif [[ $prev == = ]] && ((COMP_CWORD > 1)); then\n"
        "        prev=${COMP_WORDS[COMP_CWORD - 2]}\n"
        "    fi\n"
        "    if ((COMP_CWORD == 1)); then\n"
        "        COMPREPLY=($(compgen -W \"" +
        commandWords +
        " --help\" -- \"$cur\"))\n"
        "        return\n"
        "    fi\n"
        "    local options\n"
        "    case ${COMP_WORDS[1]} in\n";
    for (const CommandSpec* command : commands) {
        std::string options;
        for (const OptionSpec& option : command->options)
            options += std::string(options.empty() ? "" : " ") + option.name;
        script += "        " + std::string(command->name) + ")\n";
        script += "            options=\"" + options + " --help\"\n";
        script += "            case $prev in\n";
        for (const OptionSpec& option : command->options) {
            const std::string code = ValueCompletion(option);
            if (code.empty()) continue;
            script += "                " + std::string(option.name) + ") " + code + "; return ;;\n";
        }
        script += "            esac\n            ;;\n";
    }
    script +=
        "        *) return ;;\n"
        "    esac\n"
        "    COMPREPLY=($(compgen -W \"$options\" -- \"$cur\"))\n"
        "} &&\n"
        "    complete -F _flyover_tool flyover-tool\n";
    return script;
}
