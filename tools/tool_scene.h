// tool_scene.h -- a scene loaded as the demo loads it, and a headless screen to draw it on
#pragma once

#include <memory>
#include <string>

#include "platform/frame_buffer.h"
#include "platform/headless/headless_platform.h"
#include "render/tables.h"
#include "render/terrain_view.h"
#include "scene/scene_loader.h"
#include "shared/scene_types.h"
#include "shared/view_geometry.h"
#include "tools/options.h"

// The options of the commands that read a scene and draw it: where the
// scene is, and the screen (OpenToolScreen's shape).
inline constexpr OptionSpec kSceneOption = {
    .name = "--scene",
    .valueName = "DIR",
    .help = "directory holding Keys2.txt and the pictures",
    .required = true,
};
inline constexpr OptionSpec kDisplayOption = {
    .name = "--display",
    .valueName = "WxH[:LAYOUT]",
    .help =
        "the emulated screen, default 240x320; LAYOUT is normal,\n"
        "bottom-up, rot90, rot180 or rot270",
    .kind = OptionKind::Display,
};

// A scene read from a directory with the tables the demo builds for it.
struct ToolScene {
    ColourTables colours = BuildColourTables();
    SineTable sines = BuildSineTable();
    Scene scene;
    KeyFileHeader keyFile;

    // What the renderer reads of it.
    TerrainSources Sources() const { return SceneSources(scene, sines); }
};

// Reads the scene in `directory` (Keys2.txt, its two maps and sky.BMP) as
// the demo does. On a failure prints the demo's own message on stderr
// ("Pelmora, File Error: Can't open ...") and returns null.
std::unique_ptr<ToolScene> ReadToolScene(const std::string& directory);

// The headless platform's screen of `shape` (every pixel 0 at first), with
// the view the demo derives on it.
struct ToolScreen {
    explicit ToolScreen(const DisplayShape& shape);
    ToolScreen(const ToolScreen&) = delete;
    ToolScreen& operator=(const ToolScreen&) = delete;

    const FrameBuffer& Frame() const { return screen.Frame(); }

    HeadlessScreen screen;
    ViewGeometry view;
};

// Opens a headless screen of `shape`. A screen too short to hold a view
// (under 25 rows) gets the demo's "GXOpenDisplay failed" on stderr and null.
std::unique_ptr<ToolScreen> OpenToolScreen(const DisplayShape& shape);
