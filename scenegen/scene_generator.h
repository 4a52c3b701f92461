// scene_generator.h -- the whole default scene in memory: pictures, key file, and writing them out
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "scenegen/indexed_image.h"

// File names the generated key file gives the two maps.
inline constexpr char kGeneratedColourMapName[] = "colour.bmp";
inline constexpr char kGeneratedHeightMapName[] = "height.bmp";

// The seed of the scene the build ships.
constexpr uint64_t kDefaultSceneSeed = 1;

// Every file of a scene, as bytes.
struct SceneFiles {
    std::vector<uint8_t> colourMap;  // 8-bit BMP, 256 x 256, 256-colour palette
    std::vector<uint8_t> heightMap;  // 8-bit BMP, 256 x 256, grey palette
    std::vector<uint8_t> sky;        // 8-bit BMP, 512 x 256, 256-colour palette
    std::string keyFile;             // Keys2.txt
};

// Builds the scene for `seed`: the same seed gives the same bytes on every
// machine. Called by "flyover-tool scene" and by the tests.
SceneFiles GenerateScene(uint64_t seed);

// A 256 x 256 height map as a picture: the bytes with a grey palette (entry
// i is grey i), as the demo's height maps are kept.
IndexedImage HeightImage(const std::vector<uint8_t>& heights);

// Writes the four files into `directory` (which must exist) under the names
// the loader looks for. False with a message in `error` on failure.
bool WriteScene(const SceneFiles& files, const std::string& directory, std::string& error);
