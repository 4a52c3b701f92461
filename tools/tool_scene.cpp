// tool_scene.cpp -- reading scenes and opening headless screens for flyover-tool's commands
#include "tools/tool_scene.h"

#include <cstdio>

#include "hdscene/hd_scene.h"
#include "tools/tool_output.h"

std::unique_ptr<ToolScene> ReadToolScene(const std::string& directory) {
    auto loaded = std::make_unique<ToolScene>();
    const std::string dir = AsDirectory(directory);
    SceneLoad load = ReadScene(dir + kKeyFileName, dir, loaded->colours);
    if (load.error) {
        // The demo's own message, then why.
        ProgramMessage(std::string(kFileErrorCaption) + ": " + load.error->message);
        ToolError("", load.error->reason);
        return nullptr;
    }
    loaded->scene = std::move(load.scene);
    loaded->keyFile = std::move(load.keyFile);
    loaded->directory = directory;
    return loaded;
}

std::vector<std::string> ViewChoices() {
    return {"faithful", "hd"};
}

std::string ReadViewChoice(const ParsedOptions& options, ViewChoice& view) {
    view = {};
    view.hd = options.Text("--view") == "hd";
    if (const OptionValue* size = options.Last("--size")) {
        if (!view.hd) return "--size sets the HD view's frame: give --view hd with it";
        const std::string& text = size->text;
        const size_t x = text.find('x');
        int64_t width = 0, height = 0;
        if (x == std::string::npos ||
            !ParseWhole(std::string_view(text).substr(0, x), kHdMinWidth, kHdMaxWidth, width) ||
            !ParseWhole(std::string_view(text).substr(x + 1), kHdMinHeight, kHdMaxHeight, height))
            return "bad --size \"" + text + "\" (expected WxH, width " +
                   std::to_string(kHdMinWidth) + " to " + std::to_string(kHdMaxWidth) +
                   " and height " + std::to_string(kHdMinHeight) + " to " +
                   std::to_string(kHdMaxHeight) + ")";
        view.width = static_cast<int>(width);
        view.height = static_cast<int>(height);
    }
    if (view.hd && options.Has("--display"))
        return "--display sets the faithful view's screen; the HD view takes --size";
    return "";
}

std::optional<HdTerrain> LoadToolHdTerrain(const ToolScene& loaded, const std::string& command,
                                           std::string* source) {
    std::vector<std::string> problems;
    const HdSceneMaps maps = ReadHdScene(loaded.directory, problems);
    const std::string sky = AsDirectory(loaded.directory) + kHdSkyFileName;
    for (const std::string& problem : problems)
        ToolError(command, "warning: " + problem +
                               (problem.rfind(sky, 0) == 0
                                    ? "; the HD view uses the faithful sky instead"
                                    : "; the HD view draws the 256 x 256 maps interpolated "
                                      "instead"));
    std::string error;
    std::optional<HdTerrain> terrain =
        BuildSceneHdTerrain(loaded.scene, maps, kHdInterpolatedSide, error);
    if (!terrain) {
        ToolError(command, "cannot build the HD view's terrain: " + error);
        return terrain;
    }
    const std::string side = std::to_string(terrain->Side());
    if (source)
        *source = maps.HasMaps() ? "HD maps " + side + " x " + side
                                 : "256 x 256 maps interpolated to " + side;
    return terrain;
}

ToolScreen::ToolScreen(const DisplayShape& shape) : screen(shape) {}

std::unique_ptr<ToolScreen> OpenToolScreen(const DisplayShape& shape) {
    auto tool = std::make_unique<ToolScreen>(shape);
    std::string why;
    const std::optional<ViewGeometry> view =
        ViewOnDisplay(tool->screen.Properties(), tool->screen.TopLeft(), why);
    if (!view) {
        // The tool fails as the demo does on such a display, in its words.
        ProgramMessage("GXOpenDisplay failed");
        return nullptr;
    }
    tool->view = *view;
    return tool;
}
