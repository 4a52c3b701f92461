// hd_scene_test.cpp -- a scene's HD maps: written and read back, every bad file refused with
// its name and problem, and the terrain built from them or from the faithful maps
#include <gtest/gtest.h>

#include <png.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "hdscene/hd_png.h"
#include "hdscene/hd_scene.h"
#include "import/importer.h"
#include "scene/scene_loader.h"
#include "scenegen/hd_maps.h"
#include "scenegen/scene_generator.h"
#include "tests/support/test_files.h"

namespace {

// Maps of `side` with a simple pattern: colour and height vary with x and y.
HdSceneMaps PatternMaps(int side, int skyWidth = 0, int skyHeight = 0) {
    HdSceneMaps maps;
    maps.side = side;
    const size_t cells = static_cast<size_t>(side) * static_cast<size_t>(side);
    maps.colour.resize(cells);
    maps.height.resize(cells);
    for (size_t i = 0; i < cells; ++i) {
        const uint32_t x = static_cast<uint32_t>(i % static_cast<size_t>(side));
        const uint32_t y = static_cast<uint32_t>(i / static_cast<size_t>(side));
        maps.colour[i] = ((x * 7) & 0xFF) << 16 | ((y * 3) & 0xFF) << 8 | ((x ^ y) & 0xFF);
        maps.height[i] = static_cast<uint16_t>(x * 37 + y * 101);
    }
    if (skyWidth > 0) {
        maps.skyWidth = skyWidth;
        maps.skyHeight = skyHeight;
        maps.sky.resize(static_cast<size_t>(skyWidth) * static_cast<size_t>(skyHeight));
        for (size_t i = 0; i < maps.sky.size(); ++i)
            maps.sky[i] = static_cast<uint32_t>(i * 2654435761u) & 0xFFFFFF;
    }
    return maps;
}

// Any kind of PNG through libpng's simplified writer: `format` PNG_FORMAT_*,
// `linear` for 16-bit channels.
void WriteAnyPng(const std::string& path, int width, int height, uint32_t format) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(width);
    image.height = static_cast<png_uint_32>(height);
    image.format = format;
    std::vector<uint8_t> pixels(PNG_IMAGE_SIZE(image), 0x55);
    ASSERT_TRUE(png_image_write_to_file(&image, path.c_str(), 0, pixels.data(), 0, nullptr));
}

uint32_t Crc32(const uint8_t* data, size_t size) {
    uint32_t crc = 0xFFFFFFFFu;
    for (size_t i = 0; i < size; ++i) {
        crc ^= data[i];
        for (int k = 0; k < 8; ++k)
            crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
    }
    return ~crc;
}

void PutBig32(std::vector<uint8_t>& out, uint32_t v) {
    for (int shift : {24, 16, 8, 0})
        out.push_back(static_cast<uint8_t>(v >> shift));
}

// A PNG's signature and IHDR alone, declaring any size: a huge picture that
// must be refused before a pixel is decoded.
std::vector<uint8_t> HeaderOnlyPng(uint32_t width, uint32_t height, uint8_t depth, uint8_t type) {
    std::vector<uint8_t> out = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    PutBig32(out, 13);
    const size_t start = out.size();
    for (char c : std::string("IHDR"))
        out.push_back(static_cast<uint8_t>(c));
    PutBig32(out, width);
    PutBig32(out, height);
    out.insert(out.end(), {depth, type, 0, 0, 0});
    PutBig32(out, Crc32(out.data() + start, out.size() - start));
    return out;
}

std::vector<uint8_t> ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(HdScene, MapsAndSkyComeBackAsWritten) {
    TempDir dir;
    const HdSceneMaps maps = PatternMaps(512, 700, 300);
    std::string error;
    ASSERT_TRUE(WriteHdScene(maps, dir.Dir(), error)) << error;
    std::vector<std::string> problems;
    const HdSceneMaps back = ReadHdScene(dir.Dir(), problems);
    EXPECT_TRUE(problems.empty()) << problems.front();
    EXPECT_EQ(back.side, 512);
    EXPECT_EQ(back.colour, maps.colour);
    EXPECT_EQ(back.height, maps.height);
    EXPECT_EQ(back.skyWidth, 700);
    EXPECT_EQ(back.skyHeight, 300);
    EXPECT_EQ(back.sky, maps.sky);
}

