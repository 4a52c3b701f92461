// fly_scenes.cpp -- the fly tests' scenes and their random pilot
#include "tests/support/fly_scenes.h"

#include <filesystem>
#include <fstream>
#include <sstream>

#include "scenegen/scene_generator.h"

namespace {

std::unique_ptr<FlyTestScene> Read(std::unique_ptr<FlyTestScene> scene) {
    scene->load = ReadScene(scene->directory + kKeyFileName, scene->directory, scene->colours);
    return scene;
}

std::string BinDirectory() {
    return std::filesystem::path(FLYOVER_TOOL).parent_path().string() + "/";
}

}  // namespace

std::unique_ptr<FlyTestScene> DefaultFlyScene() {
    auto scene = std::make_unique<FlyTestScene>();
    scene->directory = BinDirectory();
    return Read(std::move(scene));
}

std::unique_ptr<FlyTestScene> SteepFlyScene() {
    auto scene = std::make_unique<FlyTestScene>();
    scene->temp = std::make_unique<TempDir>();
    scene->directory = scene->temp->Dir();
    std::string error;
    WriteScene(GenerateScene(3), scene->directory, error);
    return Read(std::move(scene));
}

std::unique_ptr<FlyTestScene> HandMadeFlyScene(uint8_t (*height)(int x, int y)) {
    auto scene = std::make_unique<FlyTestScene>();
    scene->temp = std::make_unique<TempDir>();
    scene->directory = scene->temp->Dir();
    for (const char* name : {"colour.bmp", "sky.BMP", "Keys2.txt"})
        std::filesystem::copy_file(BinDirectory() + name, scene->directory + name);
    scene->temp->Write("height.bmp", MakeBmpFrom(256, 256, height));
    return Read(std::move(scene));
}

double RandomPilot::Uniform() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return static_cast<double>((z ^ (z >> 31)) >> 11) * (1.0 / 9007199254740992.0);
}

FlightControls RandomPilot::At(double seconds) {
    if (seconds >= until_) {
        until_ = seconds + 0.3 + 1.7 * Uniform();
        const auto axis = [this] {
            const double u = Uniform();
            return u < 0.3 ? 0.0
                           : (u < 0.6 ? (Uniform() < 0.5 ? -1.0 : 1.0) : 2.0 * Uniform() - 1.0);
        };
        held_ = FlightControls{};
        held_.forward = Uniform() < 0.7 ? 0.5 + 0.5 * Uniform() : axis();
        held_.strafe = axis();
        held_.climb = axis();
        held_.turn = axis();
        held_.tilt = axis() * 0.3;
        held_.boost = Uniform() < 0.3;
        held_.level = Uniform() < 0.1;
    }
    FlightControls now = held_;
    held_.level = false;  // once
    if (Uniform() < 0.05) {
        now.dragTurn = (Uniform() - 0.5) * 40.0;
        now.dragTilt = (Uniform() - 0.5) * 10.0;
    }
    return now;
}
