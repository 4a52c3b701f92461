// scene_fuzzer.cpp -- libFuzzer target: a key file and the pictures it names through ReadScene
//
// The input is split at the marker "\n==part==\n" into up to four parts: the
// key file, the colour map, the height map and the sky. The two maps are
// written under the names the key file gives (when they make a plain file
// name here), the sky as "sky.BMP"; parts that are absent leave the file
// missing. A scene that loads is then flown and drawn as the demo would.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include <unistd.h>

#include "fuzz/fuzz_files.h"
#include "path/key_path.h"
#include "platform/frame_buffer.h"
#include "render/tables.h"
#include "render/terrain_renderer.h"
#include "scene/scene_loader.h"
#include "shared/scene_types.h"

namespace {

constexpr std::string_view kMarker = "\n==part==\n";

std::vector<std::string_view> SplitParts(const uint8_t* data, size_t size) {
    const std::string_view all(reinterpret_cast<const char*>(data), size);
    std::vector<std::string_view> parts;
    size_t start = 0;
    while (parts.size() < 3) {
        const size_t at = all.find(kMarker, start);
        if (at == std::string_view::npos) break;
        parts.push_back(all.substr(start, at - start));
        start = at + kMarker.size();
    }
    parts.push_back(all.substr(start));
    return parts;
}

bool IsSpace(char c) {
    return c == ' ' || (c >= '\t' && c <= '\r');
}

// The first `count` white-space separated tokens of the key file, as the
// loader reads its two names.
std::vector<std::string> LeadingTokens(std::string_view text, size_t count) {
    std::vector<std::string> tokens;
    size_t i = 0;
    while (tokens.size() < count) {
        while (i < text.size() && IsSpace(text[i]))
            ++i;
        const size_t start = i;
        while (i < text.size() && !IsSpace(text[i]))
            ++i;
        tokens.emplace_back(text.substr(start, i - start));
    }
    return tokens;
}

// Whether `name` can be written as a file directly inside the scratch directory.
bool IsPlainFileName(const std::string& name) {
    return !name.empty() && name.size() <= 200 && name != "." && name != ".." &&
           name.find('/') == std::string::npos && name.find('\0') == std::string::npos;
}

// What stays from one input to the next: the tables, a screen and a renderer.
struct SceneWorld {
    ColourTables colours = BuildColourTables();
    SineTable sines = BuildSineTable();
    FrameBuffer frame{DisplayShape{}};
    ViewGeometry view = ViewGeometryFor(FramePropertiesOf(frame), frame.TopLeft());
    TerrainRenderer renderer;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static SceneWorld world;
    const std::string& dir = ScratchDir();
    const std::vector<std::string_view> parts = SplitParts(data, size);

    const std::vector<std::string> names = LeadingTokens(parts[0], 2);
    const std::string fileNames[3] = {IsPlainFileName(names[0]) ? names[0] : "colour.bmp",
                                      IsPlainFileName(names[1]) ? names[1] : "height.bmp",
                                      kSkyFileName};
    std::vector<std::string> written;
    for (size_t p = 1; p < parts.size(); ++p) {
        const std::string path = dir + fileNames[p - 1];
        if (WriteScratchFile(path, reinterpret_cast<const uint8_t*>(parts[p].data()),
                             parts[p].size()))
            written.push_back(path);
    }
    const std::string keyPath = dir + kKeyFileName;
    if (WriteScratchFile(keyPath, reinterpret_cast<const uint8_t*>(parts[0].data()),
                         parts[0].size()))
        written.push_back(keyPath);

    const SceneLoad load = ReadScene(keyPath, dir, world.colours);
    if (load) {
        // The shapes the renderer relies on, then a few frames along the path.
        const Scene& scene = load.scene;
        FUZZ_CHECK(scene.colourMap.bitCount == 8 && scene.colourMap.palette.size() == 256);
        FUZZ_CHECK(scene.heightMap.bitCount == 8);
        FUZZ_CHECK(scene.sky.width == 512 && scene.sky.palette565.size() == 256);
        FUZZ_CHECK(scene.path != nullptr);
        const TerrainSources sources = SceneSources(scene, world.sines);
        const uint32_t count = std::min<uint32_t>(scene.path->Count(), 3);
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t t = static_cast<uint32_t>(scene.path->Key(i).time);
            CameraState camera;
            for (uint32_t time : {t, t + 1})
                if (CameraAtTime(*scene.path, static_cast<float>(time), camera))
                    world.renderer.Draw(world.view, sources, camera);
        }
    } else {
        FUZZ_CHECK(!load.error->message.empty());
    }

    for (const std::string& path : written)
        ::unlink(path.c_str());
    return 0;
}
