// scene_generator.cpp -- runs terrain, colours, sky and flight planning and lays out the scene's
// files
#include "scenegen/scene_generator.h"

#include "scene/scene_loader.h"

#include "flight/flight_plan.h"
#include "scenegen/colour_map.h"
#include "scenegen/sky.h"
#include "scenegen/terrain.h"

IndexedImage HeightImage(const std::vector<uint8_t>& heights) {
    IndexedImage image;
    image.width = image.height = kMapSide;
    image.pixels = heights;
    for (int i = 0; i < 256; ++i) {
        const uint8_t v = static_cast<uint8_t>(i);
        image.palette[i] = {v, v, v};
    }
    return image;
}

SceneFiles GenerateScene(uint64_t seed) {
    const Terrain terrain = GenerateTerrain(seed);
    SceneFiles files;
    files.heightMap = EncodeBmp(HeightImage(terrain.height));
    files.colourMap = EncodeBmp(GenerateColourMap(terrain, seed));
    files.sky = EncodeBmp(GenerateSky(seed));
    const FlightPlan flight = PlanFlight(FlightGround{terrain.height, terrain.relief}, seed);
    files.keyFile = FormatKeyFile(flight, kGeneratedColourMapName, kGeneratedHeightMapName);
    return files;
}

bool WriteScene(const SceneFiles& files, const std::string& directory, std::string& error) {
    const std::vector<uint8_t> keys(files.keyFile.begin(), files.keyFile.end());
    const std::string dir = AsDirectory(directory);
    return WriteFileBytes(dir + kGeneratedColourMapName, files.colourMap, error) &&
           WriteFileBytes(dir + kGeneratedHeightMapName, files.heightMap, error) &&
           WriteFileBytes(dir + kSkyFileName, files.sky, error) &&
           WriteFileBytes(dir + kKeyFileName, keys, error);
}
