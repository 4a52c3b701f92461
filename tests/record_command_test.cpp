// record_command_test.cpp -- flyover-tool record as a user runs it: frames exactly render's, the
// streams' counts, rates and sound, the same bytes twice, the GIF's size, bad input and
// Ctrl-C, SIGTERM and SIGHUP
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <sstream>
#include <vector>

#include "record/frame_timing.h"
#include "record/record_settings.h"
#include "resources/resources.h"
#include "scenegen/sound.h"
#include "tests/support/command_line.h"
#include "tests/support/test_files.h"

namespace {

namespace fs = std::filesystem;

const std::string kFixture = FLYOVER_SOURCE_DIR "/tests/fixtures/small_scene";
const std::string kFfmpeg = FLYOVER_FFMPEG;
const std::string kFfprobe = FLYOVER_FFPROBE;

CommandRun RunTool(const std::string& args) {
    return RunWithStderr(FLYOVER_TOOL, args);
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every frame of a picture or video file as 8-bit RGB, decoded by Debian's ffmpeg.
std::string DecodeRgb(const std::string& file, const std::string& scratch) {
    const CommandRun run = RunCommandLine(kFfmpeg + " -v error -i '" + file +
                                          "' -f rawvideo -pix_fmt rgb24 -y '" + scratch + "' 2>&1");
    EXPECT_EQ(run.status, 0) << file << ": " << run.output;
    return ReadBytes(scratch);
}

// What `render --time T` draws for each time, as RGB, one after another.
std::string RenderedFrames(const std::vector<uint32_t>& times, const TempDir& dir,
                           const std::string& scene = kFixture) {
    std::string frames;
    for (const uint32_t time : times) {
        const std::string png = dir.File("render.png");
        const CommandRun run = RunTool("render --scene " + scene + " --time " +
                                       std::to_string(time) + " --out " + png);
        EXPECT_EQ(run.status, 0) << run.output;
        frames += DecodeRgb(png, dir.File("render.rgb"));
    }
    return frames;
}

// The files and folders in `dir`, by name.
std::vector<std::string> Listing(const TempDir& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir.Path()))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

class RecordTest : public testing::Test {
protected:
    void SetUp() override {
        if (kFfmpeg.empty() || kFfprobe.empty())
            GTEST_SKIP() << "Debian's ffmpeg and ffprobe are needed (.ci/install-deps)";
    }
    TempDir dir;
};

// Frames 0.. of the plan at `fps` from `from` over the fixture's path (0 .. 3999 ms), for
// stretches that pass its end once: the frame that finds the end shows the one before.
std::vector<uint32_t> ExpectedTimes(int fps, uint32_t from, uint32_t to) {
    std::vector<uint32_t> times;
    int64_t restartClock = -1;
    for (int64_t i = 0;; ++i) {
        const int64_t clock = FrameClockMs(i, fps);
        if (from + clock >= to) break;
        const int64_t flight = restartClock < 0 ? from + clock : clock - restartClock;
        if (restartClock < 0 && flight >= 4000) {
            restartClock = clock;
            times.push_back(times.back());
            continue;
        }
        times.push_back(static_cast<uint32_t>(flight));
    }
    return times;
}

TEST_F(RecordTest, PngFilesAreRendersFramesAcrossTheRestart) {
    const std::string out = dir.File("frames") + "/";
    const CommandRun run =
        RunTool("record --scene " + kFixture + " --out " + out + " --from 3850 --to 4200 --fps 20");
    ASSERT_EQ(run.status, 0) << run.output;
    const std::vector<uint32_t> times = ExpectedTimes(20, 3850, 4200);
    ASSERT_EQ(times.size(), 7u);  // 3850 3900 3950 (end: 3950 again) 50 100 150
    std::string recorded;
    for (size_t i = 0; i < times.size(); ++i) {
        const std::string png = dir.File("frames/frame-00000" + std::to_string(i) + ".png");
        ASSERT_TRUE(fs::exists(png)) << png;
        // The PNGs are at the default scale of 2; take every other pixel of every other row.
        const std::string rgb = DecodeRgb(png, dir.File("frame.rgb"));
        ASSERT_EQ(rgb.size(), 480u * 640u * 3u);
        for (int y = 0; y < 640; y += 2)
            for (int x = 0; x < 480; x += 2)
                recorded.append(rgb, (static_cast<size_t>(y) * 480 + x) * 3, 3);
    }
    EXPECT_FALSE(fs::exists(dir.File("frames/frame-000007.png")));
    EXPECT_TRUE(recorded == RenderedFrames(times, dir)) << "the PNG files differ from render's";
}

TEST_F(RecordTest, LosslessVideoDecodesToRendersFrames) {
    const std::vector<uint32_t> times = ExpectedTimes(25, 1000, 1160);
    const std::string expected = RenderedFrames(times, dir);
    for (const char* name : {"clip.mkv", "clip.mp4", "clip.webm"}) {
        const std::string out = dir.File(name);
        const CommandRun run =
            RunTool("record --scene " + kFixture + " --out " + out +
                    " --from 1000 --to 1160 --fps 25 --scale 1" + " --quality lossless --no-sound");
        ASSERT_EQ(run.status, 0) << name << ": " << run.output;
        const std::string decoded = DecodeRgb(out, dir.File("clip.rgb"));
        EXPECT_EQ(decoded.size(), expected.size()) << name;
        EXPECT_TRUE(decoded == expected) << name << " does not decode to render's frames";
    }
}

TEST_F(RecordTest, LosslessWebpHoldsRendersFrames) {
    // ffmpeg 5.1 reads no animated WebP; Pillow does, where it is installed.
    const std::string python = "/usr/bin/python3";
    if (RunCommandLine(python + " -c 'from PIL import features; "
                                "assert features.check(\"webp_anim\")' 2>&1")
            .status != 0)
        GTEST_SKIP() << "Pillow with animated WebP is needed";
    const std::string out = dir.File("clip.webp");
    const CommandRun run = RunTool("record --scene " + kFixture + " --out " + out +
                                   " --from 2000 --to 2200 --quality lossless");
    ASSERT_EQ(run.status, 0) << run.output;
    const std::string frames = dir.File("webp.rgb");
    const CommandRun decode = RunCommandLine(
        python +
        " -c 'import sys; from PIL import Image, ImageSequence; im = Image.open(sys.argv[1]); "
        "open(sys.argv[2], \"wb\").write(b\"\".join(f.convert(\"RGB\").tobytes() "
        "for f in ImageSequence.Iterator(im)))' " +
        out + " " + frames + " 2>&1");
    ASSERT_EQ(decode.status, 0) << decode.output;
    EXPECT_TRUE(ReadBytes(frames) == RenderedFrames(ExpectedTimes(25, 2000, 2200), dir));
}

// One stream's fields as ffprobe reports them: "codec_type=video", ...
std::string Probe(const std::string& file, const std::string& stream) {
    const CommandRun run =
        RunCommandLine(kFfprobe + " -v error -count_frames -select_streams " + stream +
                       " -show_entries stream=codec_name,width,height,r_frame_rate,nb_read_frames"
                       ",sample_rate -of default=noprint_wrappers=1 '" +
                       file + "' 2>&1");
    EXPECT_EQ(run.status, 0) << run.output;
    return run.output;
}

// The decoded sound's length in seconds (mono, 32-bit float samples).
double SoundSeconds(const std::string& file, const TempDir& dir, int rate) {
    const std::string raw = dir.File("sound.raw");
    const CommandRun run = RunCommandLine(kFfmpeg + " -v error -i '" + file +
                                          "' -map 0:a -f f32le -ac 1 -y '" + raw + "' 2>&1");
    EXPECT_EQ(run.status, 0) << run.output;
    return static_cast<double>(fs::file_size(raw)) / 4.0 / rate;
}

TEST_F(RecordTest, VideoHasItsFramesRateAndSoundOfTheRightLength) {
    const struct {
        const char* name;
        const char* video;
        const char* audio;
        int rate;
    } cases[] = {{"clip.mp4", "h264", "aac", 22050},
                 {"clip.webm", "vp9", "opus", 48000},
                 {"clip.mkv", "h264", "opus", 48000}};
    for (const auto& c : cases) {
        const std::string out = dir.File(c.name);
        const CommandRun run = RunTool("record --scene " + kFixture + " --out " + out +
                                       " --to 2000 --fps 30 --view-only");
        ASSERT_EQ(run.status, 0) << run.output;
        const std::string video = Probe(out, "v");
        EXPECT_NE(video.find(std::string("codec_name=") + c.video), std::string::npos) << video;
        EXPECT_NE(video.find("width=480\nheight=592"), std::string::npos) << video;
        EXPECT_NE(video.find("r_frame_rate=30/1"), std::string::npos) << video;
        EXPECT_NE(video.find("nb_read_frames=60"), std::string::npos) << video;
        const std::string audio = Probe(out, "a");
        EXPECT_NE(audio.find(std::string("codec_name=") + c.audio), std::string::npos) << audio;
        EXPECT_NE(audio.find("sample_rate=" + std::to_string(c.rate)), std::string::npos) << audio;
        // The sound lasts as long as the frames, to within one of the codec's frames.
        EXPECT_NEAR(SoundSeconds(out, dir, c.rate), 2.0, 0.05) << c.name;
    }
}

TEST_F(RecordTest, TheSameCommandWritesTheSameBytes) {
    for (const char* name : {"a.mp4", "a.webm", "a.gif", "a.webp"}) {
        std::string bytes[2];
        for (std::string& copy : bytes) {
            const CommandRun run = RunTool("record --scene " + kFixture + " --out " +
                                           dir.File(name) + " --from 500 --to 1000 --fps 20");
            ASSERT_EQ(run.status, 0) << run.output;
            copy = ReadBytes(dir.File(name));
        }
        EXPECT_GT(bytes[0].size(), 1000u) << name;
        EXPECT_TRUE(bytes[0] == bytes[1]) << name << " differs between two runs";
    }
}

// The mean over frames of each frame's PSNR over all three channels, frame i
// of `a` against frame i of `b` (never by time stamps: the lossless .mkv
// starts at 7 ms, an .mp4 at 0).
double MeanRgbPsnr(const std::string& a, const std::string& b, size_t frameBytes) {
    EXPECT_EQ(a.size(), b.size());
    const size_t frames = std::min(a.size(), b.size()) / frameBytes;
    double sum = 0;
    for (size_t f = 0; f < frames; ++f) {
        double squared = 0;
        for (size_t i = f * frameBytes; i < (f + 1) * frameBytes; ++i) {
            const int d = static_cast<unsigned char>(a[i]) - static_cast<unsigned char>(b[i]);
            squared += d * d;
        }
        const double mse = squared / static_cast<double>(frameBytes);
        sum += mse == 0 ? 100 : 10 * std::log10(255.0 * 255.0 / mse);
    }
    return frames ? sum / static_cast<double>(frames) : 0;
}

TEST_F(RecordTest, DefaultMp4KeepsItsQualityInHalfTheBytes) {
    // Two seconds of the default flight's busiest stretch at the MP4 defaults
    // (480 x 640, 60 fps), against the lossless recording of the same frames.
    const std::string span = " --scene " FLYOVER_DEFAULT_SCENE_DIR " --from 60000 --to 62000";
    const std::string lossless = dir.File("lossless.mkv"), clip = dir.File("clip.mp4");
    CommandRun run = RunTool("record" + span + " --quality lossless --no-sound --out " + lossless);
    ASSERT_EQ(run.status, 0) << run.output;
    run = RunTool("record" + span + " --no-sound --out " + clip);
    ASSERT_EQ(run.status, 0) << run.output;
    const std::string reference = DecodeRgb(lossless, dir.File("lossless.rgb"));
    ASSERT_EQ(reference.size(), 120u * 480 * 640 * 3);
    const double psnr =
        MeanRgbPsnr(reference, DecodeRgb(clip, dir.File("clip.rgb")), 480 * 640 * 3);
    // The fastest preset at qp 26 gave 33.97 dB in 749,373 bytes here; x264's
    // veryfast at crf 22 gives 33.95 dB in 385,440.
    EXPECT_GE(psnr, 33.9) << "dB";
    EXPECT_LT(fs::file_size(clip), 450000u) << psnr << " dB";
}

TEST_F(RecordTest, TenSecondsOfGifStayUnderFiveMegabytes) {
    // The default flight's busiest ten seconds, at the GIF defaults (240 x 320, 20 fps).
    const std::string out = dir.File("flight.gif");
    const CommandRun run = RunTool("record --scene " FLYOVER_DEFAULT_SCENE_DIR " --out " + out +
                                   " --from 60000 --to 70000");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_NE(Probe(out, "v").find("width=240\nheight=320"), std::string::npos);
    EXPECT_LT(fs::file_size(out), 5000000u);
}

TEST_F(RecordTest, BadInputIsRefusedWithAMessageAndLeavesNoFile) {
    fs::create_directories(dir.File("full"));
    std::ofstream(dir.File("full/keep.txt")) << "mine";
    const std::string scene = " --scene " + kFixture;
    const struct {
        std::string args;
        int status;
        const char* says;
    } cases[] = {
        {scene + " --out " + dir.File("clip.avi"), 2, "cannot tell what to write"},
        {scene + " --out " + dir.File("clip"), 2, "cannot tell what to write"},
        {scene + " --out " + dir.File("clip.mp4") + " --fps 0", 2, "bad --fps"},
        {scene + " --out " + dir.File("clip.gif") + " --fps 60", 2, "at most 50 frames"},
        {scene + " --out " + dir.File("clip.mp4") + " --from 500 --to 500", 2, "--to must come"},
        {scene + " --out " + dir.File("clip.mp4") + " --to 900 --loops 2", 2, "at most one"},
        {scene + " --out " + dir.File("clip.mp4") + " --scale 16 --display 1024x768", 2,
         "lower --scale"},
        {scene + " --out " + dir.File("clip.mp4") + " --quality best", 2, "unknown --quality"},
        {scene + " --out " + dir.File("clip.mp4") + " --from 4000", 1, "past the end"},
        {scene + " --out /nonexistent-flyover/clip.mp4", 1,
         "cannot write /nonexistent-flyover/clip.mp4: No such file"},
        {scene + " --out " + dir.File("full") + "/", 1, "not empty"},
        {scene + " --out " + dir.File("full"), 2, "cannot tell what to write"},
        {" --scene " + dir.File("missing") + " --out " + dir.File("clip.mp4"), 1, "Can't open"},
        {scene + " --out " + dir.File("clip.gif") + " --quality lossless --to 500", 1, "colours"},
    };
    for (const auto& c : cases) {
        const CommandRun run = RunTool("record" + c.args);
        EXPECT_EQ(run.status, c.status) << c.args << "\n" << run.output;
        EXPECT_NE(run.output.find(c.says), std::string::npos) << c.args << "\n" << run.output;
        EXPECT_EQ(Listing(dir), std::vector<std::string>({"full"})) << c.args;
    }
    EXPECT_EQ(ReadBytes(dir.File("full/keep.txt")), "mine");
}

TEST_F(RecordTest, CtrlCTermAndHangUpFinishAPlayableFileOfWhatWasDone) {
    // Ctrl-C, a kill and a closed terminal all end the recording the same way.
    for (const char* signal : {"INT", "TERM", "HUP"}) {
        const TempDir here;
        const std::string out = here.File("long.mkv");
        // A long recording, interrupted as a user would once frames are being
        // written (its temporary file past 100 kB; at most 30 s of waiting).
        const CommandRun run =
            RunCommandLine(std::string(FLYOVER_TOOL) + " record --scene " + kFixture + " --out " +
                           out + " --loops 200 --no-sound 2> " + here.File("log") +
                           " & pid=$!; for i in $(seq 300); do"
                           " [ \"$(cat " +
                           out +
                           ".partial-* 2>/dev/null | wc -c)\" -gt 100000 ] && break;"
                           " sleep 0.1; done; kill -" +
                           signal + " $pid; wait $pid; echo status=$?");
        const std::string log = ReadBytes(here.File("log"));
        EXPECT_NE(run.output.find("status=1"), std::string::npos) << signal << run.output << log;
        const size_t at = log.find("stopped at frame ");
        ASSERT_NE(at, std::string::npos) << signal << log;
        const long long frames = std::stoll(log.substr(at + 17));
        EXPECT_GT(frames, 0) << signal;
        EXPECT_NE(log.find("wrote " + out), std::string::npos) << signal << log;
        EXPECT_NE(Probe(out, "v").find("nb_read_frames=" + std::to_string(frames)),
                  std::string::npos)
            << signal;
        EXPECT_EQ(Listing(here), std::vector<std::string>({"log", "long.mkv"})) << signal;
    }
}

// The recording's own rules, without the tool: the first one broken is
// named; what passes them takes the kind's defaults where nothing was asked.
TEST(RecordSettings, AsksAreCheckedAgainstTheRecordingsLimits) {
    const auto ask = [](const std::string& out) {
        RecordAsk a;
        a.out = out;
        a.display = {240, 320, DisplayLayout::Normal};
        return a;
    };
    const struct {
        RecordAsk ask;
        const char* problem;  // "" when the settings pass
    } cases[] = {
        {ask("clip.mp4"), ""},
        {ask("clip.avi"), "cannot tell what to write from --out \"clip.avi\""},
        {[&] {
             RecordAsk a = ask("clip.gif");
             a.fps = 51;
             return a;
         }(),
         "GIF plays at most 50 frames a second"},
        {[&] {
             RecordAsk a = ask("clip.gif");
             a.fps = 50;
             return a;
         }(),
         ""},
        {[&] {
             RecordAsk a = ask("clip.mp4");
             a.toMs = 900;
             a.loops = 2;
             return a;
         }(),
         "give at most one of --to and --loops"},
        {[&] {
             RecordAsk a = ask("clip.mp4");
             a.fromMs = 500;
             a.toMs = 500;
             return a;
         }(),
         "--to must come after --from"},
        {[&] {
             RecordAsk a = ask("clip.mp4");
             a.fromMs = 500;
             a.toMs = 501;
             return a;
         }(),
         ""},
        {[&] {
             RecordAsk a = ask("clip.mp4");
             a.display = {1024, 768, DisplayLayout::Normal};
             a.scale = 8;  // 8192 x 6144: as large as it goes
             return a;
         }(),
         ""},
        {[&] {
             RecordAsk a = ask("clip.mp4");
             a.display = {1024, 768, DisplayLayout::Normal};
             a.scale = 9;
             return a;
         }(),
         "the picture would be 9216x6912, over 8192 pixels a side: lower --scale"},
    };
    for (const auto& c : cases) {
        std::string problem;
        const std::optional<RecordSettings> settings = MakeRecordSettings(c.ask, problem);
        if (std::string(c.problem).empty()) {
            EXPECT_TRUE(settings) << c.ask.out << ": " << problem;
        } else {
            EXPECT_FALSE(settings) << c.ask.out;
            EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
        }
    }
    std::string problem;
    const std::optional<RecordSettings> gif = MakeRecordSettings(ask("clip.gif"), problem);
    ASSERT_TRUE(gif);
    EXPECT_EQ(gif->span.fps, 20);
    EXPECT_EQ(gif->span.loops, 1);
    EXPECT_EQ(gif->geometry.scale, 1);
    const std::optional<RecordSettings> mp4 = MakeRecordSettings(ask("clip.mp4"), problem);
    ASSERT_TRUE(mp4);
    EXPECT_EQ(mp4->span.fps, 60);
    EXPECT_EQ(mp4->geometry.scale, 2);
    EXPECT_EQ(MaxRecordingFrames(60), int64_t{24} * 3600 * 60);
}

TEST(RecordSound, IsTheDemosBuiltInClip) {
    const ResourceData resource = FindResource(kBackgroundSoundId, "WAVE");
    const std::vector<uint8_t> made = EncodeWav(SynthesizeLoop());
    ASSERT_EQ(resource.size, made.size());
    EXPECT_TRUE(std::equal(made.begin(), made.end(), resource.data));
}

}  // namespace
