// demo_state.cpp -- the demo's program-wide state, and loading the scene and moving the camera on
// it
#include "app/demo_state.h"

#include "platform/files.h"
#include "scene/scene_loader.h"

Platform* platform = nullptr;
Screen* screen = nullptr;
ViewGeometry viewGeometry;
ColourTables colourTables;
SineTable sineTable;
Scene scene;
CameraState cameraState;

bool LoadScene(const std::string& keyFilePath) {
    SceneLoad load = ReadScene(keyFilePath, ProgramDirectory(), colourTables);
    if (load.error) {
        platform->ShowErrorBox(load.error->message, kFileErrorCaption);
        return false;
    }
    scene = std::move(load.scene);
    return true;
}

bool UpdateCamera(float time) {
    return scene.path && CameraAtTime(*scene.path, time, cameraState);
}
