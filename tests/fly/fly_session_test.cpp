// fly_session_test.cpp -- whole fly sessions on the headless platform with scripted input: a
// flight recorded into a key file the demo loads, the player's frames equal to render's, the
// overlay kept out of the frames, the ways out
#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>

#include "flight/flight_review.h"
#include "fly/fly_session.h"
#include "path/key_path.h"
#include "platform/headless/headless_platform.h"
#include "tests/support/command_line.h"
#include "tests/support/fly_scenes.h"
#include "tests/support/png_read.h"

namespace {

constexpr int64_t kFrameUs = 16667;  // a 60 Hz display

ScriptedInput At(double seconds, EventKind kind, int32_t code = 0) {
    ScriptedInput s;
    s.at = static_cast<int64_t>(seconds * 1e6);
    s.event.kind = kind;
    s.event.code = code;
    return s;
}
ScriptedInput Press(double seconds, int32_t key) {
    return At(seconds, EventKind::KeyDown, key);
}
ScriptedInput Release(double seconds, int32_t key) {
    return At(seconds, EventKind::KeyUp, key);
}

HeadlessOptions Scripted(std::vector<ScriptedInput> script, DisplayShape shape = DisplayShape{}) {
    HeadlessOptions options;
    options.screen = shape;
    options.memoryCopy = true;
    options.frameStepMicroseconds = kFrameUs;
    options.script = std::move(script);
    return options;
}

class FlySessionTest : public ::testing::Test {
protected:
    void SetUp() override {
        scene_ = DefaultFlyScene();
        ASSERT_FALSE(scene_->load.error);
        options_.keysOut = temp_.File("Keys2.txt.new");
        options_.maxFrames = 5000;  // a script that forgot its Escape still ends
    }
    std::unique_ptr<FlyTestScene> scene_;
    TempDir temp_;
    FlySessionOptions options_;
    FlySessionReport report_;
};

TEST_F(FlySessionTest, AScriptedFlightIsRecordedIntoAKeyFileTheDemoLoads) {
    HeadlessPlatform platform(Scripted({
        Press(0.05, 'w'),
        Press(1.0, keys::kReturn),  // record
        Press(2.0, 'a'),
        Release(3.0, 'a'),
        Press(3.5, 'f'),  // down into the ground: the floor holds
        Release(5.0, 'f'),
        Press(6.0, keys::kReturn),  // stop: the key file is written
        Press(6.2, keys::kEscape),
    }));
    const uint8_t* heights = scene_->Heights();
    int recordingFrames = 0, frames = 0;
    testing::internal::CaptureStdout();
    const int status =
        RunFlySession(platform, scene_->Fly(), options_, report_, [&](const FlyFrame& f) {
            ++frames;
            recordingFrames += f.recording;
            const GroundAround g = GroundAt(heights, f.camera.x, f.camera.y);
            ASSERT_GT(f.camera.height, g.under << kHeightShift) << "frame " << f.index;
        });
    const std::string said = testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, 0);
    EXPECT_NEAR(frames, 6.2 * 60, 3);
    EXPECT_NEAR(recordingFrames, 5.0 * 60, 3);
    ASSERT_EQ(report_.keyFiles, std::vector<std::string>{options_.keysOut});
    EXPECT_NE(said.find("wrote " + options_.keysOut + ": 13 keys"), std::string::npos) << said;

    // The demo's loader reads it, with the scene's maps.
    ColourTables colours = BuildColourTables();
    SceneLoad load = ReadScene(options_.keysOut, scene_->directory, colours);
    ASSERT_FALSE(load.error) << load.error->message;
    EXPECT_EQ(load.keyFile.colourMapName, scene_->load.keyFile.colourMapName);
    EXPECT_EQ(load.keyFile.heightMapName, scene_->load.keyFile.heightMapName);
    EXPECT_EQ(load.keyFile.keyInterval, 500);
    // 5 s recorded: key 0 an interval before, keys 1..11, one more to shape the end.
    EXPECT_EQ(load.keyFile.keyCount, 13);
    EXPECT_EQ(load.scene.path->Count(), 13u);
    EXPECT_EQ(PlayingDuration(*load.scene.path), 11u * 500u);

