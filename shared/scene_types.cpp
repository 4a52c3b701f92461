// scene_types.cpp -- the scene's lifetime (it owns its path) and the camera a path gives
#include "shared/scene_types.h"

#include "path/key_path.h"

Scene::Scene() = default;
Scene::~Scene() = default;
Scene::Scene(Scene&&) noexcept = default;
Scene& Scene::operator=(Scene&&) noexcept = default;

bool CameraAtTime(const KeyPath& path, float timeMs, CameraState& camera) {
    float v[kKeyValues] = {0, 0, 0, 0, 0};
    if (path.Dimension() != kKeyValues || !path.Evaluate(timeMs, v)) return false;
    camera.x = TruncateToInt32(v[0]);
    camera.y = TruncateToInt32(v[1]);
    camera.height = TruncateToInt32(v[2]);
    camera.heading = TruncateToInt32(v[3]);
    camera.horizon = TruncateToInt32(v[4]);
    return true;
}