TEST(HdScene, AFolderWithoutHdFilesHasNoMapsAndNoProblems) {
    TempDir dir;
    std::vector<std::string> problems;
    const HdSceneMaps maps = ReadHdScene(dir.Dir(), problems);
    EXPECT_FALSE(maps.HasMaps());
    EXPECT_FALSE(maps.HasSky());
    EXPECT_TRUE(problems.empty());
}

// Each bad file: what is written, which file the problem names, and its words.
struct BadCase {
    const char* name;
    void (*make)(const TempDir& dir);
    const char* file;     // the file the problem names
    const char* problem;  // words of the problem
    bool mapsKept;        // the pair still read (a bad sky alone)
};

void WriteGoodPair(const TempDir& dir, int side) {
    std::string error;
    ASSERT_TRUE(WriteHdScene(PatternMaps(side), dir.Dir(), error)) << error;
}

// Cuts `name` to `keep` of its bytes.
void Truncate(const TempDir& dir, const char* name, double keep) {
    std::vector<uint8_t> bytes = ReadBytes(dir.File(name));
    bytes.resize(static_cast<size_t>(static_cast<double>(bytes.size()) * keep));
    dir.Write(name, bytes);
}

const BadCase kBadCases[] = {
    {"not square",
     [](const TempDir& d) {
         WriteGoodPair(d, 512);
         std::vector<uint32_t> px(1024 * 512);
         std::string e;
         ASSERT_TRUE(WriteRgbPng(d.File(kHdColourFileName), 1024, 512, px.data(), 1024, e));
     },
     kHdColourFileName, "is 1024 x 512; an HD map must be square", false},
    {"too small",
     [](const TempDir& d) {
         WriteGoodPair(d, 512);
         std::vector<uint32_t> rgb(256 * 256);
         std::string e;
         ASSERT_TRUE(WriteRgbPng(d.File(kHdColourFileName), 256, 256, rgb.data(), 256, e));
     },
     kHdColourFileName, "is 256 x 256; an HD map's side must be 512 to 8192", false},
    {"not a power of two",
     [](const TempDir& d) {
         WriteGoodPair(d, 512);
         std::vector<uint16_t> px(600 * 600);
         std::string e;
         ASSERT_TRUE(WriteGrey16Png(d.File(kHdHeightFileName), 600, 600, px.data(), e));
     },
     kHdHeightFileName, "is 600 x 600; an HD map's side must be a power of two", false},
    {"huge",
     [](const TempDir& d) {
         WriteGoodPair(d, 512);
         d.Write(kHdColourFileName, HeaderOnlyPng(1u << 30, 1u << 30, 8, 2));
     },
     kHdColourFileName, "is 1073741824 x 1073741824; an HD map's side must be 512 to 8192", false},
    {"16384 a side",
     [](const TempDir& d) {
         WriteGoodPair(d, 512);
         d.Write(kHdHeightFileName, HeaderOnlyPng(16384, 16384, 16, 0));
     },
     kHdHeightFileName, "is 16384 x 16384; an HD map's side must be 512 to 8192", false},
    {"truncated colour",
     [](const TempDir& d) {
         WriteGoodPair(d, 512);
         Truncate(d, kHdColourFileName, 0.5);
     },
     kHdColourFileName, "is truncated or damaged", false},
    {"truncated height, IEND cut",
     [](const TempDir& d) {
         WriteGoodPair(d, 512);
         const std::vector<uint8_t> bytes = ReadBytes(d.File(kHdHeightFileName));
         d.Write(kHdHeightFileName, std::vector<uint8_t>(bytes.begin(), bytes.end() - 6));
     },
     kHdHeightFileName, "is truncated or damaged", false},
    {"empty",
     [](const TempDir& d) {
         WriteGoodPair(d, 512);
         d.Write(kHdColourFileName, std::vector<uint8_t>{});
     },
     kHdColourFileName, "is empty", false},
    {"not a PNG",
     [](const TempDir& d) {
         WriteGoodPair(d, 512);
         d.Write(kHdHeightFileName, std::string("BM not a png at all"));
     },
     kHdHeightFileName, "is not a PNG file", false},
    {"pair of different sides",
     [](const TempDir& d) {
         WriteGoodPair(d, 1024);
         std::vector<uint16_t> px(512 * 512);
         std::string e;
         ASSERT_TRUE(WriteGrey16Png(d.File(kHdHeightFileName), 512, 512, px.data(), e));
     },
     kHdHeightFileName, "the two HD maps must have the same side", false},
    {"colour alone",
     [](const TempDir& d) {
         WriteGoodPair(d, 512);
         std::filesystem::remove(d.File(kHdHeightFileName));
     },
     kHdColourFileName, "has no hd-height.png beside it", false},
    {"height alone",
     [](const TempDir& d) {
         WriteGoodPair(d, 512);
         std::filesystem::remove(d.File(kHdColourFileName));
     },
     kHdHeightFileName, "has no hd-colour.png beside it", false},
    {"height of 8-bit grey",
     [](const TempDir& d) {
         WriteGoodPair(d, 512);
         WriteAnyPng(d.File(kHdHeightFileName), 512, 512, PNG_FORMAT_GRAY);
     },
     kHdHeightFileName, "is 8-bit grey; it must be 16-bit grey", false},
    {"colour with alpha",
     [](const TempDir& d) {
         WriteGoodPair(d, 512);
         WriteAnyPng(d.File(kHdColourFileName), 512, 512, PNG_FORMAT_RGBA);
     },
     kHdColourFileName, "is 8-bit RGBA; it must be 8-bit RGB", false},
    {"colour of 16-bit RGB",
     [](const TempDir& d) {
         WriteGoodPair(d, 512);
         WriteAnyPng(d.File(kHdColourFileName), 512, 512, PNG_FORMAT_LINEAR_RGB);
     },
     kHdColourFileName, "is 16-bit RGB; it must be 8-bit RGB", false},
    {"sky of grey",
     [](const TempDir& d) {
         WriteGoodPair(d, 512);
         WriteAnyPng(d.File(kHdSkyFileName), 1024, 512, PNG_FORMAT_GRAY);
     },
     kHdSkyFileName, "is 8-bit grey; it must be 8-bit RGB", true},
    {"sky of 16-bit grey",
     [](const TempDir& d) {
         WriteGoodPair(d, 512);
         WriteAnyPng(d.File(kHdSkyFileName), 1024, 512, PNG_FORMAT_LINEAR_Y);
     },
     kHdSkyFileName, "is 16-bit grey; it must be 8-bit RGB", true},
    {"sky too wide",
     [](const TempDir& d) {
         WriteGoodPair(d, 512);
         d.Write(kHdSkyFileName, HeaderOnlyPng(16385, 256, 8, 2));
     },
     kHdSkyFileName, "is 16385 x 256; an HD sky must be at most 16384 wide", true},
    {"sky too many pixels",
     [](const TempDir& d) {
         WriteGoodPair(d, 512);
         d.Write(kHdSkyFileName, HeaderOnlyPng(16384, 8192, 8, 2));
     },
     kHdSkyFileName, "is 16384 x 8192; an HD sky must be at most", true},
    {"sky truncated",
     [](const TempDir& d) {
         WriteGoodPair(d, 512);
         std::vector<uint32_t> px(2048 * 512, 0x123456);
         for (size_t i = 0; i < px.size(); ++i)
             px[i] = static_cast<uint32_t>(i * 2654435761u) & 0xFFFFFF;
         std::string e;
         ASSERT_TRUE(WriteRgbPng(d.File(kHdSkyFileName), 2048, 512, px.data(), 2048, e));
         Truncate(d, kHdSkyFileName, 0.7);
     },
     kHdSkyFileName, "is truncated or damaged", true},
    {"a folder in the colour map's place",
     [](const TempDir& d) {
         WriteGoodPair(d, 512);
         std::filesystem::remove(d.File(kHdColourFileName));
         std::filesystem::create_directory(d.File(kHdColourFileName));
     },
     kHdColourFileName, "hd-colour.png: ", false},
};

