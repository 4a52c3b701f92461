// tool_test.cpp -- flyover-tool as a user runs it: help, argument errors, render and camera output
#include <gtest/gtest.h>

#include <png.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "hdscene/hd_png.h"
#include "import/collection.h"
#include "tests/support/command_line.h"
#include "tests/support/test_files.h"
#include "tools/png_writer.h"

namespace {

const std::string kFixture = FLYOVER_SOURCE_DIR "/tests/fixtures/small_scene";

// flyover-tool with `args`; the output holds stdout and stderr together.
CommandRun RunTool(const std::string& args) {
    return RunWithStderr(FLYOVER_TOOL, args);
}

// Reads a PNG back as 8-bit RGB rows.
bool ReadPng(const std::string& path, int& width, int& height, std::vector<uint8_t>& rgb) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return false;
    image.format = PNG_FORMAT_RGB;
    rgb.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return false;
    width = static_cast<int>(image.width);
    height = static_cast<int>(image.height);
    return true;
}

TEST(WidenRgb565, ReplicatesTheHighBits) {
    const struct {
        uint16_t pixel;
        Rgb8 rgb;
    } cases[] = {
        {0x0000, {0, 0, 0}},       {0xFFFF, {255, 255, 255}}, {0xF800, {255, 0, 0}},
        {0x07E0, {0, 255, 0}},     {0x001F, {0, 0, 255}},     {0x0821, {8, 4, 8}},
        {0x8410, {132, 130, 132}},
    };
    for (const auto& c : cases) {
        const Rgb8 got = WidenRgb565(c.pixel);
        EXPECT_EQ(got.r, c.rgb.r) << std::hex << c.pixel;
        EXPECT_EQ(got.g, c.rgb.g) << std::hex << c.pixel;
        EXPECT_EQ(got.b, c.rgb.b) << std::hex << c.pixel;
    }
}

// The names a collection pairs: C<n>[W] and D<n> with a picture's ending,
// all lower or all upper case; n from its first 9 digits.
TEST(ImportCollection, ReadsTheNumbersOfColourAndHeightMaps) {
    const struct {
        const char* name;
        int colour, height;
    } cases[] = {
        {"C1.png", 1, -1},
        {"c1.png", 1, -1},
        {"C12W.gif", 12, -1},
        {"c7w.JPEG", 7, -1},
        {"C007.jpg", 7, -1},
        {"C3.JPG", 3, -1},
        {"C3.bmp", 3, -1},
        {"C3.BMP", 3, -1},
        {"D1.png", -1, 1},
        {"d42.jpeg", -1, 42},
        {"D0.GIF", -1, 0},
        {"C1.Png", -1, -1},
        {"C1.jpEg", -1, -1},
        {"C1.tif", -1, -1},
        {"C1.png.png", -1, -1},
        {"C1", -1, -1},
        {"C1.", -1, -1},
        {"C.png", -1, -1},
        {"CW.png", -1, -1},
        {"C1WW.png", -1, -1},
        {"D1W.png", -1, -1},
        {"xC1.png", -1, -1},
        {"C1x.png", -1, -1},
        {"C 1.png", -1, -1},
        {"C-1.png", -1, -1},
        {"", -1, -1},
        {"E1.png", -1, -1},
        {"C1234567891.png", 123456789, -1},
        {"D0000000001.png", -1, 0},
        {"C999999999.png", 999999999, -1},
        {"C1.jpgg", -1, -1},
        {"C1.jg", -1, -1},
        {"C\xd9\xa1.png", -1, -1},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ColourMapNumber(c.name), c.colour) << c.name;
        EXPECT_EQ(HeightMapNumber(c.name), c.height) << c.name;
    }
}