    // The overlay was set and never drawn into the frame buffer (the player
    // test compares its frames with render's).
    EXPECT_FALSE(platform.OpenedScreen()->overlay.Empty());
    EXPECT_TRUE(platform.OpenedScreen()->windowShown);
    EXPECT_EQ(platform.OpenedScreen()->windowTitle, options_.title);
}

TEST_F(FlySessionTest, AnExistingKeyFileIsKeptAndTheRecordingWrittenBesideIt) {
    temp_.Write("Keys2.txt.new", "precious\n");
    HeadlessPlatform platform(Scripted({Press(0.05, 'w'), Press(0.2, keys::kReturn),
                                        Press(1.5, keys::kEscape)}));  // quitting writes it
    testing::internal::CaptureStdout();
    EXPECT_EQ(RunFlySession(platform, scene_->Fly(), options_, report_), 0);
    const std::string said = testing::internal::GetCapturedStdout();
    ASSERT_EQ(report_.keyFiles, std::vector<std::string>{options_.keysOut + ".2"});
    EXPECT_NE(said.find("(" + options_.keysOut + " exists)"), std::string::npos) << said;
    std::ifstream kept(options_.keysOut);
    std::string line;
    std::getline(kept, line);
    EXPECT_EQ(line, "precious");
}

// A recording flown out past what a key file can hold stops itself and is
// written once, at the frame it stopped; the frames after it write nothing.
TEST_F(FlySessionTest, ARecordingTheFlightTakesTooFarIsWrittenOnce) {
    options_.limits.speed = 8000;  // cells a second: out of a key file's reach in a few seconds
    HeadlessPlatform platform(
        Scripted({Press(0.05, 'w'), Press(0.2, keys::kReturn), Press(6.0, keys::kEscape)}));
    bool stoppedItself = false;
    testing::internal::CaptureStdout();
    EXPECT_EQ(RunFlySession(platform, scene_->Fly(), options_, report_,
                            [&](const FlyFrame& f) {
                                if (f.seconds > 1.0 && !f.recording) stoppedItself = true;
                            }),
              0);
    const std::string said = testing::internal::GetCapturedStdout();
    EXPECT_TRUE(stoppedItself);
    EXPECT_EQ(report_.keyFiles, std::vector<std::string>{options_.keysOut}) << said;
    EXPECT_NE(said.find("(recording stopped: the flight went too far)"), std::string::npos) << said;
}

// A key file that cannot be written when the recording ends (its folder
// went away meanwhile) loses nothing: the keys go to the first fallback.
TEST_F(FlySessionTest, KeysThatCannotGoWhereAskedGoToAFallback) {
    std::filesystem::create_directory(temp_.File("gone"));
    options_.keysOut = temp_.File("gone/Keys2.txt.new");
    options_.keysFallback = {temp_.File("missing/Keys2.txt.new"), temp_.File("fallback.txt")};
    HeadlessPlatform platform(Scripted({Press(0.05, 'w'), Press(0.2, keys::kReturn),
                                        Press(1.5, keys::kReturn), Press(1.7, keys::kEscape)}));
    std::string lastMessage;
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    const int status =
        RunFlySession(platform, scene_->Fly(), options_, report_, [&](const FlyFrame& f) {
            if (f.seconds > 1.0) std::filesystem::remove_all(temp_.File("gone"));
            lastMessage = f.message;
        });
    const std::string said = testing::internal::GetCapturedStdout();
    const std::string complained = testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, 1) << "the file asked for was not written";
    ASSERT_EQ(report_.keyFiles, std::vector<std::string>{temp_.File("fallback.txt")});
    const std::string wrote =
        "wrote " + temp_.File("fallback.txt") + " instead of " + options_.keysOut + ": ";
    EXPECT_NE(said.find(wrote), std::string::npos) << said;
    EXPECT_NE(lastMessage.find(wrote), std::string::npos) << "the overlay says so: " << lastMessage;
    EXPECT_NE(complained.find("cannot write " + options_.keysOut), std::string::npos) << complained;
    ColourTables colours = BuildColourTables();
    const SceneLoad load = ReadScene(temp_.File("fallback.txt"), scene_->directory, colours);
    EXPECT_FALSE(load.error) << load.error->message;
}