TEST(HdScene, EachBadFileIsNamedWithItsProblemAndLeftOut) {
    for (const BadCase& c : kBadCases) {
        SCOPED_TRACE(c.name);
        TempDir dir;
        c.make(dir);
        std::vector<std::string> problems;
        const HdSceneMaps maps = ReadHdScene(dir.Dir(), problems);
        ASSERT_EQ(problems.size(), 1u);
        const std::string& problem = problems.front();
        EXPECT_EQ(problem.rfind(dir.Dir() + c.file + ": ", 0), 0u) << problem;
        EXPECT_NE(problem.find(c.problem), std::string::npos) << problem;
        EXPECT_EQ(maps.HasMaps(), c.mapsKept) << problem;
        EXPECT_FALSE(maps.HasSky()) << problem;
        if (!maps.HasMaps()) {
            EXPECT_TRUE(maps.colour.empty());
            EXPECT_TRUE(maps.height.empty());
        }
    }
}

TEST(HdScene, SizeChecksAcceptEveryPowerOfTwoFrom512To8192) {
    for (int side = 512; side <= 8192; side *= 2)
        EXPECT_EQ(CheckHdMapSize(side, side), "") << side;
    for (int side : {0, 1, 256, 511, 513, 768, 1000, 8191, 16384})
        EXPECT_NE(CheckHdMapSize(side, side), "") << side;
    EXPECT_EQ(CheckHdSkySize(1, 1), "");
    EXPECT_EQ(CheckHdSkySize(16384, 2048), "");
    EXPECT_NE(CheckHdSkySize(0, 256), "");
    EXPECT_NE(CheckHdSkySize(512, 8193), "");
}

