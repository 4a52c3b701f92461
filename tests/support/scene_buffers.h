// scene_buffers.h -- for tests: a scene held in memory as the renderer reads it
#pragma once

#include <cstdint>
#include <vector>

#include "render/tables.h"
#include "render/terrain_view.h"

// The maps, the sky with its RGB565 palette, a shade table and the sines, at
// the sizes the renderer reads, every byte 0 at first. Tests fill them as
// their cases need.
struct SceneBuffers {
    std::vector<uint8_t> heightMap = std::vector<uint8_t>(kMapCells);
    std::vector<uint8_t> colourMap = std::vector<uint8_t>(kMapCells);
    std::vector<uint8_t> sky = std::vector<uint8_t>(kSkyWidth * kSkyRows);
    std::vector<uint16_t> skyPalette = std::vector<uint16_t>(256);
    std::vector<uint32_t> shade = std::vector<uint32_t>(256 * kFogLevels);
    SineTable sines = BuildSineTable();

    TerrainSources Sources() const {
        TerrainSources s;
        s.heightMap = heightMap.data();
        s.colourMap = colourMap.data();
        s.skyPixels = sky.data();
        s.skyPalette = skyPalette.data();
        s.shadeTable = shade.data();
        s.sineTable = sines.data();
        return s;
    }
};
