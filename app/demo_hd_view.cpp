// demo_hd_view.cpp -- the demo's HD view: its terrain built at start-up and frames drawn on the
// render thread
#include "app/demo_hd_view.h"

#include <cstdio>
#include <memory>
#include <optional>
#include <string>

#include "app/demo_state.h"
#include "render/hd_terrain.h"
#include "render/hd_view.h"

namespace {

// The side the 256 x 256 maps are interpolated to, as flyover-tool's HD view does.
constexpr int kHdSide = 1024;
// The render thread and one worker.
constexpr int kHdThreads = 2;

// Written by StartHdView before the render thread exists; read-only after.
std::optional<HdTerrain> hdTerrain;
// Used by the render thread alone once it runs.
std::unique_ptr<HdRenderer> hdRenderer;

}  // namespace

void StartHdView() {
    hdRenderer.reset();
    hdTerrain.reset();
    if (!screen || !screen->WantsTrueColour() || !screen->SupportsTrueColour()) return;
    std::string error;
    hdTerrain = BuildHdTerrainFromScene(scene, kHdSide, error);
    if (!hdTerrain) {
        std::fprintf(stderr, "flyover: the HD view cannot be drawn (%s); the faithful view is\n",
                     error.c_str());
        return;
    }
    hdRenderer = std::make_unique<HdRenderer>(FastestHdPath(), kHdThreads);
}

bool HdViewOn() {
    return hdRenderer != nullptr;
}

void DrawHdView(const CameraState& camera) {
    const TrueColourFrame frame = screen->NextTrueColourFrame();
    if (frame.Empty()) return;
    hdRenderer->Draw(HdFrame{frame.pixels, frame.width, frame.height, frame.pitch}, *hdTerrain,
                     camera);
}