TEST(HdScene, TerrainComesFromTheHdMapsOrTheFaithfulOnes) {
    const auto load = [](const std::string& dir) {
        const ColourTables colours = BuildColourTables();
        return ReadScene(dir + "/Keys2.txt", dir + "/", colours);
    };
    SceneLoad loaded = load(FLYOVER_SOURCE_DIR "/tests/fixtures/small_scene");
    ASSERT_FALSE(loaded.error);
    std::string error;
    // Without HD maps: the faithful maps at the fallback side, the faithful sky.
    const std::optional<HdTerrain> plain =
        BuildSceneHdTerrain(loaded.scene, HdSceneMaps{}, 1024, error);
    ASSERT_TRUE(plain) << error;
    EXPECT_EQ(plain->Side(), 1024);
    EXPECT_EQ(plain->SkyWidth(), 512);
    // With maps but no sky: the maps' side and cells, the faithful sky.
    const HdSceneMaps maps = PatternMaps(512);
    const std::optional<HdTerrain> withMaps = BuildSceneHdTerrain(loaded.scene, maps, 1024, error);
    ASSERT_TRUE(withMaps) << error;
    EXPECT_EQ(withMaps->Side(), 512);
    EXPECT_EQ(withMaps->Level(0).height[777], maps.height[777]);
    EXPECT_EQ(withMaps->Level(0).colour[777] & 0xFFFFFF, maps.colour[777]);
    EXPECT_EQ(withMaps->SkyWidth(), 512);
    EXPECT_EQ(withMaps->SkyHash(), plain->SkyHash());
    // A sky alone: the faithful maps interpolated, the HD sky.
    HdSceneMaps sky = PatternMaps(512, 900, 200);
    sky.side = 0;
    sky.colour.clear();
    sky.height.clear();
    const std::optional<HdTerrain> withSky = BuildSceneHdTerrain(loaded.scene, sky, 1024, error);
    ASSERT_TRUE(withSky) << error;
    EXPECT_EQ(withSky->Side(), 1024);
    EXPECT_EQ(withSky->Level(0).height, plain->Level(0).height);
    EXPECT_EQ(withSky->SkyWidth(), 900);
    EXPECT_EQ(withSky->SkyHeight(), 200);
}

TEST(HdScene, BlockMeansGiveBackTheFaithfulByte) {
    HdSceneMaps maps;
    maps.side = 512;
    maps.height.assign(512 * 512, 0);
    // Cell (3, 5) is the 2 x 2 block at (6, 10): 100.4 * 256 on average rounds to 100.
    for (int y = 10; y < 12; ++y)
        for (int x = 6; x < 8; ++x)
            maps.height[static_cast<size_t>(y) * 512 + static_cast<size_t>(x)] =
                static_cast<uint16_t>(100 * 256 + (x == 6 ? 0 : 205));
    EXPECT_EQ(FaithfulHeightOfBlock(maps, 3, 5), 100);
    maps.height[10 * 512 + 6] = 65535;
    EXPECT_EQ(FaithfulHeightOfBlock(maps, 3, 5), 139);  // 142745 / 1024 = 139.4
    EXPECT_EQ(FaithfulHeightOfBlock(maps, 0, 0), 0);
}

TEST(HdImport, KeepsTheSourceResolutionAsAPowerOfTwo) {
    const struct {
        int width, height, side;
    } cases[] = {{1024, 1024, 1024}, {512, 512, 512},    {8192, 8192, 8192},  {256, 256, 0},
                 {511, 511, 0},      {1000, 1000, 1024}, {600, 600, 512},     {767, 767, 512},
                 {768, 768, 1024},   {1024, 512, 1024},  {12000, 12000, 8192}};
    for (const auto& c : cases)
        EXPECT_EQ(HdSideForPicture(c.width, c.height), c.side) << c.width << " x " << c.height;
}