// An explicit --keys-out that cannot be written is refused before any
// window opens, as a usage error naming the file: no flight is flown for nothing.
TEST_F(FlySessionTest, FlyRefusesAKeysOutItCannotWrite) {
    temp_.Write("plain", "x");
    const std::string cases[][2] = {
        {temp_.File("missing/k.txt"), "the folder " + temp_.File("missing") + " does not exist"},
        {temp_.File("plain/k.txt"), temp_.File("plain") + " is not a folder"},
        {temp_.Dir().substr(0, temp_.Dir().size() - 1), "it is a folder"},
    };
    for (const auto& [file, reason] : cases) {
        const CommandRun run =
            RunWithStderr(FLYOVER_TOOL, "fly --scene " + scene_->directory + " --keys-out " + file);
        EXPECT_EQ(run.status, 2) << run.output;
        EXPECT_NE(run.output.find("flyover-tool fly: cannot write " + file + ": " + reason),
                  std::string::npos)
            << run.output;
    }
}

// keysOut unwritable from the start (the scene's folder is read-only, say):
// the session says so when it opens, and recordings go to the fallback.
TEST_F(FlySessionTest, AnUnwritableKeysOutIsSaidAtTheStart) {
    options_.keysOut = temp_.File("missing/Keys2.txt.new");
    options_.keysFallback = {temp_.File("here.txt")};
    HeadlessPlatform platform(
        Scripted({Press(0.05, 'w'), Press(0.2, keys::kReturn), Press(1.5, keys::kEscape)}));
    std::string firstMessage;
    testing::internal::CaptureStdout();
    EXPECT_EQ(RunFlySession(platform, scene_->Fly(), options_, report_,
                            [&](const FlyFrame& f) {
                                if (f.index == 0) firstMessage = f.message;
                            }),
              0);
    const std::string said = testing::internal::GetCapturedStdout();
    const std::string note = "cannot write " + options_.keysOut + ": the folder " +
                             temp_.File("missing") + " does not exist; recordings go to " +
                             temp_.File("here.txt");
    EXPECT_EQ(firstMessage, note);
    EXPECT_NE(said.find(note), std::string::npos) << said;
    EXPECT_EQ(report_.keyFiles, std::vector<std::string>{temp_.File("here.txt")});
}

// A stop asked for from outside (the signal handler's flag) mid-recording
// ends the session as Escape does: the recording is planned and written.
TEST_F(FlySessionTest, TheStopFlagEndsItAndWritesTheRecording) {
    std::atomic<bool> stop{false};
    options_.stop = &stop;
    HeadlessPlatform platform(Scripted({Press(0.05, 'w'), Press(0.5, keys::kReturn)}));
    int64_t stoppedAt = -1;
    testing::internal::CaptureStdout();
    const int status =
        RunFlySession(platform, scene_->Fly(), options_, report_, [&](const FlyFrame& f) {
            if (f.seconds > 3.0 && f.recording && stoppedAt < 0) {
                stop.store(true);
                stoppedAt = f.index;
            }
        });
    const std::string said = testing::internal::GetCapturedStdout();
    EXPECT_EQ(status, 0);
    ASSERT_GE(stoppedAt, 0);
    EXPECT_EQ(report_.frames, stoppedAt + 1) << "the next frame finds the flag";
    ASSERT_EQ(report_.keyFiles, std::vector<std::string>{options_.keysOut});
    EXPECT_NE(said.find("wrote " + options_.keysOut + ": 8 keys"), std::string::npos) << said;
    ColourTables colours = BuildColourTables();
    const SceneLoad load = ReadScene(options_.keysOut, scene_->directory, colours);
    ASSERT_FALSE(load.error) << load.error->message;
    EXPECT_EQ(load.keyFile.keyCount, 8);
}

