// hd_scene.cpp -- the HD maps' files: their checks, reading, writing, and the terrain built
// from them
#include "hdscene/hd_scene.h"

#include <cerrno>
#include <cstring>
#include <memory>

#include "hdscene/hd_png.h"
#include "scene/scene_loader.h"
#include "shared/scene_format.h"

namespace {

bool PowerOfTwo(int n) {
    return n > 0 && (n & (n - 1)) == 0;
}

std::string SizeText(int width, int height) {
    return std::to_string(width) + " x " + std::to_string(height);
}

struct FileCloser {
    void operator()(std::FILE* f) const { std::fclose(f); }
};

}  // namespace

std::string CheckHdMapSize(int width, int height) {
    const std::string size = SizeText(width, height);
    if (width != height) return "is " + size + "; an HD map must be square";
    if (width < kHdSceneMinSide || width > kHdSceneMaxSide)
        return "is " + size + "; an HD map's side must be " + std::to_string(kHdSceneMinSide) +
               " to " + std::to_string(kHdSceneMaxSide);
    if (!PowerOfTwo(width))
        return "is " + size + "; an HD map's side must be a power of two (512, 1024, ... 8192)";
    return "";
}

std::string CheckHdSkySize(int width, int height) {
    if (width < 1 || width > kHdSceneMaxSkyWidth || height < 1 || height > kHdSceneMaxSkyHeight ||
        int64_t{width} * height > kHdSceneMaxSkyPixels)
        return "is " + SizeText(width, height) + "; an HD sky must be at most " +
               std::to_string(kHdSceneMaxSkyWidth) + " wide, " +
               std::to_string(kHdSceneMaxSkyHeight) + " high and " +
               std::to_string(kHdSceneMaxSkyPixels) + " pixels";
    return "";
}

bool ReadHdColourMap(std::FILE* file, HdSceneMaps& maps, std::string& error) {
    HdPngPicture picture;
    if (!ReadHdPng(file, HdPngKind::Rgb8, CheckHdMapSize, picture, error)) return false;
    maps.side = picture.width;
    maps.colour = std::move(picture.rgb);
    return true;
}

bool ReadHdHeightMap(std::FILE* file, HdSceneMaps& maps, std::string& error) {
    HdPngPicture picture;
    if (!ReadHdPng(file, HdPngKind::Grey16, CheckHdMapSize, picture, error)) return false;
    maps.side = picture.width;
    maps.height = std::move(picture.grey);
    return true;
}

bool ReadHdSky(std::FILE* file, HdSceneMaps& maps, std::string& error) {
    HdPngPicture picture;
    if (!ReadHdPng(file, HdPngKind::Rgb8, CheckHdSkySize, picture, error)) return false;
    maps.skyWidth = picture.width;
    maps.skyHeight = picture.height;
    maps.sky = std::move(picture.rgb);
    return true;
}

namespace {

// Reads `name` in `dir` with `read`: absent gives false with no problem,
// a bad file false with a problem naming it.
bool ReadOne(const std::string& dir, const char* name,
             bool (*read)(std::FILE*, HdSceneMaps&, std::string&), HdSceneMaps& maps, bool& present,
             std::vector<std::string>& problems) {
    const std::string path = dir + name;
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    present = file != nullptr || errno != ENOENT;
    if (!file) {
        if (present) problems.push_back(path + ": cannot open: " + std::strerror(errno));
        return false;
    }
    std::string error;
    if (!read(file.get(), maps, error)) {
        problems.push_back(path + ": " + error);
        return false;
    }
    return true;
}

}  // namespace