TEST(ImportCollection, PairsByNumberAndRawMapsByName) {
    const Collection found = PairCollection({
        "in/C2.png",
        "in/D2.png",
        "in/C1W.jpg",
        "in/c1.gif",
        "in/D1.bmp",
        "in/C5.png",
        "in/D9.png",
        "in/a.color",
        "in/a.height",
        "in/b.color",
        "in/c.height",
        "in/notes.txt",
        "in/D3.png",
        "in/d3.PNG",
    });
    ASSERT_EQ(found.pairs.size(), 4u);
    const std::vector<std::array<std::string, 3>> pairs = {
        {"in/C1W.jpg", "in/D1.bmp", "C1W"},
        {"in/c1.gif", "in/D1.bmp", "c1"},
        {"in/C2.png", "in/D2.png", "C2"},
        {"in/a.color", "in/a.height", "a"},
    };
    for (size_t i = 0; i < pairs.size(); ++i) {
        EXPECT_EQ(found.pairs[i].colour, pairs[i][0]) << i;
        EXPECT_EQ(found.pairs[i].height, pairs[i][1]) << i;
        EXPECT_EQ(found.pairs[i].name, pairs[i][2]) << i;
    }
    // The last of several height maps of one number is kept.
    EXPECT_EQ(found.alone,
              (std::vector<std::string>{"C5.png (no height map D5)", "d3.PNG (no colour map C3)",
                                        "D9.png (no colour map C9)", "b.color (no b.height)",
                                        "c.height (no c.color)"}));
}

TEST(Tool, HelpOnTheToolAndEachCommand) {
    for (const char* args : {"--help", "render --help", "camera --help", "help"}) {
        const CommandRun run = RunTool(args);
        EXPECT_EQ(run.status, 0) << args;
        EXPECT_NE(run.output.find("Usage: flyover-tool"), std::string::npos) << args;
    }
}

TEST(Tool, BadArgumentsExitTwoWithAMessage) {
    const std::string scene = " --scene " + kFixture;
    const struct {
        std::string args;
        const char* says;
    } cases[] = {
        {"", "Usage"},
        {"soar", "unknown command"},
        {"fly", "--scene DIR is required"},
        {"fly" + scene + " --interval 10", "bad --interval"},
        {"fly" + scene + " --scale 17", "bad --scale"},
        {"render" + scene + " --out /tmp/x.png", "exactly one of --time and --camera"},
        {"render" + scene + " --time 5 --camera 1,2,3,4,5 --out /tmp/x.png", "exactly one"},
        {"render" + scene + " --time -5 --out /tmp/x.png", "bad --time"},
        {"render" + scene + " --time 4294967296 --out /tmp/x.png", "bad --time"},
        {"render" + scene + " --time 12abc --out /tmp/x.png", "bad --time"},
        // Whole milliseconds are decimal digits only.
        {"render" + scene + " --time 0x10 --out /tmp/x.png", "bad --time"},
        {"camera" + scene + " --time ' 7'", "bad --time"},
        {"camera" + scene + " --time=+7", "bad --time"},
        {"render" + scene + " --camera 1,2,3,4 --out /tmp/x.png", "bad --camera"},
        {"render" + scene + " --camera 1,2,3,4,5,6 --out /tmp/x.png", "bad --camera"},
        {"render" + scene + " --camera 1,2,3,4,2147483648 --out /tmp/x.png", "bad --camera"},
        {"render" + scene + " --time 5 --display 240x320:diagonal --out /tmp/x.png", "layout"},
        {"render" + scene + " --time 5 --display 0x0 --out /tmp/x.png", "display size"},
        {"render" + scene + " --time 5", "--out"},
        {"render --time 5 --out /tmp/x.png", "--scene"},
        {"render" + scene + " --time", "needs a value"},
        {"render" + scene + " --time= --out /tmp/x.png", "needs a value"},
        {"render" + scene + " --time 5 --frobnicate --out /tmp/x.png", "unknown argument"},
        {"render" + scene + " --time 5 --time 6 --out /tmp/x.png", "only be given once"},
        {"camera" + scene, "--time"},
        {"camera --time 5", "--scene"},
    };
    for (const auto& c : cases) {
        const CommandRun run = RunTool(c.args);
        EXPECT_EQ(run.status, 2) << c.args << "\n" << run.output;
        EXPECT_NE(run.output.find(c.says), std::string::npos) << c.args << "\n" << run.output;
    }
}

