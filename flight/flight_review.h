// flight_review.h -- follows a camera path as the demo plays it and measures its clearance and view
#pragma once

#include <cstdint>
#include <vector>

#include "shared/scene_format.h"
#include "shared/scene_types.h"

class KeyPath;

constexpr int32_t kHeightUnit = 1 << kHeightShift;  // a height byte in camera units
constexpr int kNearRadius = 2;  // cells around the one under the camera counted as "near"

// The ground around a camera position, in height bytes.
struct GroundAround {
    int under = 0;  // the cell the camera is over
    int near = 0;   // the highest cell within kNearRadius cells (a 5 x 5 block)
};

// `heights` is a 256 x 256 height map, index y * 256 + x; positions wrap.
GroundAround GroundAt(const uint8_t* heights, int32_t x, int32_t y);

// The camera at one sampled flight time.
struct FlightSample {
    uint32_t timeMs = 0;
    CameraState camera;
};

// Every `stepMs` milliseconds from 0 while the path plays (as UpdateCamera
// gives it: the values truncated to integers), until Evaluate reports the end.
std::vector<FlightSample> SampleFlight(const KeyPath& path, uint32_t stepMs);

// When a path stops playing: the next-to-last key's time, or 0 without a segment.
uint32_t PlayingDuration(const KeyPath& path);

// Where the camera came closest to the ground.
struct ClearanceReport {
    bool any = false;
    double lowestUnder = 0;  // camera height above the cell under it, in height bytes
    double lowestNear = 0;   // above the highest cell near it, in height bytes
    FlightSample atUnder;    // where each lowest value occurred
    FlightSample atNear;
};
ClearanceReport MeasureClearance(const std::vector<FlightSample>& samples, const uint8_t* heights);

// What one frame shows, in view pixels.
struct ViewContent {
    int ground = 0;
    int sky = 0;
    int haze = 0;
};
// Draws the frame for `camera` with the real renderer into a scratch view of
// `width` x (bottomRow + 1) pixels, with marker colours in place of the
// scene's, and counts the ground, sky and haze pixels. `sineTable` is the
// renderer's SineTable (4096 entries), or ReproducibleSineTable().
ViewContent MeasureView(const uint8_t* heights, int width, int bottomRow, const CameraState& camera,
                        const int32_t* sineTable);

// The rows of sky the renderer draws at the top of a column that reaches
// the sky, for `camera` on a view whose last row is `bottomRow`: horizon +
// ((height - 0x60000) >> 18) - 20, kept within 0 .. bottomRow, as the
// renderer works it out. Row k of the band shows picture row 255 - band + k,
// so a band of more than kTallestSkyBand rows reaches above the picture and
// repeats its first row down the top (band - kTallestSkyBand) rows: a
// smear of vertical streaks.
int SkyBand(const CameraState& camera, int bottomRow);
constexpr int kTallestSkyBand = kSkyRows - 1;

// The renderer's sine table (sin(i * 6.28 / 4096) * 65536, truncated)
// computed without the C library, so that the flight planner, which judges
// views with it, gives the same keys on every machine.
const int32_t* ReproducibleSineTable();
