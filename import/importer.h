// importer.h -- a scene from a colour picture and a height picture: both brought to the
// renderer's 256 x 256, the colours to a palette, the edges blended where the maps do not
// tile, a sky, and a flight planned over the result
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "hdscene/hd_scene.h"
#include "import/map_fit.h"

struct ImportSettings {
    std::string colourPath;
    std::string heightPath;
    std::string skyPath;   // "" for a generated sky
    std::string keysPath;  // "" for a planned flight
    std::string outDir;
    uint64_t seed = 1;
    MapSource source;                   // --fit (default) or --region X,Y
    std::optional<double> heightScale;  // unset: scaled to keep the picture's slopes
    bool dither = false;
};

// What the import did, for its report.
struct ImportReport {
    std::string colourPicture, heightPicture, skyPicture;  // descriptions
    std::vector<std::string> warnings;
    std::string colours;  // how the palette was made
    std::string heights;  // how the heights were made
    SeamMeasure heightSeamBefore, heightSeamAfter, colourSeamBefore, colourSeamAfter;
    bool blended = false;
    std::string hdMaps;              // "1024 x 1024", or "" when none were made
    std::string flight;              // how long, how low
    std::vector<std::string> unmet;  // what the flight could not satisfy
};

// The scene's files in memory; false with a message naming the file and the
// problem when a picture cannot be used.
struct ImportedScene {
    std::vector<uint8_t> colourMap, heightMap, sky;
    std::string keyFile;
    bool keptFlight = false;  // the keys of --keys, not a planned flight
    HdSceneMaps hd;           // the HD maps at the pictures' resolution (none under 512)
};

// The side of the HD maps made from a width x height picture: the picture's
// own side when it is square and a power of two from 512 to 8192; otherwise
// the power of two nearest its larger side (1000 -> 1024, 1600 -> 2048,
// 12000 -> 8192, within 512..8192); 0 for a picture under 512 a side.
int HdSideForPicture(int width, int height);
bool BuildImportedScene(const ImportSettings& settings, ImportedScene& scene, ImportReport& report,
                        std::string& error);

// Writes the scene into settings.outDir: every file is written and the whole
// scene loaded back in a new folder beside it first, then each file is moved
// into place, so that a failure leaves nothing half-made there. A kept flight
// is followed over the loaded scene as `check` follows it, and what it does
// not satisfy (into the ground, frames without sky or ground) goes into
// `report`'s unmet; the scene is written all the same.
bool WriteImportedScene(const ImportedScene& scene, const std::string& outDir, std::string& error,
                        ImportReport* report = nullptr);
