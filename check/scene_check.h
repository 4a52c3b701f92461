// scene_check.h -- the checks of "flyover-tool check": a loaded scene's pictures, flight and view
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scene/scene_loader.h"
#include "shared/scene_types.h"
#include "shared/view_geometry.h"

// What a check found, in the order it found it: lines that describe the
// scene, and among them the problems.
struct SceneCheckReport {
    struct Line {
        std::string text;  // as read from the scene's files: not yet escaped for a terminal
        bool problem = false;
    };
    std::vector<Line> lines;
    int problems = 0;

    void Say(std::string text) { lines.push_back({std::move(text), false}); }
    void Problem(std::string text) {
        lines.push_back({std::move(text), true});
        ++problems;
    }
};

// A scene as ReadScene loaded it, with the sine table the renderer draws it with.
struct CheckedScene {
    const Scene& scene;
    const KeyFileHeader& keyFile;
    const int32_t* sines;  // the renderer's SineTable, 4096 entries
};

// A camera too close to the ground: less than this many height bytes above
// the highest ground near it.
constexpr double kLeastNearClearance = 4.0;
// The most frames followed: a flight longer than that many steps is followed
// at a coarser step, so that a path of a million keys is reviewed in seconds.
constexpr uint32_t kMostFramesFollowed = 20000;

// Checks `scene` as "flyover-tool check" reports it: the key file against
// the keys present, each picture's shape and palette, how long the flight
// plays and, when the pictures are usable and it plays, the flight followed
// every `stepMs` milliseconds (1 to 1000; coarser for a long flight) for its
// clearance above the ground and what each frame shows on `view`.
SceneCheckReport CheckScene(const CheckedScene& scene, const ViewGeometry& view, int64_t stepMs);
