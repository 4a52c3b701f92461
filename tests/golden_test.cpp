// golden_test.cpp -- renders the fixture scene at fixed times and compares picture hashes
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "hdscene/hd_png.h"

#include "render/terrain_renderer.h"
#include "shared/scene_types.h"
#include "tests/support/test_files.h"
#include "tools/commands.h"
#include "tools/tool_scene.h"

namespace {

// FNV-1a over the screen's pixels, row 0 first.
uint64_t HashScreen(const std::vector<uint16_t>& pixels) {
    uint64_t h = 0xcbf29ce484222325ull;
    for (uint16_t p : pixels) {
        for (int shift : {0, 8}) {
            h ^= (p >> shift) & 0xFF;
            h *= 0x100000001b3ull;
        }
    }
    return h;
}

struct GoldenCase {
    const char* display;
    int64_t timeMs;  // or -1 for the fixed camera below
    uint64_t hash;
};

// Any change to a hash here is a change to the picture: it must be explained
// by a deliberate change of the renderer, never accepted blindly.
const GoldenCase kCases[] = {
    {"240x320", 0, 0xa276982bf54d0ee8ull},
    {"240x320", 1500, 0xaad7332cd432c762ull},
    {"240x320", 3999, 0x517e13c3e85b2aadull},
    {"240x320:rot90", 2750, 0x131039ee0e1e1d2eull},
    {"320x240:bottom-up", 2750, 0xb47f096dee9ad942ull},
    {"480x640:rot270", 1234, 0x578fde90599d6ff4ull},
    {"176x220", 3100, 0x83cb2cae07ade6ccull},
    {"240x320", -1, 0x7702099394f52146ull},
};

TEST(Golden, FixtureSceneFramesKeepTheirHashes) {
    for (const auto& c : kCases) {
        DisplayShape shape;
        std::string error;
        ASSERT_TRUE(ParseDisplayShape(c.display, shape, error)) << error;
        const auto screen = OpenToolScreen(shape);
        ASSERT_NE(screen, nullptr);
        const auto loaded = ReadToolScene(FLYOVER_SOURCE_DIR "/tests/fixtures/small_scene");
        ASSERT_NE(loaded, nullptr);
        CameraState camera{8388608 + 123456, 8388608 - 654321, 30000000, -777, 95};
        if (c.timeMs >= 0) {
            ASSERT_TRUE(CameraAtTime(*loaded->scene.path, static_cast<float>(c.timeMs), camera));
        }
        TerrainRenderer().Draw(screen->view, loaded->Sources(), camera);
        const uint64_t hash = HashScreen(screen->Frame().ScreenPixels());
        EXPECT_EQ(hash, c.hash) << c.display << " at " << c.timeMs << ": now 0x" << std::hex
                                << hash;
    }
}

// The HD view through the command, as a user runs it: the default scene the
// build ships (beside flyover-tool), at a fixed time and size, the PNG read
// back and its pixels hashed (not its bytes, which depend on zlib).
struct HdGoldenCase {
    const char* size;
    const char* time;
    uint64_t hash;
};
const HdGoldenCase kHdCases[] = {
    {"640x360", "2000", 0x7461869c4ae03bf7ull},
    {"320x240", "0", 0xc4531eeaea99eb41ull},
};

TEST(Golden, HdViewOfTheDefaultSceneKeepsItsHash) {
    const std::string scene = std::filesystem::path(FLYOVER_TOOL).parent_path().string();
    for (const HdGoldenCase& c : kHdCases) {
        TempDir dir;
        const std::string out = dir.File("hd.png");
        std::vector<std::string> args = {"render", "--scene", scene,  "--time", c.time, "--view",
                                         "hd",     "--size",  c.size, "--out",  out};
        std::vector<char*> argv;
        for (std::string& a : args)
            argv.push_back(a.data());
        ASSERT_EQ(RunCommand(kRenderCommand, static_cast<int>(argv.size()) - 1, argv.data() + 1),
                  0);
        std::FILE* file = std::fopen(out.c_str(), "rb");
        ASSERT_NE(file, nullptr);
        HdPngPicture picture;
        std::string error;
        const bool read = ReadHdPng(
            file, HdPngKind::Rgb8, [](int, int) { return std::string(); }, picture, error);
        std::fclose(file);
        ASSERT_TRUE(read) << error;
        uint64_t h = 0xcbf29ce484222325ull;
        for (uint32_t p : picture.rgb)
            for (int shift : {0, 8, 16}) {
                h ^= (p >> shift) & 0xFF;
                h *= 0x100000001b3ull;
            }
        EXPECT_EQ(h, c.hash) << c.size << " at " << c.time << " ms: now 0x" << std::hex << h;
    }
}

}  // namespace
