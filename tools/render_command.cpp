// render_command.cpp -- "flyover-tool render": one frame of a scene, headless, to a PNG file
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "hdscene/hd_png.h"
#include "render/hd_view.h"
#include "render/terrain_renderer.h"
#include "shared/scene_types.h"
#include "tools/commands.h"
#include "tools/png_writer.h"
#include "tools/tool_output.h"
#include "tools/tool_scene.h"

namespace {

constexpr OptionSpec kOptions[] = {
    kSceneOption,
    WholeOption("--time", "MS", 0, UINT32_MAX, "whole milliseconds, 0 to 4294967295",
                "flight time in whole milliseconds (0 to 4294967295): the\n"
                "camera follows the path as the demo's frame loop does")
        .OneOf(1),
    WholeListOption("--camera", "X,Y,HEIGHT,HEADING,HORIZON", 5, INT32_MIN, INT32_MAX,
                    "five 32-bit integers X,Y,HEIGHT,HEADING,HORIZON",
                    "draw for this camera instead (32-bit integers: 16.16 map\n"
                    "cells, height-map byte << 17, 4096 per turn, view row)")
        .OneOf(1),
    kDisplayOption.WithHelp("the emulated screen, default 240x320; LAYOUT is normal,\n"
                            "bottom-up, rot90, rot180 or rot270 (the picture is the same)"),
    kViewOption,
    kSizeOption,
    TextOption("--out", "FILE.png", "where to write the picture").Required(),
};

// The camera --camera gives, field by field.
CameraState CameraFrom(const std::vector<int64_t>& fields) {
    return {static_cast<int32_t>(fields[0]), static_cast<int32_t>(fields[1]),
            static_cast<int32_t>(fields[2]), static_cast<int32_t>(fields[3]),
            static_cast<int32_t>(fields[4])};
}

}  // namespace

// As CommandSpec lists them: name, summary, description, options, epilog,
// help column and the work.
constinit const CommandSpec kRenderCommand = {
    "render",
    "draw one frame of a scene to a PNG file",
    "Loads the scene in DIR as the demo does (Keys2.txt, the two maps it names and\n"
    "sky.BMP), draws one frame on a fresh headless display and writes the whole\n"
    "display, in screen orientation, as an 8-bit RGB PNG. With --view hd it draws\n"
    "the HD view instead, from the scene's HD maps (hd-colour.png, hd-height.png,\n"
    "hd-sky.png) or, without them, its 256 x 256 maps interpolated, into a 32-bit\n"
    "frame of --size, and writes that frame as an 8-bit RGB PNG.\n",
    kOptions,
    "Exit status: 0 on success, 1 when the scene cannot be loaded, the time is past\n"
    "the end of the path or the file cannot be written, 2 for bad arguments.\n",
    21,
    RunRenderCommand};

namespace {

// Draws the HD view for `camera` into a width x height frame and writes it.
int RenderHd(const ToolScene& loaded, const CameraState& camera, const ViewChoice& view,
             const std::string& out) {
    const std::optional<HdTerrain> terrain = LoadToolHdTerrain(loaded, "render");
    if (!terrain) return 1;
    std::vector<uint32_t> pixels(static_cast<size_t>(view.width) *
                                 static_cast<size_t>(view.height));
    const HdFrame frame{pixels.data(), view.width, view.height,
                        static_cast<ptrdiff_t>(view.width) * 4};
    if (const std::string why = HdCheck(frame, HdOptions{}); !why.empty()) {
        ToolError("render", "cannot draw the HD view: " + why);
        return 1;
    }
    // Every path and thread count draws the same bytes; use what the machine has.
    const int threads = static_cast<int>(std::clamp(std::thread::hardware_concurrency(), 1u, 8u));
    HdRenderer(FastestHdPath(), threads).Draw(frame, *terrain, camera);
    std::string error;
    if (!WriteRgbPng(out, view.width, view.height, pixels.data(), view.width, error)) {
        ToolError("render", error);
        return 1;
    }
    return 0;
}

}  // namespace

int RunRenderCommand(const ParsedOptions& options) {
    ViewChoice view;
    if (const std::string usage = ReadViewChoice(options, view); !usage.empty())
        return UsageError("render", usage);
    std::unique_ptr<ToolScreen> screen;
    if (!view.hd) {
        screen = OpenToolScreen(options.Display("--display"));
        if (!screen) return 1;
    }
    const std::unique_ptr<ToolScene> loaded = ReadToolScene(options.Text("--scene"));
    if (!loaded) return 1;

    // As the frame loop does: the camera from the path, then the view.
    CameraState camera;
    if (const OptionValue* time = options.Last("--time")) {
        if (!CameraAtTime(*loaded->scene.path, static_cast<float>(time->whole), camera)) {
            const std::string why = WhyNoFlight(loaded->scene.path.get(), loaded->keyFile);
            if (why.empty())
                ProgramMessage("flight time " + std::to_string(time->whole) +
                               " is past the end of the path");
            else
                ToolError("render", "the path has no flight: " + why);
            return 1;
        }
    } else {
        camera = CameraFrom(options.Last("--camera")->wholes);
    }
    if (view.hd) return RenderHd(*loaded, camera, view, options.Text("--out"));
    TerrainRenderer().Draw(screen->view, loaded->Sources(), camera);

    const FrameBuffer& frame = screen->Frame();
    std::string error;
    if (!WritePng(options.Text("--out"), frame.Width(), frame.Height(), frame.ScreenPixels(),
                  error)) {
        ToolError("render", error);
        return 1;
    }
    return 0;
}
