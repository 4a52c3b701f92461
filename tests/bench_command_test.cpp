// bench_command_test.cpp -- "flyover-tool bench": its options, errors and report (not its speed)
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <memory>
#include <string>

#include "tests/support/command_line.h"

namespace {

const std::string kFixture = FLYOVER_SOURCE_DIR "/tests/fixtures/small_scene";

// flyover-tool with `args`; the output holds stdout and stderr together.
CommandRun RunTool(const std::string& args) {
    return RunWithStderr(FLYOVER_TOOL, args);
}

TEST(BenchCommandTest, BadArgumentsAreRefusedWithExitCode2) {
    struct Case {
        std::string args;
        std::string message;
    } cases[] = {
        {"bench", "--scene DIR is required"},
        {"bench --scene " + kFixture + " --seconds 0", "bad --seconds"},
        {"bench --scene " + kFixture + " --seconds x", "bad --seconds"},
        {"bench --scene " + kFixture + " --seconds 1e9", "bad --seconds"},
        {"bench --scene " + kFixture + " --seconds 1e-2", "bad --seconds"},
        {"bench --scene " + kFixture + " --seconds ' 1'", "bad --seconds"},
        {"bench --scene " + kFixture + " --display 0x320", "bad display size"},
        {"bench --scene " + kFixture + " --path fast", "unknown --path"},
        {"bench --scene " + kFixture + " --step 0", "bad --step"},
        {"bench --scene " + kFixture + " --step 60001", "bad --step"},
        {"bench --scene " + kFixture + " --step 1.5", "bad --step"},
        {"bench --scene " + kFixture + " --step 0x10", "bad --step"},
        {"bench --scene " + kFixture + " --json=yes", "option --json takes no value"},
        {"bench --scene " + kFixture + " --frobnicate", "unknown argument"},
        {"bench --scene", "needs a value"},
    };
    for (const Case& c : cases) {
        const CommandRun run = RunTool(c.args);
        EXPECT_EQ(run.status, 2) << c.args << "\n" << run.output;
        EXPECT_NE(run.output.find(c.message), std::string::npos) << c.args << "\n" << run.output;
    }
}

TEST(BenchCommandTest, HelpNamesEveryOption) {
    const CommandRun run = RunTool("bench --help");
    EXPECT_EQ(run.status, 0);
    for (const char* option : {"--scene", "--display", "--seconds", "--step", "--path", "--json"})
        EXPECT_NE(run.output.find(option), std::string::npos) << option;
}

TEST(BenchCommandTest, MissingSceneFailsWithTheLoadersMessage) {
    const CommandRun run = RunTool("bench --scene /nonexistent/scene --seconds 0.01");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("Can't open file"), std::string::npos) << run.output;
}

TEST(BenchCommandTest, JsonIsOneLineWithEveryKey) {
    for (const char* path : {"fastest", "reference", "scalar"}) {
        const CommandRun run =
            RunTool("bench --scene " + kFixture + " --seconds 0.05 --json --path " + path +
                    " --display 120x100:rot90");
        ASSERT_EQ(run.status, 0) << run.output;
        ASSERT_FALSE(run.output.empty());
        EXPECT_EQ(run.output.find('\n'), run.output.size() - 1) << run.output;
        EXPECT_EQ(run.output.front(), '{');
        for (const char* key : {"\"fps\":", "\"median_us\":", "\"p99_us\":", "\"ns_per_step\":",
                                "\"floor_us\":", "\"ratio\":", "\"memory_floor_us\":",
                                "\"memory_ratio\":", "\"peak_rss_kb\":", "\"frames\":"})
            EXPECT_NE(run.output.find(key), std::string::npos) << key << " in " << run.output;
        EXPECT_NE(run.output.find("\"display\": \"120x100:rot90\""), std::string::npos)
            << run.output;
    }
}

TEST(BenchCommandTest, CoarseStepsGiveAFixedNumberOfFrames) {
    // The fixture's path plays from 0 to 3999 ms: frames at 0, 1000, 2000
    // and 3000 ms with one-second steps, at 0 and 2500 ms with 2.5-second ones.
    struct Case {
        const char* step;
        const char* frames;
    } cases[] = {
        {"1000", "\"frames\": 4,"}, {"2500", "\"frames\": 2,"}, {"60000", "\"frames\": 1,"}};
    for (const Case& c : cases) {
        const CommandRun run =
            RunTool("bench --scene " + kFixture + " --json --step " + std::string(c.step));
        ASSERT_EQ(run.status, 0) << run.output;
        EXPECT_NE(run.output.find(c.frames), std::string::npos) << c.step << ": " << run.output;
    }
}

TEST(BenchCommandTest, TextReportFliesTheWholePathOnce) {
    const CommandRun run = RunTool("bench --scene " + kFixture);
    ASSERT_EQ(run.status, 0) << run.output;
    for (const char* line : {"frames", "fps", "frame time", "march step", "fill floor",
                             "peak memory", "1 whole flight,"})
        EXPECT_NE(run.output.find(line), std::string::npos) << line << " in " << run.output;
}

}  // namespace