TEST(Tool, RenderWritesTheWholeDisplayAsRgbPng) {
    TempDir dir;
    const std::string out = dir.File("frame.png");
    for (const char* display : {"240x320", "240x320:rot90", "320x240:bottom-up"}) {
        const CommandRun run = RunTool("render --scene " + kFixture + " --time 1500 --display " +
                                       display + " --out " + out);
        ASSERT_EQ(run.status, 0) << run.output;
        int width = 0, height = 0;
        std::vector<uint8_t> rgb;
        ASSERT_TRUE(ReadPng(out, width, height, rgb)) << display;
        const bool landscape = std::string(display).rfind("320x240", 0) == 0;
        EXPECT_EQ(width, landscape ? 320 : 240);
        EXPECT_EQ(height, landscape ? 240 : 320);
        // The 24 rows above the view stay black; the view's last row is ground.
        for (int x = 0; x < width; ++x)
            ASSERT_EQ(rgb[(10 * width + x) * 3], 0) << x;
        bool anyLit = false;
        for (int x = 0; x < width; ++x)
            anyLit |= rgb[((height - 1) * width + x) * 3 + 1] != 0;
        EXPECT_TRUE(anyLit);
    }
}

TEST(Tool, LayoutsGiveTheSamePicture) {
    TempDir dir;
    std::vector<uint8_t> first;
    for (const char* layout : {"normal", "bottom-up", "rot90", "rot180", "rot270"}) {
        const std::string out = dir.File(std::string(layout) + ".png");
        const CommandRun run =
            RunTool("render --scene " + kFixture +
                    " --camera 9000000,7000000,30000000,1000,100 --display 200x300:" + layout +
                    " --out " + out);
        ASSERT_EQ(run.status, 0) << run.output;
        int width = 0, height = 0;
        std::vector<uint8_t> rgb;
        ASSERT_TRUE(ReadPng(out, width, height, rgb));
        if (first.empty())
            first = rgb;
        else
            EXPECT_EQ(rgb, first) << layout;
    }
}

TEST(Tool, RenderPastTheEndOfThePath) {
    TempDir dir;
    // The fixture has 6 keys 1000 ms apart: it plays up to 4000 ms.
    for (const char* ms : {"4000", "4294967295"}) {
        const CommandRun run =
            RunTool("render --scene " + kFixture + " --time " + ms + " --out " + dir.File("x.png"));
        EXPECT_EQ(run.status, 1);
        EXPECT_EQ(run.output, std::string("flight time ") + ms + " is past the end of the path\n");
        EXPECT_FALSE(std::filesystem::exists(dir.File("x.png")));
    }
}

TEST(Tool, SceneFailuresShowTheProgramsMessagesAndWhy) {
    TempDir dir;
    CommandRun run =
        RunTool("render --scene " + dir.Path().string() + " --time 0 --out " + dir.File("x.png"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, "Pelmora, File Error: Can't open file " + dir.Dir() +
                              "Keys2.txt\nflyover-tool: Keys2.txt does not exist\n");

    dir.Write("Keys2.txt", KeyFileText("3", "100", {}));
    run = RunTool("camera --scene " + dir.Dir() + " --time 0");
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.output, "Pelmora, File Error: Can't open Bitmap " + dir.Dir() +
                              "colour.bmp\nflyover-tool: colour.bmp does not exist\n");

    // A display too short for a view is refused before anything is read.
    run = RunTool("render --scene " + kFixture + " --time 0 --display 240x20 --out " +
                  dir.File("x.png"));
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.output.find("bad display size \"240x20\" (expected WxH, width 1 to 4096 and "
                              "height 25 to 4096"),
              std::string::npos)
        << run.output;
}

TEST(Tool, RenderReportsAnUnwritableOutput) {
    const CommandRun run =
        RunTool("render --scene " + kFixture + " --time 0 --out /nonexistent-dir/x.png");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("/nonexistent-dir/x.png"), std::string::npos) << run.output;
}

