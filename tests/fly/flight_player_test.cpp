// flight_player_test.cpp -- the player's clock: playing and looping, pause, seeking, speeds,
// jumping to keys, and the camera of each whole millisecond
#include <gtest/gtest.h>

#include "fly/flight_player.h"
#include "path/key_path.h"

namespace {

// Five keys, one every 1000 ms: the flight plays from 0 to 3000 ms.
std::unique_ptr<KeyPath> FiveKeys() {
    auto path = std::make_unique<KeyPath>(5, 0.5f, 5);
    for (int i = 0; i < 5; ++i) {
        const float v[5] = {65536.0f * 10 * i, 65536.0f * 3, 131072.0f * 40, 100.0f * i, 150};
        path->AddKey(i * 1000, v);
    }
    path->Prepare();
    return path;
}

TEST(FlightPlayerTest, PlaysAtItsSpeedAndStartsAgainAtTheEnd) {
    const auto path = FiveKeys();
    FlightPlayer player(*path);
    EXPECT_EQ(player.DurationMs(), 3000u);
    EXPECT_EQ(player.PlayedKeys(), 4);
    player.Advance(1.2345);
    EXPECT_EQ(player.TimeMs(), 1234u) << "whole milliseconds";
    player.Faster();
    player.Advance(0.5);
    EXPECT_EQ(player.TimeMs(), 2234u);
    player.Advance(0.5);
    EXPECT_EQ(player.TimeMs(), 234u) << "past the end it starts again, as the demo does";
}

TEST(FlightPlayerTest, PausedItStands) {
    const auto path = FiveKeys();
    FlightPlayer player(*path);
    player.Advance(0.1);
    player.TogglePause();
    EXPECT_TRUE(player.Paused());
    player.Advance(5.0);
    EXPECT_EQ(player.TimeMs(), 100u);
    player.TogglePause();
    player.Advance(0.1);
    EXPECT_EQ(player.TimeMs(), 200u);
}

TEST(FlightPlayerTest, SeeksLandOnWholeMillisecondsWithinTheFlight) {
    const auto path = FiveKeys();
    FlightPlayer player(*path);
    player.Advance(0.0017);  // 1.7 ms
    player.Seek(1000);
    EXPECT_EQ(player.TimeMs(), 1001u);
    player.Seek(10000);
    EXPECT_EQ(player.TimeMs(), 2999u) << "held at the last frame";
    player.Seek(-10000);
    EXPECT_EQ(player.TimeMs(), 0u);
    player.Seek(-1000);
    EXPECT_EQ(player.TimeMs(), 0u);
}

TEST(FlightPlayerTest, SpeedsRunFromHalfToFourTimes) {
    const auto path = FiveKeys();
    FlightPlayer player(*path);
    for (const double expected : {2.0, 4.0, 4.0}) {
        player.Faster();
        EXPECT_DOUBLE_EQ(player.Speed(), expected);
    }
    for (const double expected : {2.0, 1.0, 0.5, 0.5}) {
        player.Slower();
        EXPECT_DOUBLE_EQ(player.Speed(), expected);
    }
    player.Advance(1.0);
    EXPECT_EQ(player.TimeMs(), 500u);
}

TEST(FlightPlayerTest, JumpsToPlayedKeys) {
    const auto path = FiveKeys();
    FlightPlayer player(*path);
    struct Jump {
        int64_t to;
        uint32_t timeMs;
        int key;
    };
    for (const Jump& j : {Jump{2, 2000, 2}, Jump{0, 0, 0}, Jump{3, 2999, 2}, Jump{-5, 0, 0},
                          Jump{99, 2999, 2}, Jump{1, 1000, 1}}) {
        player.JumpToKey(j.to);
        EXPECT_EQ(player.TimeMs(), j.timeMs) << "key " << j.to;
        EXPECT_EQ(player.CurrentKey(), j.key) << "key " << j.to;
    }
}

TEST(FlightPlayerTest, TheCameraIsTheDemosAtTheWholeMillisecond) {
    const auto path = FiveKeys();
    FlightPlayer player(*path);
    player.Advance(1.5006);
    CameraState shown, demo;
    ASSERT_TRUE(player.Camera(shown));
    ASSERT_TRUE(CameraAtTime(*path, 1500.0f, demo));
    EXPECT_EQ(shown, demo);
}

TEST(FlightPlayerTest, APathThatNeverPlaysStandsStill) {
    KeyPath two(5, 0.5f, 2);
    const float v[5] = {0, 0, 0, 0, 0};
    two.AddKey(0, v);
    two.AddKey(1000, v);
    two.Prepare();
    FlightPlayer player(two);
    EXPECT_EQ(player.DurationMs(), 0u);
    player.Advance(1.0);
    player.Seek(1000);
    player.JumpToKey(1);
    EXPECT_EQ(player.TimeMs(), 0u);
    CameraState camera;
    EXPECT_FALSE(player.Camera(camera));
}

}  // namespace
