// hd_scene.h -- a scene's HD maps: true-colour and 16-bit height maps of a power-of-two side
// and a true-colour sky, kept as PNG files beside the faithful maps; read with every check
// and written
#pragma once

#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "render/hd_terrain.h"

// The files, in the scene's folder. The demo and the faithful view never
// read them; the key file does not name them.
inline constexpr char kHdColourFileName[] = "hd-colour.png";  // 8-bit RGB, side x side
inline constexpr char kHdHeightFileName[] = "hd-height.png";  // 16-bit grey, side x side
inline constexpr char kHdSkyFileName[] = "hd-sky.png";        // 8-bit RGB, any size in bounds

// Map sides a scene's HD maps may have: powers of two from 512 to 8192.
// They cover the same ground as the 256 x 256 maps (one faithful cell is
// side / 256 HD cells), so the key file's coordinates hold for both.
inline constexpr int kHdSceneMinSide = 512;
inline constexpr int kHdSceneMaxSide = 8192;
// The sky: 1 to 16384 columns, 1 to 8192 rows, at most 2^25 pixels (128 MB).
inline constexpr int kHdSceneMaxSkyWidth = 16384;
inline constexpr int kHdSceneMaxSkyHeight = 8192;
inline constexpr int64_t kHdSceneMaxSkyPixels = int64_t{1} << 25;

// A scene's HD maps in memory. Colour is 0x00RRGGBB, height h16 (h8 x 256
// matches a faithful height byte), cell = y * side + x; the sky row 0 at the top.
struct HdSceneMaps {
    int side = 0;  // 0: no maps
    std::vector<uint32_t> colour;
    std::vector<uint16_t> height;
    int skyWidth = 0;  // 0: no sky
    int skyHeight = 0;
    std::vector<uint32_t> sky;

    bool HasMaps() const { return side > 0; }
    bool HasSky() const { return skyWidth > 0; }
};

// Why a colour or height map of width x height cannot be used ("" when it can).
std::string CheckHdMapSize(int width, int height);
// Why a sky of width x height cannot be used ("" when it can).
std::string CheckHdSkySize(int width, int height);

// Reads one file from an open stream; false with the problem (without the
// file's name) in `error`. Colour and height also check the map side, the
// sky its size.
bool ReadHdColourMap(std::FILE* file, HdSceneMaps& maps, std::string& error);
bool ReadHdHeightMap(std::FILE* file, HdSceneMaps& maps, std::string& error);
bool ReadHdSky(std::FILE* file, HdSceneMaps& maps, std::string& error);

// Reads the HD files of the scene in `directory`. Files that are absent are
// no problem (a scene without HD maps has none). Each bad file adds a line to
// `problems` naming the file and what is wrong with it, and is left out: the
// colour and height maps come as a pair (both, the same side) or not at all;
// the sky stands alone.
HdSceneMaps ReadHdScene(const std::string& directory, std::vector<std::string>& problems);

// Writes the maps (when HasMaps) and the sky (when HasSky) into `directory`
// under the names above. False with a message naming the file on failure.
bool WriteHdScene(const HdSceneMaps& maps, const std::string& directory, std::string& error);

// The HD terrain of a loaded scene: its HD maps where it has them, otherwise
// the 256 x 256 maps interpolated to `fallbackSide` (BuildHdTerrainFromScene);
// its HD sky where it has one, otherwise its faithful sky. Refuses what
// BuildHdTerrain and BuildHdTerrainFromScene refuse, with the message in `error`.
std::optional<HdTerrain> BuildSceneHdTerrain(const Scene& scene, const HdSceneMaps& maps,
                                             int fallbackSide, std::string& error);

// The faithful height byte the HD heights give back for cell (cellX, cellY)
// of the 256 x 256 map: the mean of the side/256 x side/256 block of HD
// heights over the cell, / 256, rounded. HD maps that refine a scene's
// 256 x 256 maps give back its bytes (within 1).
uint8_t FaithfulHeightOfBlock(const HdSceneMaps& maps, int cellX, int cellY);
