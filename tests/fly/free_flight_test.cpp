// free_flight_test.cpp -- the flown camera: never under the ground on random routes, the same
// flight at any frame rate, eased speeds, climbing over ridges, the map's wrap, the horizon
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "flight/flight_review.h"
#include "fly/free_flight.h"
#include "tests/support/fly_scenes.h"

namespace {

uint8_t Flat(int, int) {
    return 20;
}
// Flat ground at 20 with a ridge of 140 across the map at x 128 .. 131.
uint8_t Ridge(int x, int) {
    return x >= 128 && x < 132 ? 140 : 20;
}
// Walls and pits: cells of 0 or 250 in blocks of 3 x 3, hash-chosen.
uint8_t Cliffs(int x, int y) {
    const unsigned h =
        (static_cast<unsigned>(x / 3) * 73856093u) ^ (static_cast<unsigned>(y / 3) * 19349663u);
    return (h >> 7) % 5 == 0 ? 250 : 0;
}

enum class Ground { Default, Steep, Cliffs };

std::unique_ptr<FlyTestScene> SceneOf(Ground ground) {
    switch (ground) {
        case Ground::Default:
            return DefaultFlyScene();
        case Ground::Steep:
            return SteepFlyScene();
        case Ground::Cliffs:
            return HandMadeFlyScene(Cliffs);
    }
    return nullptr;
}

class NeverUnderTheGroundTest : public ::testing::TestWithParam<Ground> {};

// Random routes, at random frame times from 4 to 60 ms: at every frame the
// camera is above the ground under it and keeps the clearance over the
// highest ground within two cells (what "flyover-tool check" measures).
// Pushing down flies down: held long enough, it reaches the floor.
TEST_P(NeverUnderTheGroundTest, OnRandomRoutesCheckedEveryFrame) {
    const auto scene = SceneOf(GetParam());
    ASSERT_FALSE(scene->load.error);
    const uint8_t* heights = scene->Heights();
    // The highest ground within 64 cells of each cell (the map wraps).
    std::vector<uint8_t> rows(kMapCells), highestAround(kMapCells);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            for (int d = -64; d <= 64; ++d)
                rows[y * 256 + x] = std::max(rows[y * 256 + x], heights[y * 256 + ((x + d) & 255)]);
    for (int y = 0; y < 256; ++y)
        for (int x = 0; x < 256; ++x)
            for (int d = -64; d <= 64; ++d)
                highestAround[y * 256 + x] =
                    std::max(highestAround[y * 256 + x], rows[((y + d) & 255) * 256 + x]);
    int64_t frames = 0;
    int descents = 0;
    for (uint64_t seed = 1; seed <= 16; ++seed) {
        RandomPilot pilot(seed * 7919);
        FreeFlight flight(heights, 295);
        FlightPose start;
        start.x = 256 * pilot.Uniform();
        start.y = 256 * pilot.Uniform();
        start.heading = 4096 * pilot.Uniform();
        start.horizon = 148;
        flight.Place(start);
        double t = 0;
        while (t < 25.0) {
            const double dt = 0.004 + 0.056 * pilot.Uniform();
            t += dt;
            FlightControls c = pilot.At(t);
            if (pilot.Uniform() < 0.5) c.climb = -1.0;  // pressing down into the ground, often
            flight.Step(c, dt);
            const FlightPose& p = flight.Pose();
            const CameraState camera = CameraOf(p);
            const GroundAround g = GroundAt(heights, camera.x, camera.y);
            ASSERT_GT(camera.height, g.under << kHeightShift) << "seed " << seed << " at " << t;
            ASSERT_GE(static_cast<double>(camera.height) / kHeightUnit, g.near + 4.0 - 1e-5)
                << "seed " << seed << " at " << t;
            ++frames;
        }
        // Up high, then pushing down the whole time, flying on as the pilot
        // likes.
        // Wherever all the ground the look-ahead can see (within 64 cells) is
        // far below, nothing holds the camera up: held for 3 s there, it
        // comes down.
        for (double end = t + 8.0; t < end;) {
            const double dt = 0.004 + 0.056 * pilot.Uniform();
            t += dt;
            FlightControls c = pilot.At(t);
            c.climb = 1.0;
            c.boost = true;
            flight.Step(c, dt);
        }
        double lowSince = -1, heightThen = 0;
        for (double end = t + 20.0; t < end;) {
            const double dt = 0.004 + 0.056 * pilot.Uniform();
            t += dt;
            FlightControls c = pilot.At(t);
            c.climb = -1.0;
            flight.Step(c, dt);
            const FlightPose& p = flight.Pose();
            ASSERT_GE(p.height, flight.Floor(p.x, p.y) - 1e-9) << "seed " << seed << " at " << t;
            const CameraState camera = CameraOf(p);
            const double highest = highestAround[static_cast<size_t>(camera.y >> 16) * 256 +
                                                 static_cast<size_t>(camera.x >> 16)];
            const bool low = p.height > highest + flight.Limits().clearance +
                                            flight.Limits().lookAheadMargin + 1.0;
            if (!low) {
                lowSince = -1;
            } else if (lowSince < 0) {
                lowSince = t;
                heightThen = p.height;
            } else if (t - lowSince >= 3.0) {
                EXPECT_LT(p.height, heightThen - 5.0)
                    << "seed " << seed << ": pushed down over low ground from " << lowSince
                    << " to " << t << " s";
                ++descents;
                lowSince = t;
                heightThen = p.height;
            }
        }
        // Hovering and pushing down, it settles on the floor and stays there.
        FlightControls down;
        down.climb = -1.0;
        for (int f = 0; f < 3000; ++f)
            flight.Step(down, 0.01);
        const FlightPose& p = flight.Pose();
        EXPECT_NEAR(p.height, flight.Floor(p.x, p.y), 1e-9) << "seed " << seed;
    }
    std::printf("%d stretches of 3 s pushing down over low ground\n", descents);
    EXPECT_GT(frames, 10000);
}

INSTANTIATE_TEST_SUITE_P(Scenes, NeverUnderTheGroundTest,
                         ::testing::Values(Ground::Default, Ground::Steep, Ground::Cliffs),
                         [](const auto& info) {
                             return info.param == Ground::Default ? "DefaultScene"
                                    : info.param == Ground::Steep ? "SteepScene"
                                                                  : "Cliffs";
                         });

// The controls change every 0.1 s; both frame rates step on those times.
FlightPose FlyAt(const uint8_t* heights, int fps) {
    RandomPilot pilot(99);
    std::vector<FlightControls> script;
    for (int i = 0; i < 100; ++i) {
        FlightControls c = pilot.At(i * 0.1);
        c.dragTurn = c.dragTilt = 0;
        c.level = false;
        script.push_back(c);
    }
    FreeFlight flight(heights, 295);
    FlightPose start;
    start.x = start.y = 128;
    start.height = 60;
    flight.Place(start);
    const int perStep = fps / 10;
    for (int i = 0; i < 100; ++i)
        for (int f = 0; f < perStep; ++f)
            flight.Step(script[i], 1.0 / fps);
    return flight.Pose();
}

TEST(FreeFlightTest, TheSameFlightAtAnyFrameRate) {
    const auto scene = HandMadeFlyScene(Flat);
    const FlightPose slow = FlyAt(scene->Heights(), 30);
    const FlightPose fast = FlyAt(scene->Heights(), 240);
    const double travelled = std::hypot(slow.x - 128, slow.y - 128);
    EXPECT_GT(travelled, 20.0);
    EXPECT_NEAR(slow.x, fast.x, 0.05);
    EXPECT_NEAR(slow.y, fast.y, 0.05);
    EXPECT_NEAR(slow.height, fast.height, 0.05);
    EXPECT_NEAR(slow.heading, fast.heading, 0.5);
    EXPECT_NEAR(slow.horizon, fast.horizon, 0.05);
}

TEST(FreeFlightTest, SpeedsEaseInWithoutAJolt) {
    const auto scene = HandMadeFlyScene(Flat);
    FreeFlight flight(scene->Heights(), 295);
    FlightPose start;
    start.x = start.y = 100;
    start.height = 80;
    flight.Place(start);
    FlightControls ahead;
    ahead.forward = 1;
    const double top = flight.Limits().speed;
    double last = 0;
    for (int f = 1; f <= 300; ++f) {
        flight.Step(ahead, 0.01);
        const double speed = flight.GroundSpeed();
        EXPECT_GE(speed, last) << "never overshoots and comes back";
        EXPECT_LE(speed, top + 1e-9);
        if (f == 5) {
            EXPECT_LT(speed, 0.05 * top) << "the start is gentle";
        }
        if (f == 300) {
            EXPECT_GT(speed, 0.95 * top);
        }
        last = speed;
    }
    // Letting go slows it down the same way.
    for (int f = 0; f < 50; ++f)
        flight.Step(FlightControls{}, 0.01);
    EXPECT_LT(flight.GroundSpeed(), 0.8 * top);
    EXPECT_GT(flight.GroundSpeed(), 0.2 * top);
}

struct DescentCase {
    const char* name;
    double forward;  // the stick ahead while pushing down
    double climb;    // how far down
    bool boost;
};

class DescentTest : public ::testing::TestWithParam<DescentCase> {};

// Over flat ground far below, pushing down loses height steadily, hovering
// or flying, until the camera is on the floor (ground + clearance).
TEST_P(DescentTest, PushingDownLosesHeightDownToTheFloor) {
    const DescentCase& c = GetParam();
    const auto scene = HandMadeFlyScene(Flat);
    FreeFlight flight(scene->Heights(), 295);
    FlightPose start;
    start.x = start.y = 100;
    start.height = 120;
    flight.Place(start);
    FlightControls controls;
    controls.forward = c.forward;
    controls.climb = c.climb;
    controls.boost = c.boost;
    const double floor = 20 + flight.Limits().clearance;
    double last = flight.Pose().height;
    double after2s = 0;
    for (int f = 1; f <= 2000; ++f) {
        flight.Step(controls, 0.01);
        const double h = flight.Pose().height;
        ASSERT_LE(h, last + 1e-9) << "never climbs over flat ground, frame " << f;
        ASSERT_GE(h, floor - 1e-9);
        if (f == 200) after2s = h;
        last = h;
    }
    EXPECT_LT(after2s, 120 - 10 * -c.climb) << "it went down when asked";
    EXPECT_NEAR(last, floor, 1e-9) << "down to the floor";
}

INSTANTIATE_TEST_SUITE_P(Controls, DescentTest,
                         ::testing::Values(DescentCase{"Hovering", 0, -1, false},
                                           DescentCase{"Flying", 1, -1, false},
                                           DescentCase{"FlyingFast", 1, -1, true},
                                           DescentCase{"BackingUpHalfDown", -1, -0.5, false}),
                         [](const auto& info) { return info.param.name; });

class RidgeTest : public ::testing::TestWithParam<double> {};

// Held level or pushed down, the camera climbs early for the ridge ahead.
TEST_P(RidgeTest, ClimbsOverARidgeInsteadOfStoppingAtIt) {
    const auto scene = HandMadeFlyScene(Ridge);
    FreeFlight flight(scene->Heights(), 295);
    FlightPose start;
    start.x = 60;
    start.y = 50;
    start.height = 30;  // low: the floor over flat ground is 24
    flight.Place(start);
    FlightControls ahead;
    ahead.forward = 1;
    ahead.climb = GetParam();
    ahead.boost = true;
    double heightAt110 = 0, slowest = 1e9;
    for (int f = 0; f < 2000 && flight.Pose().x < 150; ++f) {
        flight.Step(ahead, 0.01);
        if (f > 200) slowest = std::min(slowest, flight.GroundSpeed());
        if (heightAt110 == 0 && flight.Pose().x >= 110) heightAt110 = flight.Pose().height;
        ASSERT_GE(flight.Pose().height, flight.Floor(flight.Pose().x, flight.Pose().y) - 1e-9);
    }
    EXPECT_GE(flight.Pose().x, 150) << "crossed the ridge";
    EXPECT_GT(heightAt110, 60) << "the climb began well before the ridge";
    EXPECT_GT(slowest, 1.0) << "it slowed for the climb, never stopped";
}

INSTANTIATE_TEST_SUITE_P(Climb, RidgeTest, ::testing::Values(0.0, -1.0),
                         [](const auto& info) { return info.param < 0 ? "PushingDown" : "Level"; });

TEST(FreeFlightTest, TheMapWrapsAsTheRendererDoes) {
    const auto scene = HandMadeFlyScene(Flat);
    FreeFlight flight(scene->Heights(), 295);
    FlightPose start;
    start.x = 250;
    start.y = 5;
    start.height = 40;
    start.heading = 0;  // along +x
    flight.Place(start);
    FlightControls ahead;
    ahead.forward = 1;
    for (int f = 0; f < 200; ++f)
        flight.Step(ahead, 0.01);
    const FlightPose& p = flight.Pose();
    EXPECT_GT(p.x, 256.0) << "the pose runs on, unwrapped";
    const CameraState c = CameraOf(p);
    EXPECT_GE(c.x, 0);
    EXPECT_LT(c.x, 256 << 16);
    FlightPose back = p;
    back.x -= 256;
    back.heading -= 3 * 4096;
    EXPECT_EQ(CameraOf(back), c) << "whole repeats and turns draw the same view";
    EXPECT_EQ(CameraOf(FlightPose{-0.5, -0.25, 10, -1, 100}),
              (CameraState{(256 << 16) - 32768, (256 << 16) - 16384, 10 << 17, 4095, 100}));
}

TEST(FreeFlightTest, TheHorizonTiltsWithinTheViewAndLevels) {
    const auto scene = HandMadeFlyScene(Flat);
    FreeFlight flight(scene->Heights(), 295);
    FlightPose start;
    start.x = start.y = 100;
    start.height = 60;
    start.horizon = 100;
    flight.Place(start);
    FlightControls up;
    up.tilt = 1;
    for (int f = 0; f < 500; ++f)
        flight.Step(up, 0.01);
    EXPECT_DOUBLE_EQ(flight.Pose().horizon, 295) << "held within the view";
    FlightControls level;
    level.level = true;
    flight.Step(level, 0.01);
    EXPECT_DOUBLE_EQ(flight.Pose().horizon, flight.LevelHorizon());
    FlightControls drag;
    drag.dragTilt = -40;
    drag.dragTurn = 100;
    const double heading = flight.Pose().heading;
    flight.Step(drag, 0.01);
    EXPECT_NEAR(flight.Pose().horizon, flight.LevelHorizon() - 40, 1e-6);
    EXPECT_NEAR(flight.Pose().heading, heading + 100, 1e-6);
}

TEST(FreeFlightTest, PlacingRaisesTheCameraToTheFloorAndStopsIt) {
    const auto scene = HandMadeFlyScene(Ridge);
    FreeFlight flight(scene->Heights(), 295);
    FlightPose inside;
    inside.x = 129;
    inside.y = 10;
    inside.height = 50;
    flight.Place(inside);
    EXPECT_DOUBLE_EQ(flight.Pose().height, 140 + flight.Limits().clearance);
    EXPECT_DOUBLE_EQ(flight.GroundSpeed(), 0);
    EXPECT_EQ(PoseOf(CameraOf(flight.Pose())).x, 129);
}

}  // namespace
