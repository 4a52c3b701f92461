// record_hd_command_test.cpp -- "flyover-tool record --view hd" through the tool: videos and PNG
// frames of the HD view at --size, checked with Debian's ffprobe; what it refuses
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "tests/support/command_line.h"
#include "tests/support/test_files.h"

namespace {

const std::string kFixture = FLYOVER_SOURCE_DIR "/tests/fixtures/small_scene";
const std::string kFfprobe = FLYOVER_FFPROBE;

CommandRun RunTool(const std::string& args) {
    return RunWithStderr(FLYOVER_TOOL, args);
}

std::string Probe(const std::string& file) {
    const CommandRun run = RunCommandLine(
        kFfprobe + " -v error -count_frames -select_streams v -show_entries " +
        "stream=width,height,nb_read_frames -of default=noprint_wrappers=1 '" + file + "' 2>&1");
    EXPECT_EQ(run.status, 0) << run.output;
    return run.output;
}

// Each video at its size (odd sides padded to even for 4:2:0), every frame there.
TEST(RecordHdCommandTest, VideosHaveTheSizeAsked) {
    if (kFfprobe.empty()) GTEST_SKIP() << "Debian's ffprobe is needed (.ci/install-deps)";
    TempDir dir;
    const struct {
        const char* out;
        const char* size;
        const char* want;
    } cases[] = {
        {"a.mp4", "", "width=1920\nheight=1080\nnb_read_frames=12"},
        {"b.mkv", "--size 321x241", "width=322\nheight=242\nnb_read_frames=12"},
        {"c.webm", "--size 640x360", "width=640\nheight=360\nnb_read_frames=12"},
    };
    for (const auto& c : cases) {
        const std::string out = dir.File(c.out);
        const CommandRun run = RunTool("record --scene " + kFixture + " --view hd " + c.size +
                                       " --to 200 --out " + out);
        ASSERT_EQ(run.status, 0) << run.output;
        EXPECT_NE(Probe(out).find(c.want), std::string::npos) << c.out << ": " << Probe(out);
    }
    const std::string frames = dir.File("frames") + "/";
    const CommandRun png =
        RunTool("record --scene " + kFixture + " --view hd --size 400x300 --to 50 --out " + frames);
    ASSERT_EQ(png.status, 0) << png.output;
    EXPECT_NE(Probe(frames + "frame-000000.png").find("width=400\nheight=300"), std::string::npos);
}

// A GIF of the HD view, a size out of range and --size without the HD view are refused.
TEST(RecordHdCommandTest, WhatItRefuses) {
    TempDir dir;
    const struct {
        std::string args;
        int status;
        const char* says;
    } cases[] = {
        {"--view hd --out " + dir.File("a.gif"), 1, "a GIF holds the faithful view's colours"},
        {"--view hd --size 100x100 --out " + dir.File("a.mp4"), 2, "bad --size"},
        {"--size 640x480 --out " + dir.File("a.mp4"), 2, "give --view hd with it"},
    };
    for (const auto& c : cases) {
        const CommandRun run = RunTool("record --scene " + kFixture + " --to 100 " + c.args);
        EXPECT_EQ(run.status, c.status) << c.args << ": " << run.output;
        EXPECT_NE(run.output.find(c.says), std::string::npos) << run.output;
        EXPECT_FALSE(std::filesystem::exists(dir.File("a.gif")));
    }
}

}  // namespace