// A scene whose key file makes no flight (two keys): fly opens, and says
// why the player has nothing to play, on stdout and in the overlay.
TEST_F(FlySessionTest, AFlightThatCannotPlayIsSaidAtTheStart) {
    const auto scene = HandMadeFlyScene([](int, int) -> uint8_t { return 30; });
    scene->temp->Write("Keys2.txt",
                       "colour.bmp\nheight.bmp\n2\n500\n100 200 9000000 0 148\n"
                       "200 300 9000000 0 148\n");
    scene->load = ReadScene(scene->directory + "Keys2.txt", scene->directory, scene->colours);
    ASSERT_FALSE(scene->load.error);
    HeadlessPlatform platform(Scripted({Press(0.2, keys::kEscape)}));
    std::string firstMessage;
    testing::internal::CaptureStdout();
    EXPECT_EQ(RunFlySession(platform, scene->Fly(), options_, report_,
                            [&](const FlyFrame& f) {
                                if (f.index == 0) firstMessage = f.message;
                            }),
              0);
    const std::string said = testing::internal::GetCapturedStdout();
    const std::string note =
        "the scene has no flight to play: Keys2.txt holds 2 key lines; a flight needs at least 3";
    EXPECT_EQ(firstMessage, note);
    EXPECT_NE(said.find(note), std::string::npos) << said;
}

struct SeekCase {
    const char* name;
    DisplayShape shape;
};

class PlayerSeekTest : public FlySessionTest, public ::testing::WithParamInterface<SeekCase> {};

// Paused in the player, every seek, speed change and jump shows exactly
// the frame "flyover-tool render --time T" draws, with the overlay on.
TEST_P(PlayerSeekTest, ShowsTheFramesRenderDraws) {
    const DisplayShape shape = GetParam().shape;
    HeadlessPlatform platform(Scripted(
        {
            Press(0.05, keys::kTab),    // the player
            Press(0.10, keys::kSpace),  // paused
            Press(0.20, keys::kRight),  // + 1 s
            Press(0.30, keys::kUp),     // + 10 s
            Press(0.40, '.'),           // the next key
            Press(0.50, keys::kLeft),   // - 1 s
            Press(0.60, keys::kEnd),    // the last key
            Press(0.70, keys::kEscape),
        },
        shape));
    std::map<uint32_t, std::vector<uint16_t>> shown;  // the frame of each paused time
    ASSERT_EQ(RunFlySession(platform, scene_->Fly(), options_, report_,
                            [&](const FlyFrame& f) {
                                if (f.player && f.seconds > 0.12)
                                    shown[f.playerTimeMs] =
                                        platform.OpenedScreen()->Frame().ScreenPixels();
                            }),
              0);
    ASSERT_GE(shown.size(), 5u);
    for (const auto& [timeMs, pixels] : shown) {
        const std::string png = temp_.File("render_" + std::to_string(timeMs) + ".png");
        char display[64];
        std::snprintf(display, sizeof display, "%dx%d:%s", shape.width, shape.height,
                      LayoutName(shape.layout));
        const CommandRun render = RunWithStderr(
            FLYOVER_TOOL, "render --scene " + scene_->directory + " --time " +
                              std::to_string(timeMs) + " --display " + display + " --out " + png);
        ASSERT_EQ(render.status, 0) << render.output;
        int width = 0, height = 0;
        std::vector<uint16_t> rendered;
        ASSERT_TRUE(ReadPng565(png, width, height, rendered));
        ASSERT_EQ(width, shape.width);
        ASSERT_EQ(height, shape.height);
        EXPECT_TRUE(pixels == rendered) << "the frame at " << timeMs << " ms";
    }
    EXPECT_FALSE(platform.OpenedScreen()->overlay.Empty()) << "the overlay was on meanwhile";
}

INSTANTIATE_TEST_SUITE_P(Displays, PlayerSeekTest,
                         ::testing::Values(SeekCase{"Handheld", DisplayShape{}},
                                           SeekCase{"Rotated",
                                                    DisplayShape{320, 240, DisplayLayout::Rot90}}),
                         [](const auto& info) { return info.param.name; });

