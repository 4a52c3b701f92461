// scene_generator.cpp -- runs terrain, colours, sky and flight planning and lays out the scene's
// files
#include "tools/scenegen/scene_generator.h"

#include "tools/scenegen/colour_map.h"
#include "tools/scenegen/flight.h"
#include "tools/scenegen/sky.h"
#include "tools/scenegen/terrain.h"

namespace {

IndexedImage HeightImage(const Terrain& terrain) {
    IndexedImage image;
    image.width = image.height = kMapSize;
    image.pixels = terrain.height;
    for (int i = 0; i < 256; ++i) {
        const uint8_t v = static_cast<uint8_t>(i);
        image.palette[i] = {v, v, v};
    }
    return image;
}

std::string JoinPath(const std::string& directory, const char* name) {
    if (directory.empty()) return name;
    return directory.back() == '/' ? directory + name : directory + "/" + name;
}

}  // namespace

SceneFiles GenerateScene(uint64_t seed) {
    const Terrain terrain = GenerateTerrain(seed);
    SceneFiles files;
    files.heightMap = EncodeBmp(HeightImage(terrain));
    files.colourMap = EncodeBmp(GenerateColourMap(terrain, seed));
    files.sky = EncodeBmp(GenerateSky(seed));
    const FlightPlan flight = PlanFlight(terrain, seed);
    files.keyFile = FormatKeyFile(flight, kGeneratedColourMapName, kGeneratedHeightMapName);
    return files;
}

bool WriteScene(const SceneFiles& files, const std::string& directory, std::string& error) {
    const std::vector<uint8_t> keys(files.keyFile.begin(), files.keyFile.end());
    return WriteFileBytes(JoinPath(directory, kGeneratedColourMapName), files.colourMap, error) &&
           WriteFileBytes(JoinPath(directory, kGeneratedHeightMapName), files.heightMap, error) &&
           WriteFileBytes(JoinPath(directory, "sky.BMP"), files.sky, error) &&
           WriteFileBytes(JoinPath(directory, "Keys2.txt"), keys, error);
}
