// tool_scene.h -- a scene loaded as the demo loads it, and a headless screen to draw it on
#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/frame_buffer.h"
#include "platform/headless/headless_platform.h"
#include "render/hd_terrain.h"
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
    std::string directory;  // as given

    // What the renderer reads of it.
    TerrainSources Sources() const { return SceneSources(scene, sines); }
};

// Reads the scene in `directory` (Keys2.txt, its two maps and sky.BMP) as
// the demo does. On a failure prints the demo's own message on stderr
// ("Pelmora, File Error: Can't open ...") and returns null.
std::unique_ptr<ToolScene> ReadToolScene(const std::string& directory);

// The names --view takes.
std::vector<std::string> ViewChoices();

// The HD view's options: which view, and the HD frame's size.
inline constexpr OptionSpec kViewOption = {
    .name = "--view",
    .valueName = "VIEW",
    .help =
        "faithful (the default: the original's view on the emulated\n"
        "screen) or hd (the HD view, 32-bit, of --size)",
    .kind = OptionKind::Choice,
    .choices = ViewChoices,
};
inline constexpr OptionSpec kSizeOption = {
    .name = "--size",
    .valueName = "WxH",
    .help = "the HD view's frame, 320x240 to 7680x4320 (default 1920x1080)",
};
inline constexpr int kHdDefaultWidth = 1920, kHdDefaultHeight = 1080;
inline constexpr int kHdMinWidth = 320, kHdMinHeight = 240;
inline constexpr int kHdMaxWidth = 7680, kHdMaxHeight = 4320;
// The side the 256 x 256 maps are interpolated to when a scene has no HD maps.
inline constexpr int kHdInterpolatedSide = 1024;

// The view and size a command was given: "" when they fit together, else the
// usage error's message (a --size out of range or not WxH; --size or
// --display given with the other view).
struct ViewChoice {
    bool hd = false;
    int width = kHdDefaultWidth, height = kHdDefaultHeight;
};
std::string ReadViewChoice(const ParsedOptions& options, ViewChoice& view);

// The HD terrain of a loaded scene: its HD maps (hd-colour.png,
// hd-height.png, hd-sky.png) where it has good ones, else the 256 x 256 maps
// interpolated. Each bad HD file gets a warning on stderr naming it and the
// problem, and the faithful maps stand in. Null, with a message, only when
// the terrain cannot be built at all. `source`, when given, says which maps
// were used ("HD maps 1024 x 1024" or "256 x 256 maps interpolated to 1024").
std::optional<HdTerrain> LoadToolHdTerrain(const ToolScene& loaded, const std::string& command,
                                           std::string* source = nullptr);

// The headless platform's screen of `shape` (every pixel 0 at first), with
// the view the demo derives on it (set by OpenToolScreen).
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