TEST_F(FlySessionTest, FreeFlightTakesOverFromThePlayersFrame) {
    HeadlessPlatform platform(
        Scripted({Press(0.05, keys::kTab), Press(0.10, keys::kSpace), Press(0.20, keys::kUp),
                  Press(0.30, keys::kTab), Press(0.40, keys::kEscape)}));
    CameraState lastPlayed, firstFlown;
    bool flying = false;
    ASSERT_EQ(RunFlySession(platform, scene_->Fly(), options_, report_,
                            [&](const FlyFrame& f) {
                                if (f.player) lastPlayed = f.camera;
                                if (!f.player && f.seconds > 0.3 && !flying) {
                                    flying = true;
                                    firstFlown = f.camera;
                                }
                            }),
              0);
    ASSERT_TRUE(flying);
    EXPECT_EQ(firstFlown.x, lastPlayed.x);
    EXPECT_EQ(firstFlown.y, lastPlayed.y);
    EXPECT_EQ(firstFlown.heading, lastPlayed.heading & 4095);
    EXPECT_EQ(firstFlown.horizon, lastPlayed.horizon);
}

TEST_F(FlySessionTest, AControllerPluggedInSteers) {
    ScriptedInput added = At(0.05, EventKind::ControllerAdded);
    added.event.controller = 3;
    ScriptedInput stick = At(0.06, EventKind::ControllerAxis, controller::kLeftY);
    stick.event.controller = 3;
    stick.event.value = -32768;
    HeadlessPlatform platform(Scripted({added, stick, Press(1.5, keys::kEscape)}));
    FlightPose first, last;
    ASSERT_EQ(RunFlySession(platform, scene_->Fly(), options_, report_,
                            [&](const FlyFrame& f) {
                                if (f.index == 0) first = f.pose;
                                last = f.pose;
                            }),
              0);
    EXPECT_GT(std::hypot(last.x - first.x, last.y - first.y), 3.0);
}

TEST_F(FlySessionTest, ACloseRequestEndsIt) {
    HeadlessPlatform platform(Scripted({At(0.5, EventKind::CloseRequest)}));
    EXPECT_EQ(RunFlySession(platform, scene_->Fly(), options_, report_), 0);
    EXPECT_NEAR(report_.frames, 30, 2);
    EXPECT_NEAR(report_.seconds, 0.5, 0.02);
    EXPECT_EQ(report_.frameMs.size(), static_cast<size_t>(report_.frames - 1));
    // Every frame's drawing and presenting are timed, and the line says their medians.
    EXPECT_EQ(report_.drawMs.size(), static_cast<size_t>(report_.frames));
    EXPECT_EQ(report_.presentMs.size(), static_cast<size_t>(report_.frames));
    EXPECT_NE(DescribeReport(report_).find("view drawn in median"), std::string::npos);
}

TEST_F(FlySessionTest, NoScreenOrNoWindowIsAFailure) {
    HeadlessOptions none;
    none.screen = std::nullopt;
    HeadlessPlatform noScreen(none);
    testing::internal::CaptureStderr();
    EXPECT_EQ(RunFlySession(noScreen, scene_->Fly(), options_, report_), 1);
    HeadlessOptions failing;
    failing.windowFails = true;
    HeadlessPlatform noWindow(failing);
    EXPECT_EQ(RunFlySession(noWindow, scene_->Fly(), options_, report_), 1);
    HeadlessOptions small;
    small.screen = DisplayShape{100, 20};
    HeadlessPlatform tooSmall(small);
    EXPECT_EQ(RunFlySession(tooSmall, scene_->Fly(), options_, report_), 1);
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("no screen"), std::string::npos) << said;
    EXPECT_NE(said.find("no window"), std::string::npos) << said;
    EXPECT_NE(said.find("too small"), std::string::npos) << said;
    EXPECT_EQ(report_.frames, 0);
}

}  // namespace