TEST(Tool, CameraPrintsTheStateAndTheEvaluatedValues) {
    const CommandRun run =
        RunTool("camera --scene=" + kFixture + " --time 0 --time=1500 --time 4000 --time 16");
    ASSERT_EQ(run.status, 0) << run.output;
    EXPECT_EQ(run.output,
              "0 8388608 8388608 40000000 0 80 8388608 8388608 40000000 0 80\n"
              "1500 9919858 9326108 32500000 581 78 9919858 9326108 32500000 581.25 78.75\n"
              "4000 end\n"
              "16 8389116 8388799 39998220 0 80 8389116 8388799 39998220 0.114585616 80.0088577\n");
}

}  // namespace

namespace {

TEST(Tool, SceneMakesMissingParentsOrRefusesBeforeAnyWork) {
    TempDir dir;
    const std::string nested = dir.File("a/b/c");
    CommandRun run = RunTool("scene --out " + nested);
    ASSERT_EQ(run.status, 0) << run.output;
    for (const char* name : {"Keys2.txt", "colour.bmp", "height.bmp", "sky.BMP"})
        EXPECT_TRUE(std::filesystem::exists(nested + "/" + name)) << name;

    dir.Write("file", std::string("in the way"));
    run = RunTool("scene --out " + dir.File("file/x"));
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(
        run.output.rfind("flyover-tool scene: cannot make the directory " + dir.File("file/x"), 0),
        0u)
        << run.output;
}

TEST(Tool, CheckFollowsAVeryLongFlightAtACoarserStep) {
    // Three keys 2,000 s apart: 400,000 frames at 10 ms, so fewer, further
    // apart, are followed, and the report says so.
    TempDir dir;
    for (const char* name : {"colour.bmp", "height.bmp", "sky.BMP"})
        std::filesystem::copy_file(kFixture + "/" + name, dir.File(name));
    dir.Write("Keys2.txt",
              KeyFileText("3", "2000000",
                          {"8388608 8388608 40000000 0 80", "9388608 8388608 40000000 512 80",
                           "9388608 9388608 40000000 1024 80"}));
    const CommandRun run = RunTool("check --scene " + dir.Path().string() + " --display 40x60");
    EXPECT_NE(run.output.find("The flight is too long to follow every 10 ms: it is followed every "
                              "100 ms, 20000 frames at most"),
              std::string::npos)
        << run.output;
    EXPECT_NE(run.output.find("Followed 20000 frames, every 100 ms"), std::string::npos)
        << run.output;
}

}  // namespace

