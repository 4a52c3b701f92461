// fly_scenes.h -- for the fly tests: scenes read as the demo reads them (the default one, a steep
// generated one, hand-made ones) and random flights over them
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fly/fly_session.h"
#include "fly/free_flight.h"
#include "render/tables.h"
#include "scene/scene_loader.h"
#include "tests/support/test_files.h"

// A scene read by ReadScene from a directory that the scene keeps (a
// temporary one for generated and hand-made scenes).
struct FlyTestScene {
    std::unique_ptr<TempDir> temp;
    std::string directory;  // with its trailing "/"
    ColourTables colours = BuildColourTables();
    SineTable sines = BuildSineTable();
    SceneLoad load;

    const uint8_t* Heights() const { return load.scene.heightMap.pixels.data(); }
    FlyScene Fly() const { return {load.scene, sines, load.keyFile}; }
};

// The default scene the build writes beside the programs.
std::unique_ptr<FlyTestScene> DefaultFlyScene();
// "flyover-tool scene --seed 3": the steepest of the first seeds (15 height
// bytes between neighbouring cells), generated into a temporary directory.
std::unique_ptr<FlyTestScene> SteepFlyScene();
// A scene whose height map is `height(x, y)`, with the default scene's
// colour map, sky and key file, in a temporary directory.
std::unique_ptr<FlyTestScene> HandMadeFlyScene(uint8_t (*height)(int x, int y));

// A random pilot: controls held for 0.3 .. 2 s at a time, every axis full,
// partial or off, now and then boosted, leveled or dragged.
class RandomPilot {
public:
    explicit RandomPilot(uint64_t seed) : state_(seed * 0x9E3779B97F4A7C15ull + 1) {}
    // The controls for the frame at `seconds`.
    FlightControls At(double seconds);
    // Uniform in [0, 1).
    double Uniform();

private:
    uint64_t state_;
    double until_ = -1;
    FlightControls held_;
};
