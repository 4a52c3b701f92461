// install_files_main.cpp -- flyover-install-files: writes the files the package installs
// beside the programs (icons, manual pages, bash completion), all made from the program's
// own data, at build time
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "packaging/completion.h"
#include "packaging/man_page.h"
#include "resources/icon.h"
#include "tools/commands.h"
#include "tools/png_writer.h"

#ifndef FLYOVER_VERSION
#define FLYOVER_VERSION "0"
#endif

namespace {

constexpr int kIconSizes[] = {16, 32, 48, 64, 128, 256};

bool WriteText(const std::filesystem::path& path, const std::string& text) {
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (!out) {
        std::fprintf(stderr, "flyover-install-files: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

constexpr char kHelp[] =
    "Usage: flyover-install-files OUT_DIR [SCENE_DIR]\n"
    "\n"
    "Writes the files installed beside the programs into OUT_DIR (made when\n"
    "missing): the icon as PNG at 16 to 256 pixels and as SVG (icons/hicolor/),\n"
    "the manual pages flyover-tool.1 and flyover.6 (man/) and the bash completion\n"
    "of flyover-tool (completion/flyover-tool). The manual page and the completion\n"
    "come from the same option tables as flyover-tool's --help. SCENE_DIR is where\n"
    "the installed demo keeps its scene, for flyover(6) (default /usr/lib/flyover).\n"
    "\n"
    "Exit status: 0 on success, 1 when a file cannot be written, 2 for bad arguments.\n";

int Run(const std::filesystem::path& out, const std::string& sceneDir) {
    for (const int size : kIconSizes) {
        const std::string dims = std::to_string(size) + "x" + std::to_string(size);
        const std::filesystem::path png = out / "icons/hicolor" / dims / "apps/flyover.png";
        std::error_code ec;
        std::filesystem::create_directories(png.parent_path(), ec);
        std::string error;
        if (!WriteArgbPng(png, size, size, DrawIcon(size), error)) {
            std::fprintf(stderr, "flyover-install-files: %s\n", error.c_str());
            return 1;
        }
    }
    const bool written =
        WriteText(out / "icons/hicolor/scalable/apps/flyover.svg", IconSvg()) &&
        WriteText(out / "man/flyover-tool.1", ToolManPage(ToolCommands(), FLYOVER_VERSION)) &&
        WriteText(out / "man/flyover.6", DemoManPage(FLYOVER_VERSION, sceneDir)) &&
        WriteText(out / "completion/flyover-tool", BashCompletion(ToolCommands()));
    return written ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && (std::string(argv[1]) == "--help" || std::string(argv[1]) == "-h")) {
        std::fputs(kHelp, stdout);
        return 0;
    }
    if (argc < 2 || argc > 3 || argv[1][0] == '-') {
        std::fputs(kHelp, stderr);
        return 2;
    }
    return Run(argv[1], argc == 3 ? argv[2] : "/usr/lib/flyover");
}
