// scene_loader_test.cpp -- the key file's formats, the pictures' checks and every failure message
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cmath>
#include <limits>
#include <thread>

#include "path/key_path.h"
#include "platform/files.h"
#include "render/tables.h"
#include "scene/scene_loader.h"
#include "tests/support/test_files.h"

namespace {

// The message the demo shows for a failed load, as a line under its caption
// ("" when the scene loaded).
std::string MessageOf(const SceneLoad& load) {
    if (!load.error) return "";
    return std::string(kFileErrorCaption) + ": " + load.error->message + "\n";
}

class SceneLoaderTest : public ::testing::Test {
protected:
    void SetUp() override {
        load_ = SceneLoad{};
        WriteValidPictures(dir_);
    }

    // Reads the scene from dir_, keeping the message the demo would show.
    bool Load() {
        load_ = ReadScene(dir_.File("Keys2.txt"), dir_.Dir(), colours_);
        messages_ = MessageOf(load_);
        return static_cast<bool>(load_);
    }
    const Scene& scene() const { return load_.scene; }
    std::vector<int32_t> KeyTimes() const {
        std::vector<int32_t> times;
        for (uint32_t i = 0; i < scene().path->Count(); ++i)
            times.push_back(scene().path->Key(i).time);
        return times;
    }
    std::vector<float> KeyValues(uint32_t i) const {
        const float* v = scene().path->Key(i).value;
        return std::vector<float>(v, v + 5);
    }

    const ColourTables colours_ = BuildColourTables();
    TempDir dir_;
    SceneLoad load_;
    std::string messages_;
};

TEST_F(SceneLoaderTest, LoadsAValidScene) {
    dir_.Write("Keys2.txt", KeyFileText("3", "250", {"1 2 3 4 5", "6 7 8 9 10", "11 12 13 14 15"}));
    ASSERT_TRUE(Load()) << messages_;
    EXPECT_EQ(messages_, "");
    EXPECT_EQ(KeyTimes(), (std::vector<int32_t>{0, 250, 500}));
    EXPECT_EQ(KeyValues(1), (std::vector<float>{6, 7, 8, 9, 10}));
    // The sky's palette is now RGB565 and the shade table follows the colour map.
    EXPECT_EQ(scene().sky.palette565.size(), 256u);
    EXPECT_TRUE(scene().sky.palette.empty());
    EXPECT_EQ(scene().shadeTable[200 * 32], PackRgb565(200, 200, 200));
    EXPECT_EQ(scene().colourMap.palette.size(), 256u) << "the colour map keeps its palette as read";
}

struct CountCase {
    const char* count;
    const char* interval;
    std::vector<int32_t> times;
};

TEST_F(SceneLoaderTest, KeyCountsAndIntervalsAsScanfReadsThem) {
    const std::vector<std::string> lines = {"0 0 0 0 0", "1 1 1 1 1", "2 2 2 2 2", "3 3 3 3 3",
                                            "4 4 4 4 4", "5 5 5 5 5", "6 6 6 6 6", "7 7 7 7 7",
                                            "8 8 8 8 8", "9 9 9 9 9"};
    const CountCase cases[] = {
        {"3", "250", {0, 250, 500}},
        {"0x3", "0x10", {0, 16, 32}},                 // hexadecimal
        {"03", "010", {0, 8, 16}},                    // leading 0: octal
        {"+2", "-100", {-100, 0}},                    // negative interval: sorted
        {"0", "100", {}},                             // no keys
        {"-5", "100", {}},                            // negative count: empty path
        {"-0x80000000", "1", {}},                     // the most negative count
        {"99", "1", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},  // more than present
        {"2147483647", "1", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},
        {"99999999999999", "1", {0, 1, 2, 3, 4, 5, 6, 7, 8, 9}},  // saturates
        {"abc", "7", {}},                                         // unreadable count: 0
        {"2", "0x7fffffff", {0, 2147483647}},
        {"3", "0x7fffffff", {-2, 0, 2147483647}},  // i * D wraps at 32 bits
    };
    for (const auto& c : cases) {
        SetUp();
        dir_.Write("Keys2.txt", KeyFileText(c.count, c.interval, lines));
        ASSERT_TRUE(Load()) << c.count << " " << c.interval << ": " << messages_;
        EXPECT_EQ(KeyTimes(), c.times) << c.count << " " << c.interval;
    }
}

TEST_F(SceneLoaderTest, KeyLinesAsScanfReadsThem) {
    const float inf = std::numeric_limits<float>::infinity();
    struct Case {
        const char* what;
        std::string body;  // after the names, count 2 and interval 100
        std::vector<std::vector<float>> keys;
    };
    const Case cases[] = {
        {"plain", "1 2 3 4 5\n6 7 8 9 10\n", {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}}},
        {"any white space", "1\t2\n3  4\r\n5 6 7\n8 9 10", {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}}},
        {"forms of numbers",
         "1e3 -2.5 +.5 0x10 8388608\n1.5E-1 7. 0 -0 16777217\n",
         {{1000, -2.5f, 0.5f, 16, 8388608}, {0.15f, 7, 0, -0.0f, 16777216}}},
        {"single precision",
         "0.1 16777217 3.4e38 1e-50 123456789\n1 1 1 1 1\n",
         {{0.1f, 16777216, 3.4e38f, 0, 123456792}, {1, 1, 1, 1, 1}}},
        {"infinities",
         "inf -INF infinity 1e39 -1e39\n1 2 3 4 5\n",
         {{inf, -inf, inf, inf, -inf}, {1, 2, 3, 4, 5}}},
        {"a short last line keeps the values before",
         "1 2 3 4 5\n6 7\n",
         {{1, 2, 3, 4, 5}, {6, 7, 3, 4, 5}}},
        {"a line that is missing is not added", "1 2 3 4 5\n", {{1, 2, 3, 4, 5}}},
        {"text that is no number ends the keys",
         "1 2 3 4 5\nx y z\n1 1 1 1 1\n",
         {{1, 2, 3, 4, 5}}},
        {"lines after the last key are not read",
         "1 2 3 4 5\n6 7 8 9 10\n11 12 13 14 15\n",
         {{1, 2, 3, 4, 5}, {6, 7, 8, 9, 10}}},
    };
    for (const auto& c : cases) {
        SetUp();
        dir_.Write("Keys2.txt", "colour.bmp height.bmp 2 100 " + c.body);
        ASSERT_TRUE(Load()) << c.what << ": " << messages_;
        ASSERT_EQ(scene().path->Count(), c.keys.size()) << c.what;
        for (uint32_t i = 0; i < c.keys.size(); ++i)
            EXPECT_EQ(KeyValues(i), c.keys[i]) << c.what << " key " << i;
    }
}

