// scene_types.cpp -- the program-wide scene records
#include "shared/scene_types.h"

#include "path/key_path.h"

Scene::Scene() = default;
Scene::~Scene() = default;
Scene::Scene(Scene&&) noexcept = default;
Scene& Scene::operator=(Scene&&) noexcept = default;

ViewGeometry viewGeometry;
Scene scene;
CameraState cameraState;
