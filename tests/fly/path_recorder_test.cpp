// path_recorder_test.cpp -- recorded paths: keys on their times, played back by the demo's loader
// and path through every recorded camera and close to the flown one between keys; loop closing;
// writing beside existing files
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "flight/flight_review.h"
#include "fly/path_recorder.h"
#include "path/key_path.h"
#include "tests/support/command_line.h"
#include "tests/support/fly_scenes.h"

namespace {

// A flight flown and recorded: every frame's time and pose, and the keys.
struct RecordedRun {
    std::vector<std::pair<double, FlightPose>> frames;
    double startSeconds = 0;
    std::vector<FlightPose> keys;
};

// Flies `pilot` over `heights` at `fps`, recording from `start` to `stop` seconds.
RecordedRun FlyAndRecord(const uint8_t* heights, RandomPilot& pilot, double fps, double start,
                         double stop, int intervalMs, const FlightPose& from) {
    FreeFlight flight(heights, 295);
    flight.Place(from);
    PathRecorder recorder(intervalMs);
    RecordedRun run;
    const int frames = static_cast<int>(stop * fps) + 1;
    for (int f = 0; f <= frames; ++f) {
        const double t = f / fps;
        if (f > 0) flight.Step(pilot.At(t), 1.0 / fps);
        if (!recorder.Recording() && t >= start && run.keys.empty() && f > 0) {
            recorder.Start();
            run.startSeconds = (f - 1) / fps;  // Start takes the last frame's time
        }
        recorder.Frame(t, flight.Pose());
        run.frames.emplace_back(t, flight.Pose());
        if (t >= stop && recorder.Recording()) {
            recorder.Stop();
            run.keys = recorder.Keys();
        }
    }
    return run;
}

// The path a key file in `scene`'s directory gives, read by the demo's loader.
std::unique_ptr<KeyPath> LoadWritten(const FlyTestScene& scene, const std::string& keyFile,
                                     SceneLoad& load) {
    ColourTables colours = BuildColourTables();
    load = ReadScene(keyFile, scene.directory, colours);
    EXPECT_FALSE(load.error) << (load.error ? load.error->message : "");
    return std::move(load.scene.path);
}

struct Deviation {
    double cells = 0;   // horizontal, between keys
    double height = 0;  // bytes
    int keysMissed = 0;
};

// Plays the written path against the flown frames: the path's time of a
// frame at t is (t - start) + one interval (key 0 is the lead-in).
Deviation Compare(const KeyPath& path, const RecordedRun& run, int intervalMs) {
    Deviation d;
    const FlightPose& first = run.keys[1];
    // The recorder moved the flight by whole map repeats and turns.
    const auto startFrame = std::find_if(run.frames.begin(), run.frames.end(), [&](const auto& f) {
        return std::abs(f.first - run.startSeconds) < 1e-9;
    });
    EXPECT_NE(startFrame, run.frames.end());
    const double shiftX = first.x - startFrame->second.x, shiftY = first.y - startFrame->second.y;
    const double lastKeyTime = run.startSeconds + (run.keys.size() - 2) * intervalMs / 1000.0;
    for (const auto& [t, pose] : run.frames) {
        if (t < run.startSeconds - 1e-9 || t > lastKeyTime - 1e-9) continue;
        const double pathMs = std::round((t - run.startSeconds) * 1000.0) + intervalMs;
        CameraState played;
        if (!CameraAtTime(path, static_cast<float>(pathMs), played)) {
            ADD_FAILURE() << "the path ended before " << pathMs << " ms";
            break;
        }
        const double dx = played.x / 65536.0 - (pose.x + shiftX);
        const double dy = played.y / 65536.0 - (pose.y + shiftY);
        const double dh = played.height / 131072.0 - pose.height;
        d.cells = std::max(d.cells, std::hypot(dx, dy));
        d.height = std::max(d.height, std::abs(dh));
        // On a key's time the played camera is the recorded one.
        const double sinceStart = (t - run.startSeconds) * 1000.0;
        if (std::abs(sinceStart / intervalMs - std::round(sinceStart / intervalMs)) < 1e-6) {
            const size_t k = static_cast<size_t>(std::lround(sinceStart / intervalMs)) + 1;
            const std::array<int64_t, 5> key = KeyValuesOf(run.keys[k]);
            const CameraState expected{TruncateToInt32(static_cast<float>(key[0])),
                                       TruncateToInt32(static_cast<float>(key[1])),
                                       TruncateToInt32(static_cast<float>(key[2])),
                                       TruncateToInt32(static_cast<float>(key[3])),
                                       TruncateToInt32(static_cast<float>(key[4]))};
            if (!(played == expected)) ++d.keysMissed;
        }
    }
    return d;
}

TEST(PathRecorderTest, KeysFallOnTheirTimesBlendedBetweenFrames) {
    PathRecorder recorder(500);
    FlightPose p;
    // Moving one cell a second along x, frames every 0.3 s.
    for (int f = 0; f <= 20; ++f) {
        p.x = 300.0 + f * 0.3;
        p.heading = 5000;
        recorder.Frame(f * 0.3, p);
        if (f == 10) recorder.Start();
    }
    ASSERT_TRUE(recorder.Recording());
    const std::vector<FlightPose>& keys = recorder.Keys();
    // Started at 3.0 s (the last frame before the press); frames up to 6.0 s.
    ASSERT_EQ(keys.size(), 1u + 7u);
    EXPECT_NEAR(keys[0].x, 303.0 - 0.5 - 256.0, 1e-9) << "the lead-in, an interval before";
    for (size_t k = 1; k < keys.size(); ++k)
        EXPECT_NEAR(keys[k].x, 303.0 + (k - 1) * 0.5 - 256.0, 1e-9) << k;
    EXPECT_NEAR(keys[1].heading, 5000 - 4096, 1e-9) << "moved by whole turns";
    recorder.Stop();
    EXPECT_FALSE(recorder.Recording());
    EXPECT_EQ(recorder.Keys().size(), 8u) << "the keys stay";
}

TEST(PathRecorderTest, ARecordingFarOutStopsBeforeTheKeyFileCannotHoldIt) {
    PathRecorder recorder(500);
    FlightPose p;
    recorder.Frame(0, p);
    recorder.Start();
    for (int f = 1; f <= 100 && recorder.Recording(); ++f) {
        p.x = f * 1000.0;
        recorder.Frame(f * 0.5, p);
    }
    EXPECT_FALSE(recorder.Recording());
    EXPECT_TRUE(recorder.Full());
    for (const FlightPose& k : recorder.Keys())
        EXPECT_LE(std::abs(k.x), 16000.0);
}

// A recorded flight, written, read back by the demo's loader and played by
// its path, passes through every recorded camera and stays within a cell
// and 4 height bytes of the flown camera between keys (default interval,
// random flights within the speed limits, boost included). Twelve 30 s
// flights on each scene; FLYOVER_FLY_SEEDS=N flies N, to measure the worst
// case ("worst deviation between keys" is printed).
class RecordedFlightTest : public ::testing::TestWithParam<bool> {};

TEST_P(RecordedFlightTest, PlaysBackThroughEveryCameraAndCloseToTheFlight) {
    const auto scene = GetParam() ? SteepFlyScene() : DefaultFlyScene();
    ASSERT_FALSE(scene->load.error);
    Deviation worst;
    const uint64_t seeds =
        std::getenv("FLYOVER_FLY_SEEDS") ? std::stoull(std::getenv("FLYOVER_FLY_SEEDS")) : 12;
    for (uint64_t seed = 1; seed <= seeds; ++seed) {
        RandomPilot pilot(seed);
        CameraState start;
        ASSERT_TRUE(
            CameraAtTime(*scene->load.scene.path, static_cast<float>(seed * 4000 % 60000), start));
        const RecordedRun run =
            FlyAndRecord(scene->Heights(), pilot, 100.0, 1.0, 31.0, 500, PoseOf(start));
        ASSERT_GE(run.keys.size(), 60u);
        const FlightPlan plan = PlanRecordedFlight(run.keys, 500, false, scene->Heights(), 4.0);
        ASSERT_EQ(plan.keys.size(), run.keys.size() + 1);
        const std::string file =
            scene->directory + "fly_test_keys_" + std::to_string(seed) + ".txt";
        std::string error;
        const std::string written =
            WriteNewFile(file, FormatKeyFile(plan, "colour.bmp", "height.bmp"), error);
        ASSERT_EQ(written, file) << error;
        SceneLoad load;
        const std::unique_ptr<KeyPath> path = LoadWritten(*scene, written, load);
        std::filesystem::remove(written);
        ASSERT_TRUE(path);
        const Deviation d = Compare(*path, run, 500);
        EXPECT_EQ(d.keysMissed, 0) << "seed " << seed;
        worst.cells = std::max(worst.cells, d.cells);
        worst.height = std::max(worst.height, d.height);
        EXPECT_LE(d.cells, 1.0) << "seed " << seed;
        EXPECT_LE(d.height, 4.0) << "seed " << seed;
    }
    std::printf("worst deviation between keys: %.3f cells, %.3f height bytes\n", worst.cells,
                worst.height);
    RecordProperty("worst_cells", std::to_string(worst.cells));
    RecordProperty("worst_height", std::to_string(worst.height));
}

INSTANTIATE_TEST_SUITE_P(DefaultAndSteepScenes, RecordedFlightTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Steep" : "Default"; });

}  // namespace

namespace {

// A gentle flight: ahead at cruising speed, turning a little, level.
RecordedRun GentleRecording(const FlyTestScene& scene, double seconds) {
    FreeFlight flight(scene.Heights(), 295);
    CameraState start;
    EXPECT_TRUE(CameraAtTime(*scene.load.scene.path, 0.0f, start));
    flight.Place(PoseOf(start));
    PathRecorder recorder(500);
    RecordedRun run;
    for (int f = 0; f <= static_cast<int>(seconds * 100); ++f) {
        const double t = f / 100.0;
        FlightControls c;
        c.forward = 1.0;
        c.turn = 0.15 * std::sin(t * 0.7);
        if (f > 0) flight.Step(c, 0.01);
        if (f == 1) {
            recorder.Start();
            run.startSeconds = 0;
        }
        recorder.Frame(t, flight.Pose());
        run.frames.emplace_back(t, flight.Pose());
    }
    recorder.Stop();
    run.keys = recorder.Keys();
    return run;
}

TEST(PathRecorderTest, AClosedLoopEndsOnTheViewItStartsWithAndKeepsItsClearance) {
    const auto scene = DefaultFlyScene();
    ASSERT_FALSE(scene->load.error);
    const RecordedRun run = GentleRecording(*scene, 20.0);
    const FlightPlan open = PlanRecordedFlight(run.keys, 500, false, scene->Heights(), 4.0);
    const FlightPlan closed = PlanRecordedFlight(run.keys, 500, true, scene->Heights(), 4.0);
    ASSERT_EQ(open.keys.size(), run.keys.size() + 1);
    ASSERT_GT(closed.keys.size(), run.keys.size() + 2) << "bridge keys, then the first two again";
    for (size_t k = 0; k < run.keys.size(); ++k)
        EXPECT_EQ(closed.keys[k], open.keys[k]) << "the recorded keys are kept as flown";
    // The played end (the next-to-last key) is key 0 moved by whole map
    // repeats and turns: the same view.
    const auto& end = closed.keys[closed.keys.size() - 2];
    const auto& first = closed.keys[0];
    EXPECT_EQ((end[0] - first[0]) % (int64_t{256} << 16), 0);
    EXPECT_EQ((end[1] - first[1]) % (int64_t{256} << 16), 0);
    EXPECT_EQ(end[2], first[2]);
    EXPECT_EQ((end[3] - first[3]) % 4096, 0);
    EXPECT_EQ(end[4], first[4]);

    // The bridge home keeps the clearance the check command asks for.
    SceneLoad load;
    TempDir dir;
    for (const char* name : {"colour.bmp", "height.bmp", "sky.BMP"})
        std::filesystem::copy_file(scene->directory + name, dir.File(name));
    dir.Write("Keys2.txt", FormatKeyFile(closed, "colour.bmp", "height.bmp"));
    const std::unique_ptr<KeyPath> path = LoadWritten(*scene, dir.File("Keys2.txt"), load);
    ASSERT_TRUE(path);
    const ClearanceReport c = MeasureClearance(SampleFlight(*path, 10), scene->Heights());
    EXPECT_GE(c.lowestNear, 4.0);
    // And the check command passes on it.
    const CommandRun check = RunWithStderr(FLYOVER_TOOL, "check --scene " + dir.Path().string());
    EXPECT_EQ(check.status, 0) << check.output;
}

TEST(PathRecorderTest, ARecordingTooShortGivesNoKeys) {
    std::vector<FlightPose> keys(2);
    EXPECT_TRUE(PlanRecordedFlight(keys, 500, false, nullptr, 4.0).keys.empty());
    EXPECT_TRUE(PlanRecordedFlight(keys, 500, true, nullptr, 4.0).keys.empty());
}

TEST(PathRecorderTest, AWrittenFileNeverReplacesOne) {
    TempDir dir;
    const std::string path = dir.File("Keys2.txt.new");
    std::string error;
    EXPECT_EQ(WriteNewFile(path, "first\n", error), path);
    EXPECT_EQ(WriteNewFile(path, "second\n", error), path + ".2");
    EXPECT_EQ(WriteNewFile(path, "third\n", error), path + ".3");
    std::ifstream first(path);
    std::string line;
    std::getline(first, line);
    EXPECT_EQ(line, "first");
    for (const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        EXPECT_EQ(entry.path().filename().string().find(".tmp"), std::string::npos)
            << "no temporary file is left";
    EXPECT_EQ(WriteNewFile(dir.File("missing/Keys2.txt.new"), "x", error), "");
    EXPECT_NE(error.find("missing/Keys2.txt.new"), std::string::npos) << error;
}

// A key file gets the mode any new file gets under the umask, as record's
// output does (0666 & ~umask), not a temporary file's 0600.
TEST(WriteNewFileTest, TheFileHasTheModeTheUmaskGives) {
    TempDir dir;
    for (const auto& [mask, mode] : {std::pair{022, 0644}, {077, 0600}, {002, 0664}}) {
        const mode_t before = umask(static_cast<mode_t>(mask));
        std::string error;
        const std::string written = WriteNewFile(dir.File("Keys2.txt.new"), "keys\n", error);
        umask(before);
        ASSERT_FALSE(written.empty()) << error;
        struct stat st {};
        ASSERT_EQ(stat(written.c_str(), &st), 0);
        EXPECT_EQ(st.st_mode & 0777, static_cast<mode_t>(mode)) << "umask 0" << std::oct << mask;
    }
}

struct CanWriteCase {
    const char* name;
    const char* path;    // in the test's folder
    const char* reason;  // what the error says after the path, "" when it can be written
};

// Checked before a flight: a folder that is missing, a file standing in
// for the folder, a folder where the file should be; the error names the file.
TEST(WriteNewFileTest, CanWriteNewFileSaysWhyNot) {
    TempDir dir;
    dir.Write("plain", "x");
    std::filesystem::create_directory(dir.File("folder"));
    dir.Write("Keys2.txt.new", "kept");
    const CanWriteCase cases[] = {
        {"new", "new.txt", ""},
        {"existing", "Keys2.txt.new", ""},  // written beside it, as .2
        {"missing folder", "missing/Keys2.txt.new", ": the folder DIR/missing does not exist"},
        {"file as folder", "plain/Keys2.txt.new", ": DIR/plain is not a folder"},
        {"a folder", "folder", ": it is a folder"},
    };
    for (const CanWriteCase& c : cases) {
        std::string error;
        const std::string path = dir.File(c.path);
        const bool can = CanWriteNewFile(path, error);
        EXPECT_EQ(can, c.reason[0] == 0) << c.name << ": " << error;
        if (!can) {
            std::string reason = c.reason;
            if (const size_t at = reason.find("DIR/"); at != std::string::npos)
                reason.replace(at, 4, dir.Dir());
            EXPECT_EQ(error, "cannot write " + path + reason) << c.name;
        }
    }
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(dir.Path()))
        ++files;
    EXPECT_EQ(files, 3u) << "the checks leave nothing behind";
}

}  // namespace