TEST_F(SceneLoaderTest, NanKeysLoad) {
    dir_.Write("Keys2.txt",
               KeyFileText("3", "100", {"nan 1 1 1 1", "NAN 2 2 2 2", "1 nan(0x1) 3 3 3"}));
    ASSERT_TRUE(Load()) << messages_;
    ASSERT_EQ(scene().path->Count(), 3u);
    EXPECT_TRUE(std::isnan(KeyValues(0)[0]));
    EXPECT_TRUE(std::isnan(KeyValues(2)[1]));
}

struct FailureCase {
    const char* what;
    void (*arrange)(const TempDir& dir);
    std::string expectedFile;  // relative to the scene directory
    bool keyFile;              // "Can't open file" rather than "Can't open Bitmap"
};

void ValidKeys(const TempDir& dir) {
    dir.Write("Keys2.txt", KeyFileText("3", "100", {"1 1 1 1 1", "2 2 2 2 2", "3 3 3 3 3"}));
}

TEST_F(SceneLoaderTest, EveryFailureNamesItsFile) {
    const std::string longName(80, 'n');
    const FailureCase cases[] = {
        {"no key file", [](const TempDir&) {}, "Keys2.txt", true},
        {"key file is a directory",
         [](const TempDir& d) { std::filesystem::create_directory(d.Path() / "Keys2.txt"); },
         "Keys2.txt", true},
        {"key file is a FIFO",
         [](const TempDir& d) { ::mkfifo(d.File("Keys2.txt").c_str(), 0600); }, "Keys2.txt", true},
        {"empty key file", [](const TempDir& d) { d.Write("Keys2.txt", std::string()); }, "",
         false},
        {"missing colour map",
         [](const TempDir& d) {
             ValidKeys(d);
             std::filesystem::remove(d.Path() / "colour.bmp");
         },
         "colour.bmp", false},
        {"colour map is 24-bit",
         [](const TempDir& d) {
             ValidKeys(d);
             BmpHeader h;
             h.width = 256, h.height = 256, h.bitCount = 24;
             d.Write(
                 "colour.bmp",
                 MakeBmp(h, {}, std::vector<std::vector<uint8_t>>(256, std::vector<uint8_t>(768))));
         },
         "colour.bmp", false},
        {"colour map too narrow",
         [](const TempDir& d) {
             ValidKeys(d);
             d.Write("colour.bmp", MakeFlatBmp(255, 256, 1));
         },
         "colour.bmp", false},
        {"colour map not a BMP",
         [](const TempDir& d) {
             ValidKeys(d);
             d.Write("colour.bmp",
                     std::string("GIF89a and then some more bytes to pass fifty-four bytes"));
         },
         "colour.bmp", false},
        {"height map too short",
         [](const TempDir& d) {
             ValidKeys(d);
             d.Write("height.bmp", MakeFlatBmp(256, 255, 1));
         },
         "height.bmp", false},
        {"height map 4-bit",
         [](const TempDir& d) {
             ValidKeys(d);
             BmpHeader h;
             h.width = 256, h.height = 256, h.bitCount = 4;
             d.Write("height.bmp", MakeBmp(h, {}, {}));
         },
         "height.bmp", false},
        {"missing sky",
         [](const TempDir& d) {
             ValidKeys(d);
             std::filesystem::remove(d.Path() / "sky.BMP");
         },
         "sky.BMP", false},
        {"sky 256 wide",
         [](const TempDir& d) {
             ValidKeys(d);
             d.Write("sky.BMP", MakeFlatBmp(256, 256, 1));
         },
         "sky.BMP", false},
        {"sky 257 rows",
         [](const TempDir& d) {
             ValidKeys(d);
             d.Write("sky.BMP", MakeFlatBmp(512, -257, 1));
         },
         "sky.BMP", false},
        {"sky truncated to its headers",
         [](const TempDir& d) {
             ValidKeys(d);
             auto bytes = MakeFlatBmp(512, 256, 1);
             bytes.resize(40);
             d.Write("sky.BMP", bytes);
         },
         "sky.BMP", false},
        {"sky is a directory",
         [](const TempDir& d) {
             ValidKeys(d);
             std::filesystem::remove(d.Path() / "sky.BMP");
             std::filesystem::create_directory(d.Path() / "sky.BMP");
         },
         "sky.BMP", false},
    };
    for (const auto& c : cases) {
        TempDir fresh;
        WriteValidPictures(fresh);
        c.arrange(fresh);
        const SceneLoad load = ReadScene(fresh.File("Keys2.txt"), fresh.Dir(), colours_);
        const std::string messages = MessageOf(load);
        EXPECT_FALSE(load) << c.what;
        ASSERT_TRUE(load.error) << c.what;
        EXPECT_EQ(load.error->path, fresh.Dir() + c.expectedFile) << c.what;
        EXPECT_FALSE(load.error->reason.empty()) << c.what;
        const std::string expected = std::string("Pelmora, File Error: ") +
                                     (c.keyFile ? "Can't open file " : "Can't open Bitmap ") +
                                     fresh.Dir() + c.expectedFile + "\n";
        EXPECT_EQ(messages, expected) << c.what;
    }
}