namespace {

// A flight of six keys 1 s apart at a height of 40,000,000 (a sky band of
// horizon + 131 rows) whose horizon rises from 80 to 200 between 2 and 3 s.
struct SkyBandCase {
    const char* display;
    int highHorizon;
    const char* problem;  // the line check must print, or nullptr for none
};

class CheckSkyBandTest : public testing::TestWithParam<SkyBandCase> {};

TEST_P(CheckSkyBandTest, ReportsFramesWhoseSkyBandPassesThePicture) {
    const SkyBandCase& c = GetParam();
    TempDir dir;
    for (const char* name : {"colour.bmp", "height.bmp", "sky.BMP"})
        std::filesystem::copy_file(kFixture + "/" + name, dir.File(name));
    std::vector<std::string> keys;
    for (int i = 0; i < 6; ++i)
        keys.push_back(std::to_string(8388608 + 327680 * i) + " 8388608 40000000 0 " +
                       std::to_string(i < 3 ? 80 : c.highHorizon));
    dir.Write("Keys2.txt", KeyFileText("6", "1000", keys));
    const CommandRun run =
        RunTool("check --scene " + dir.Path().string() + " --display " + c.display);
    if (c.problem) {
        EXPECT_EQ(run.status, 1) << run.output;
        EXPECT_NE(run.output.find(c.problem), std::string::npos) << run.output;
    } else {
        EXPECT_EQ(run.status, 0) << run.output;
        EXPECT_EQ(run.output.find("stretched"), std::string::npos) << run.output;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Flights, CheckSkyBandTest,
    testing::Values(
        // The horizon reaches row 125 (a band of 256 rows) at 2.40 s and stays
        // above it to the end at 4 s: 160 frames of the 400.
        SkyBandCase{"240x320", 200,
                    "PROBLEM: 160 frames show the sky stretched past its picture (a band of more "
                    "than 255 rows repeats its first row), first at 2.40 s, over map cell (140, "
                    "128)\n"},
        // Below row 125 throughout (the curve overshoots 120 by less than 5).
        SkyBandCase{"240x320", 120, nullptr},
        // A view of 236 rows holds a band of at most 236 rows.
        SkyBandCase{"240x260", 200, nullptr}));

// --view and --size: bad values and combinations are usage errors in the
// table's words, for render and bench alike.
TEST(ToolHdView, BadViewsAndSizesAreUsageErrors) {
    const struct {
        const char* args;
        const char* message;
    } cases[] = {
        {"--view hdx", "unknown --view \"hdx\" (expected faithful or hd)"},
        {"--view hd --size 319x240", "bad --size \"319x240\" (expected WxH, width 320 to 7680"},
        {"--view hd --size 320x239", "bad --size \"320x239\""},
        {"--view hd --size 7681x4320", "bad --size \"7681x4320\""},
        {"--view hd --size 7680x4321", "bad --size \"7680x4321\""},
        {"--view hd --size 640", "bad --size \"640\""},
        {"--view hd --size 640x", "bad --size \"640x\""},
        {"--view hd --size x480", "bad --size \"x480\""},
        {"--view hd --size +640x480", "bad --size \"+640x480\""},
        {"--size 640x480", "--size sets the HD view's frame: give --view hd with it"},
        {"--view faithful --size 640x480", "give --view hd with it"},
        {"--view hd --display 240x320", "the HD view takes --size"},
    };
    for (const auto& c : cases)
        for (const char* command : {"render --time 0 --out /nonexistent/x.png", "bench"}) {
            const std::string args = std::string(command) + " --scene " + kFixture + " " + c.args;
            const CommandRun run = RunTool(args);
            EXPECT_EQ(run.status, 2) << args << "\n" << run.output;
            EXPECT_NE(run.output.find(c.message), std::string::npos) << args << "\n" << run.output;
        }
    const CommandRun path = RunTool("bench --scene " + kFixture + " --view hd --path scalar");
    EXPECT_EQ(path.status, 2) << path.output;
    EXPECT_NE(path.output.find("--path chooses the faithful view's renderer"), std::string::npos)
        << path.output;
}

TEST(ToolHdView, RenderWritesAPictureOfTheSize) {
    TempDir dir;
    const struct {
        const char* size;  // "" for the default
        int width, height;
    } cases[] = {{"", 1920, 1080}, {"320x240", 320, 240}, {"333x517", 333, 517}};
    for (const auto& c : cases) {
        const std::string out = dir.File("hd.png");
        const std::string args = "render --scene " + kFixture + " --time 1500 --view hd" +
                                 (*c.size ? std::string(" --size ") + c.size : "") + " --out " +
                                 out;
        const CommandRun run = RunTool(args);
        ASSERT_EQ(run.status, 0) << args << "\n" << run.output;
        EXPECT_EQ(run.output, "") << args;
        int width = 0, height = 0;
        std::vector<uint8_t> rgb;
        ASSERT_TRUE(ReadPng(out, width, height, rgb)) << args;
        EXPECT_EQ(width, c.width) << args;
        EXPECT_EQ(height, c.height) << args;
    }
    // --view faithful is the default's picture, byte for byte.
    ASSERT_EQ(
        RunTool("render --scene " + kFixture + " --time 1500 --out " + dir.File("a.png")).status,
        0);
    ASSERT_EQ(RunTool("render --scene " + kFixture + " --time 1500 --view faithful --out " +
                      dir.File("b.png"))
                  .status,
              0);
    int wa = 0, ha = 0, wb = 0, hb = 0;
    std::vector<uint8_t> a, b;
    ASSERT_TRUE(ReadPng(dir.File("a.png"), wa, ha, a));
    ASSERT_TRUE(ReadPng(dir.File("b.png"), wb, hb, b));
    EXPECT_EQ(wa, 240);
    EXPECT_EQ(a, b);
}

TEST(ToolHdView, BenchReportsBothThreadCountsAgainstTheRowFill) {
    const CommandRun run =
        RunTool("bench --scene " + kFixture + " --view hd --size 320x240 --step 1000 --json");
    ASSERT_EQ(run.status, 0) << run.output;
    for (const char* key :
         {"\"fps\"", "\"fps_2t\"", "\"median_us\"", "\"median_2t_us\"", "\"floor_us\"", "\"ratio\"",
          "\"ratio_2t\"", "\"peak_rss_kb\"", "\"frames\": 4,", "\"view\": \"hd\"",
          "\"size\": \"320x240\"", "\"maps\": \"256 x 256 maps interpolated to 1024\""})
        EXPECT_NE(run.output.find(key), std::string::npos) << key << "\n" << run.output;
    const CommandRun text =
        RunTool("bench --scene " + kFixture + " --view hd --size 320x240 --step 1000");
    ASSERT_EQ(text.status, 0) << text.output;
    EXPECT_NE(text.output.find("on 1 thread"), std::string::npos) << text.output;
    EXPECT_NE(text.output.find("row by row"), std::string::npos) << text.output;
}

// A scene's HD maps: drawn when good; a bad one is named with its problem,
// and the HD view falls back to the 256 x 256 maps interpolated.
TEST(ToolHdView, RenderDrawsTheHdMapsOrWarnsAndFallsBack) {
    TempDir dir;
    for (const char* name : {"Keys2.txt", "colour.bmp", "height.bmp", "sky.BMP"})
        std::filesystem::copy_file(kFixture + "/" + name, dir.File(name));
    const auto render = [&](const std::string& out) {
        return RunTool("render --scene " + dir.Path().string() +
                       " --time 1500 --view hd --size 320x240 --out " + dir.File(out));
    };
    const auto pixels = [&](const std::string& name) {
        int width = 0, height = 0;
        std::vector<uint8_t> rgb;
        EXPECT_TRUE(ReadPng(dir.File(name), width, height, rgb));
        return rgb;
    };
    ASSERT_EQ(render("plain.png").status, 0);
    // Flat maps of one colour at 512: the picture changes, without a word.
    std::vector<uint32_t> colour(512 * 512, 0x208040);
    std::vector<uint16_t> height(512 * 512, 0x1000);
    std::string error;
    ASSERT_TRUE(WriteRgbPng(dir.File("hd-colour.png"), 512, 512, colour.data(), 512, error));
    ASSERT_TRUE(WriteGrey16Png(dir.File("hd-height.png"), 512, 512, height.data(), error));
    const CommandRun good = render("hd.png");
    ASSERT_EQ(good.status, 0) << good.output;
    EXPECT_EQ(good.output, "");
    EXPECT_NE(pixels("hd.png"), pixels("plain.png"));
    // A height map of another side: warned, and the faithful maps drawn.
    std::vector<uint16_t> other(1024 * 1024, 0);
    ASSERT_TRUE(WriteGrey16Png(dir.File("hd-height.png"), 1024, 1024, other.data(), error));
    const CommandRun bad = render("bad.png");
    ASSERT_EQ(bad.status, 0) << bad.output;
    EXPECT_NE(bad.output.find("flyover-tool render: warning: " + dir.Dir() +
                              "hd-height.png: is 1024 x 1024 but"),
              std::string::npos)
        << bad.output;
    EXPECT_NE(bad.output.find("the two HD maps must have the same side; the HD view draws the "
                              "256 x 256 maps interpolated instead"),
              std::string::npos)
        << bad.output;
    EXPECT_EQ(pixels("bad.png"), pixels("plain.png"));
    // The faithful view never reads them.
    const CommandRun faithful = RunTool("render --scene " + dir.Path().string() +
                                        " --time 1500 --out " + dir.File("f.png"));
    EXPECT_EQ(faithful.status, 0);
    EXPECT_EQ(faithful.output, "");
}

}  // namespace
