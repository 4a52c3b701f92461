// render_command.cpp -- "flyover-tool render": one frame of a scene, headless, to a PNG file
#include <cstdio>
#include <string>

#include "render/terrain_renderer.h"
#include "shared/scene_types.h"
#include "tools/commands.h"
#include "tools/png_writer.h"
#include "tools/tool_common.h"
#include "tools/tool_scene.h"

namespace {

constexpr char kHelp[] =
    "Usage: flyover-tool render --scene DIR (--time MS | --camera X,Y,HEIGHT,HEADING,HORIZON)\n"
    "                           [--display WxH[:LAYOUT]] --out FILE.png\n"
    "\n"
    "Loads the scene in DIR as the demo does (Keys2.txt, the two maps it names and\n"
    "sky.BMP), draws one frame on a fresh headless display and writes the whole\n"
    "display, in screen orientation, as an 8-bit RGB PNG.\n"
    "\n"
    "  --scene DIR        directory holding Keys2.txt and the pictures\n"
    "  --time MS          flight time in whole milliseconds (0 to 4294967295): the\n"
    "                     camera follows the path as the demo's frame loop does\n"
    "  --camera X,Y,HEIGHT,HEADING,HORIZON\n"
    "                     draw for this camera instead (32-bit integers: 16.16 map\n"
    "                     cells, height-map byte << 17, 4096 per turn, view row)\n"
    "  --display WxH[:LAYOUT]\n"
    "                     the emulated screen, default 240x320; LAYOUT is normal,\n"
    "                     bottom-up, rot90, rot180 or rot270 (the picture is the same)\n"
    "  --out FILE.png     where to write the picture\n"
    "\n"
    "Exit status: 0 on success, 1 when the scene cannot be loaded, the time is past\n"
    "the end of the path or the file cannot be written, 2 for bad arguments.\n";

bool ParseCamera(const std::string& text, CameraState& camera) {
    int32_t* fields[] = {&camera.x, &camera.y, &camera.height, &camera.heading, &camera.horizon};
    size_t start = 0;
    for (int i = 0; i < 5; ++i) {
        const size_t comma = text.find(',', start);
        if ((i < 4) != (comma != std::string::npos)) return false;
        const std::string part = text.substr(start, i < 4 ? comma - start : std::string::npos);
        int64_t value = 0;
        if (!ParseInteger(part, INT32_MIN, INT32_MAX, value)) return false;
        *fields[i] = static_cast<int32_t>(value);
        start = comma + 1;
    }
    return true;
}

}  // namespace

int RunRenderCommand(int argc, char** argv) {
    const std::string command = "render";
    ArgList args(argc, argv);
    std::string sceneDir, out, value;
    DisplayShape display;
    bool haveTime = false, haveCamera = false;
    int64_t timeMs = 0;
    CameraState camera;
    while (!args.Done()) {
        const std::string option = args.Take();
        if (option == "--help" || option == "-h") {
            std::fputs(kHelp, stdout);
            return 0;
        } else if (option == "--scene") {
            if (!args.TakeValue(option, sceneDir)) return 2;
        } else if (option == "--out") {
            if (!args.TakeValue(option, out)) return 2;
        } else if (option == "--time") {
            if (!args.TakeValue(option, value)) return 2;
            if (!ParseInteger(value, 0, UINT32_MAX, timeMs))
                return UsageError(command, "bad --time \"" + value +
                                               "\" (expected whole milliseconds, 0 to 4294967295)");
            haveTime = true;
        } else if (option == "--camera") {
            if (!args.TakeValue(option, value)) return 2;
            if (!ParseCamera(value, camera))
                return UsageError(
                    command, "bad --camera \"" + value +
                                 "\" (expected five 32-bit integers X,Y,HEIGHT,HEADING,HORIZON)");
            haveCamera = true;
        } else if (option == "--display") {
            if (!args.TakeValue(option, value)) return 2;
            std::string error;
            if (!ParseDisplayShape(value, display, error)) return UsageError(command, error);
        } else {
            return UsageError(command, "unknown argument \"" + option + "\"");
        }
    }
    if (sceneDir.empty()) return UsageError(command, "--scene DIR is required");
    if (out.empty()) return UsageError(command, "--out FILE.png is required");
    if (haveTime == haveCamera)
        return UsageError(command, "give exactly one of --time and --camera");

    const std::unique_ptr<HeadlessScreen> screen = OpenHeadlessScreen(display);
    if (!screen) return 1;
    const std::unique_ptr<ToolScene> loaded = ReadToolScene(sceneDir);
    if (!loaded) return 1;

    // As the frame loop does: the camera from the path, then the view.
    if (haveTime && !CameraAtTime(*loaded->scene.path,
                                  static_cast<float>(static_cast<uint32_t>(timeMs)), camera)) {
        std::fprintf(stderr, "flight time %lld is past the end of the path\n",
                     static_cast<long long>(timeMs));
        return 1;
    }
    TerrainRenderer().Draw(screen->view, loaded->Sources(), camera);

    const FrameBuffer& frame = screen->frame;
    std::string error;
    if (!WritePng(out, frame.Width(), frame.Height(), frame.ScreenPixels(), error)) {
        std::fprintf(stderr, "flyover-tool render: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
