// terrain_renderer.cpp -- choosing a renderer path and handing each frame to it
#include "render/terrain_renderer.h"

#include "render/cpu_features.h"
#include "render/render_scratch.h"
#include "render/terrain_view_fast.h"

const char* RenderPathName(RenderPath path) {
    switch (path) {
        case RenderPath::Reference:
            return "reference";
        case RenderPath::Scalar:
            return "scalar";
        case RenderPath::Sse2:
            return "sse2";
        case RenderPath::Avx2:
            return "avx2";
        case RenderPath::Avx2Gather:
            return "avx2-gather";
    }
    return "reference";
}

bool RenderPathAvailable(RenderPath path) {
    switch (path) {
        case RenderPath::Reference:
        case RenderPath::Scalar:
            return true;
        case RenderPath::Sse2:
            return terrain_fast::kHaveSse2Path;
        case RenderPath::Avx2:
        case RenderPath::Avx2Gather:
            return terrain_fast::kHaveAvx2Path && CpuHasAvx2();
    }
    return false;
}

RenderPath FastestRenderPath() {
    // The portable path is no quicker than the reference on the machines
    // measured (its gain on long runs is eaten by staging them), so without
    // vector instructions the reference draws.
    static const RenderPath fastest = [] {
        // Eight byte loads a step beat a gather where gathers are slow
        // microcode (AMD before Zen 4; Intel processors whose microcode guards
        // gathers against data sampling), and lose where they are quick.
        if (RenderPathAvailable(RenderPath::Avx2Gather) && CpuGathersQuickly())
            return RenderPath::Avx2Gather;
        for (RenderPath path : {RenderPath::Avx2, RenderPath::Sse2})
            if (RenderPathAvailable(path)) return path;
        return RenderPath::Reference;
    }();
    return fastest;
}

TerrainRenderer::TerrainRenderer(RenderPath path)
    : path_(path), scratch_(std::make_unique_for_overwrite<terrain_fast::RenderScratch>()) {}

TerrainRenderer::~TerrainRenderer() = default;

void TerrainRenderer::Draw(const ViewGeometry& view, const TerrainSources& sources,
                           const CameraState& camera) {
    using namespace terrain_fast;
    if (path_ == RenderPath::Reference || view.width <= 0 || view.bottomRow < 0) {
        RenderTerrain(view, sources, camera);
        return;
    }
    MarchPlan& plan = scratch_->plan;
    if (!PlanFrame(view, sources, camera, plan)) {
        RenderTerrain(view, sources, camera);
        return;
    }
    switch (path_) {
        case RenderPath::Avx2:
            RenderAvx2(plan, *scratch_, false);
            return;
        case RenderPath::Avx2Gather:
            RenderAvx2(plan, *scratch_, true);
            return;
        case RenderPath::Sse2:
            RenderSse2(plan, *scratch_);
            return;
        default:
            RenderScalar(plan, *scratch_);
            return;
    }
}
