// tool_scene.cpp -- reading scenes and opening headless screens for flyover-tool's commands
#include "tools/tool_scene.h"

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
    return loaded;
}

ToolScreen::ToolScreen(const DisplayShape& shape)
    : screen(shape), view(ViewGeometryFor(screen.Properties(), screen.TopLeft())) {}

std::unique_ptr<ToolScreen> OpenToolScreen(const DisplayShape& shape) {
    GXDisplayProperties properties;
    properties.cxWidth = static_cast<uint32_t>(shape.width);
    properties.cyHeight = static_cast<uint32_t>(shape.height);
    if (!DisplayHoldsAView(properties)) {
        ProgramMessage("GXOpenDisplay failed");
        return nullptr;
    }
    return std::make_unique<ToolScreen>(shape);
}