// A 1024 pair imported: HD maps of 1024 written beside the 256 maps; then a
// small pair imported into the same folder: the old HD maps removed.
TEST(HdImport, WritesHdMapsOfThePairsSideAndRemovesStaleOnes) {
    TempDir dir;
    const auto writePair = [&](int side) {
        std::vector<uint32_t> colour(static_cast<size_t>(side) * static_cast<size_t>(side));
        for (size_t i = 0; i < colour.size(); ++i) {
            const uint32_t x = static_cast<uint32_t>(i % static_cast<size_t>(side));
            const uint32_t y = static_cast<uint32_t>(i / static_cast<size_t>(side));
            const uint32_t v = (x * 255 / static_cast<uint32_t>(side) + y / 8) & 0xFF;
            colour[i] = v << 16 | (255 - v) << 8 | (v / 2);
        }
        std::string error;
        ASSERT_TRUE(WriteRgbPng(dir.File("c.png"), side, side, colour.data(), side, error));
        ASSERT_TRUE(WriteRgbPng(dir.File("h.png"), side, side, colour.data(), side, error));
    };
    ImportSettings settings;
    settings.colourPath = dir.File("c.png");
    settings.heightPath = dir.File("h.png");
    settings.outDir = dir.File("scene");
    writePair(1024);
    ImportedScene scene;
    ImportReport report;
    std::string error;
    ASSERT_TRUE(BuildImportedScene(settings, scene, report, error)) << error;
    EXPECT_EQ(scene.hd.side, 1024);
    EXPECT_EQ(report.hdMaps, "1024 x 1024");
    ASSERT_TRUE(WriteImportedScene(scene, settings.outDir, error, &report)) << error;
    std::vector<std::string> problems;
    HdSceneMaps back = ReadHdScene(settings.outDir, problems);
    EXPECT_TRUE(problems.empty());
    EXPECT_EQ(back.side, 1024);
    EXPECT_EQ(back.height, scene.hd.height);

    writePair(300);
    ImportedScene small;
    ASSERT_TRUE(BuildImportedScene(settings, small, report, error)) << error;
    EXPECT_FALSE(small.hd.HasMaps());
    ASSERT_TRUE(WriteImportedScene(small, settings.outDir, error, &report)) << error;
    back = ReadHdScene(settings.outDir, problems);
    EXPECT_TRUE(problems.empty());
    EXPECT_FALSE(back.HasMaps());
    EXPECT_FALSE(std::filesystem::exists(dir.File("scene/hd-colour.png")));
}

// The generator's HD maps refine its 256 x 256 maps: each 4 x 4 block's
// mean height / 256 rounds to the faithful byte, and the blocks line up
// with the cells the loaded scene's height map has.
TEST(HdGenerated, BlockMeansGiveBackTheLoadedScenesHeights) {
    for (const uint64_t seed : {uint64_t{1}, uint64_t{5}}) {
        TempDir dir;
        std::string error;
        ASSERT_TRUE(WriteScene(GenerateScene(seed), dir.Dir(), error)) << error;
        const ColourTables colours = BuildColourTables();
        SceneLoad load = ReadScene(dir.Dir() + "Keys2.txt", dir.Dir(), colours);
        ASSERT_FALSE(load.error);
        const std::optional<HdTerrain> faithful = BuildHdTerrainFromScene(load.scene, 256, error);
        ASSERT_TRUE(faithful) << error;
        GeneratedHdMaps generated = GenerateHdMaps(seed, kGeneratedHdSide);
        HdSceneMaps maps;
        maps.side = generated.side;
        maps.height = std::move(generated.height);
        int off = 0, differ = 0;
        for (int cy = 0; cy < 256; ++cy)
            for (int cx = 0; cx < 256; ++cx) {
                const int want =
                    faithful->Level(0)
                        .height[static_cast<size_t>(cy) * 256 + static_cast<size_t>(cx)] /
                    256;
                const int got = FaithfulHeightOfBlock(maps, cx, cy);
                differ += got != want;
                off += std::abs(got - want) > 1;
            }
        EXPECT_EQ(differ, 0) << "seed " << seed;
        EXPECT_EQ(off, 0) << "seed " << seed;
        // Finer than the interpolation: the relief varies within a block.
        int varied = 0;
        for (int x = 0; x < 4; ++x)
            varied += maps.height[static_cast<size_t>(512 * 1024 + 512 + x)] !=
                      maps.height[512 * 1024 + 512];
        EXPECT_GT(varied, 0);
    }
}

}  // namespace