HdSceneMaps ReadHdScene(const std::string& directory, std::vector<std::string>& problems) {
    const std::string dir = AsDirectory(directory);
    HdSceneMaps maps;
    bool colourThere = false, heightThere = false, skyThere = false;
    HdSceneMaps colour, height;
    const bool colourOk =
        ReadOne(dir, kHdColourFileName, ReadHdColourMap, colour, colourThere, problems);
    const bool heightOk =
        ReadOne(dir, kHdHeightFileName, ReadHdHeightMap, height, heightThere, problems);
    if (colourOk && heightOk) {
        if (colour.side != height.side) {
            problems.push_back(dir + kHdHeightFileName + ": is " +
                               SizeText(height.side, height.side) + " but " + dir +
                               kHdColourFileName + " is " + SizeText(colour.side, colour.side) +
                               "; the two HD maps must have the same side");
        } else {
            maps.side = colour.side;
            maps.colour = std::move(colour.colour);
            maps.height = std::move(height.height);
        }
    } else if (colourOk && !heightThere) {
        problems.push_back(dir + kHdColourFileName + ": has no " + kHdHeightFileName +
                           " beside it; the HD maps come as a pair");
    } else if (heightOk && !colourThere) {
        problems.push_back(dir + kHdHeightFileName + ": has no " + kHdColourFileName +
                           " beside it; the HD maps come as a pair");
    }
    ReadOne(dir, kHdSkyFileName, ReadHdSky, maps, skyThere, problems);
    return maps;
}

bool WriteHdScene(const HdSceneMaps& maps, const std::string& directory, std::string& error) {
    const std::string dir = AsDirectory(directory);
    if (maps.HasMaps()) {
        if (!WriteRgbPng(dir + kHdColourFileName, maps.side, maps.side, maps.colour.data(),
                         maps.side, error) ||
            !WriteGrey16Png(dir + kHdHeightFileName, maps.side, maps.side, maps.height.data(),
                            error))
            return false;
    }
    if (maps.HasSky() && !WriteRgbPng(dir + kHdSkyFileName, maps.skyWidth, maps.skyHeight,
                                      maps.sky.data(), maps.skyWidth, error))
        return false;
    return true;
}

std::optional<HdTerrain> BuildSceneHdTerrain(const Scene& scene, const HdSceneMaps& maps,
                                             int fallbackSide, std::string& error) {
    if (!maps.HasMaps() && !maps.HasSky())
        return BuildHdTerrainFromScene(scene, fallbackSide, error);
    // What the scene lacks in HD comes from its faithful files: the sky
    // cheaply at side 256, the maps interpolated.
    const std::optional<HdTerrain> faithful =
        BuildHdTerrainFromScene(scene, maps.HasMaps() ? 256 : fallbackSide, error);
    if (!faithful) return std::nullopt;
    HdMaps input;
    if (maps.HasMaps()) {
        input.side = maps.side;
        input.colour = maps.colour;
        input.height = maps.height;
    } else {
        const HdLevel& level = faithful->Level(0);
        const size_t cells = static_cast<size_t>(level.side) * static_cast<size_t>(level.side);
        input.side = level.side;
        input.colour = std::span<const uint32_t>(level.colour.data(), cells);
        input.height = std::span<const uint16_t>(level.height.data(), cells);
    }
    if (maps.HasSky()) {
        input.skyWidth = maps.skyWidth;
        input.skyHeight = maps.skyHeight;
        input.sky = maps.sky;
    } else {
        input.skyWidth = faithful->SkyWidth();
        input.skyHeight = faithful->SkyHeight();
        input.sky =
            std::span<const uint32_t>(faithful->Sky(), static_cast<size_t>(input.skyWidth) *
                                                           static_cast<size_t>(input.skyHeight));
    }
    return BuildHdTerrain(input, error);
}

uint8_t FaithfulHeightOfBlock(const HdSceneMaps& maps, int cellX, int cellY) {
    const int k = maps.side / kMapSide;
    uint64_t sum = 0;
    for (int y = cellY * k; y < (cellY + 1) * k; ++y)
        for (int x = cellX * k; x < (cellX + 1) * k; ++x)
            sum += maps.height[static_cast<size_t>(y) * static_cast<size_t>(maps.side) +
                               static_cast<size_t>(x)];
    const uint64_t count = static_cast<uint64_t>(k) * static_cast<uint64_t>(k) * 256;
    const uint64_t rounded = (sum + count / 2) / count;
    return static_cast<uint8_t>(rounded > 255 ? 255 : rounded);
}