TEST_F(SceneLoaderTest, PicturesAreReadInOrderAndTheFirstFailureStops) {
    ValidKeys(dir_);
    std::filesystem::remove(dir_.Path() / "sky.BMP");
    EXPECT_FALSE(Load());
    EXPECT_EQ(scene().colourMap.width, 256) << "both maps were read before the sky";
    EXPECT_EQ(scene().heightMap.width, 256);
    EXPECT_FALSE(scene().path) << "no path without a sky";
}

TEST_F(SceneLoaderTest, NameAndPathLengthLimits) {
    const std::string name79 = std::string(75, 'c') + ".bmp";
    const std::string name80 = std::string(76, 'c') + ".bmp";
    dir_.Write(name79, MakeFlatBmp(256, 256, 3));
    dir_.Write(name80, MakeFlatBmp(256, 256, 3));
    dir_.Write("Keys2.txt", name79 + " height.bmp 0 0");
    EXPECT_TRUE(Load()) << messages_;
    dir_.Write("Keys2.txt", name80 + " height.bmp 0 0");
    EXPECT_FALSE(Load());
    EXPECT_EQ(messages_, "Pelmora, File Error: Can't open Bitmap " + dir_.Dir() + name80 + "\n");

    // A directory and name together over 255 characters.
    const std::string deep = dir_.Dir() + std::string(250 - dir_.Dir().size(), 'd') + "/";
    std::filesystem::create_directories(deep);
    WriteValidPictures(dir_);
    for (const char* f : {"colour.bmp", "height.bmp", "sky.BMP"})
        std::filesystem::copy_file(dir_.File(f), deep + f);
    std::filesystem::copy_file(dir_.File("Keys2.txt"), deep + "Keys2.txt");
    const SceneLoad deepLoad = ReadScene(deep + "Keys2.txt", deep, colours_);
    EXPECT_FALSE(deepLoad);
    EXPECT_EQ(MessageOf(deepLoad), "Pelmora, File Error: Can't open file " + deep + "Keys2.txt\n");
}

TEST_F(SceneLoaderTest, ScenesReadAtOnceOnTwoThreadsAreTheSame) {
    // Reading keeps no state of its own: two reads at the same time, with no
    // display anywhere, give the same scene.
    ValidKeys(dir_);
    SceneLoad a, b;
    std::thread other([&] { b = ReadScene(dir_.File("Keys2.txt"), dir_.Dir(), colours_); });
    a = ReadScene(dir_.File("Keys2.txt"), dir_.Dir(), colours_);
    other.join();
    ASSERT_TRUE(a && b);
    EXPECT_EQ(a.scene.heightMap.pixels, b.scene.heightMap.pixels);
    EXPECT_EQ(a.scene.sky.palette565, b.scene.sky.palette565);
    EXPECT_EQ(a.scene.shadeTable, b.scene.shadeTable);
    ASSERT_EQ(a.scene.path->Count(), 3u);
    ASSERT_EQ(b.scene.path->Count(), 3u);
    EXPECT_EQ(a.keyFile.keyCount, 3);
    EXPECT_EQ(a.keyFile.colourMapName, "colour.bmp");
}

TEST(ProgramDirectory, IsTheTestsOwnDirectoryWithItsSlash) {
    const std::string dir = ProgramDirectory();
    ASSERT_FALSE(dir.empty());
    EXPECT_EQ(dir.back(), '/');
    EXPECT_TRUE(std::filesystem::exists(dir + "scene_loader_test"));
}

}  // namespace
