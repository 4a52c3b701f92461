// importer.cpp -- the import's steps in order: read and fit the pictures, blend the edges,
// make the palette and the height bytes, the sky, the flight, and the checked, all-or-nothing
// write
#include "tools/import/importer.h"

#include <algorithm>
#include <cmath>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "path/key_path.h"
#include "render/tables.h"
#include "scene/scene_loader.h"
#include "shared/scene_format.h"
#include "shared/text.h"
#include "tools/import/quantize.h"
#include "tools/scenegen/flight.h"
#include "tools/scenegen/flight_review.h"
#include "tools/scenegen/scene_generator.h"
#include "tools/scenegen/sky.h"
#include "tools/scenegen/terrain.h"

namespace {

constexpr int kBlendBand = 24;         // cells bent at each edge of a map that does not tile
constexpr double kLeastClearance = 4;  // what `check` asks, in height bytes
constexpr uint32_t kShortestFlightMs = 60000, kLongestFlightMs = 120000;

std::string Fixed(double value, int decimals = 2) {
    char text[32];
    std::snprintf(text, sizeof text, "%.*f", decimals, value);
    return text;
}

// The fitted map's colours as 8-bit-scale floats, for the quantizer.
std::vector<float> EightBit(const std::vector<float>& rgb16) {
    std::vector<float> rgb(rgb16.size());
    for (size_t i = 0; i < rgb.size(); ++i) rgb[i] = std::clamp(rgb16[i] / 257.0f, 0.0f, 255.0f);
    return rgb;
}

IndexedImage ToIndexed(int width, int height, const std::vector<uint8_t>& indices,
                       const std::vector<Rgb8Colour>& palette) {
    IndexedImage image;
    image.width = width;
    image.height = height;
    image.pixels = indices;
    for (size_t i = 0; i < palette.size() && i < 256; ++i)
        image.palette[i] = {palette[i][0], palette[i][1], palette[i][2]};
    return image;
}

// The colours of a fitted picture as palette and indices: an indexed picture
// taken 1:1 is kept as it is; otherwise the picture's own colours (an indexed
// picture's palette, or a picture of at most 256 colours) serve as the palette;
// otherwise a palette is cut from the picture.
IndexedImage MakeColours(const FittedMap& map, bool untouched, bool dither, std::string& how) {
    const std::vector<float> rgb = EightBit(map.rgb);
    std::vector<Rgb8Colour> palette;
    if (map.picture.indexed) {
        palette = map.picture.palette;
        palette.resize(std::min<size_t>(palette.size(), 256));
        if (untouched && !map.indices.empty()) {
            how = "kept exactly: the picture's " + std::to_string(palette.size()) +
                  "-colour palette and its pixels";
            return ToIndexed(map.width, map.height, map.indices, palette);
        }
        how = "the picture's own " + std::to_string(palette.size()) +
              "-colour palette, each cell its nearest entry";
    } else if (!map.colours.empty()) {
        palette = map.colours;
        how = "the picture's own " + std::to_string(palette.size()) +
              " colours as the palette, each cell its nearest";
    } else {
        palette = CutPalette(rgb, 256);
        how = "a palette of " + std::to_string(palette.size()) +
              " colours cut from the picture (median cut and k-means in Oklab" +
              (dither ? ", dithered)" : ")");
    }
    return ToIndexed(map.width, map.height, MapToPalette(rgb, palette, map.width, dither), palette);
}

// Height bytes: cells that average many pixels take the mean of their average
// and their highest pixel, so that peaks narrower than a cell keep half their
// height rather than vanishing; then the full 0..255 range, or the scale given.
std::vector<uint8_t> MakeHeights(const std::vector<float>& heights16,
                                 const std::optional<double>& scale, std::string& how) {
    std::vector<uint8_t> bytes(heights16.size());
    if (scale) {
        for (size_t i = 0; i < bytes.size(); ++i)
            bytes[i] = static_cast<uint8_t>(
                std::clamp(std::lround(heights16[i] / 257.0 * *scale), 0L, 255L));
        how = "the picture's heights times " + Fixed(*scale, 3);
        return bytes;
    }
    const auto [low, high] = std::minmax_element(heights16.begin(), heights16.end());
    const double range = *high - *low;
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = range > 0 ? static_cast<uint8_t>(std::lround((heights16[i] - *low) / range * 255.0))
                             : 0;
    how = "stretched from " + Fixed(*low / 257.0) + ".." + Fixed(*high / 257.0) +
          " to the full 0..255";
    return bytes;
}

std::string ReadText(const std::string& path, bool& ok) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    ok = static_cast<bool>(in) || in.eof();
    return text.str();
}

}  // namespace

bool BuildImportedScene(const ImportSettings& settings, ImportedScene& scene, ImportReport& report,
                        std::string& error) {
    FittedMap colour, height;
    if (!FitPicture(settings.colourPath, kMapSide, kMapSide, settings.source, colour, error) ||
        !FitPicture(settings.heightPath, kMapSide, kMapSide, settings.source, height, error))
        return false;
    report.colourPicture = colour.picture.description;
    report.heightPicture = height.picture.description;
    if (colour.picture.width != height.picture.width ||
        colour.picture.height != height.picture.height)
        report.warnings.push_back(
            "the colour picture is " + std::to_string(colour.picture.width) + " x " +
            std::to_string(colour.picture.height) + " and the height picture " +
            std::to_string(height.picture.width) + " x " + std::to_string(height.picture.height) +
            "; both were brought to 256 x 256 on their own");
    if (!settings.source.region &&
        (colour.picture.width != colour.picture.height || height.picture.width != height.picture.height))
        report.warnings.push_back("a picture that is not square is stretched to the square map");

    // Heights at 16-bit precision until the final rounding.
    std::vector<float> heights16(height.luminance.size());
    for (size_t i = 0; i < heights16.size(); ++i)
        heights16[i] = height.shrunk ? 0.5f * (height.luminance[i] + height.peak[i])
                                     : height.luminance[i];

    // Edges: blended when either map jumps where it repeats.
    report.heightSeamBefore = MeasureSeam(heights16, kMapSide, kMapSide);
    report.colourSeamBefore = MeasureSeam(colour.luminance, kMapSide, kMapSide);
    report.blended = !report.heightSeamBefore.Tiles() || !report.colourSeamBefore.Tiles();
    if (report.blended) {
        BlendEdges(heights16, kMapSide, kMapSide, 1, 0, kBlendBand);
        BlendEdges(colour.luminance, kMapSide, kMapSide, 1, 0, kBlendBand);
        for (int k = 0; k < 3; ++k) BlendEdges(colour.rgb, kMapSide, kMapSide, 3, k, kBlendBand);
    }
    report.heightSeamAfter = MeasureSeam(heights16, kMapSide, kMapSide);
    report.colourSeamAfter = MeasureSeam(colour.luminance, kMapSide, kMapSide);

    const IndexedImage colourImage =
        MakeColours(colour, !report.blended, settings.dither, report.colours);
    const std::vector<uint8_t> heightBytes = MakeHeights(heights16, settings.heightScale,
                                                         report.heights);
    scene.colourMap = EncodeBmp(colourImage);
    scene.heightMap = EncodeBmp(HeightImage(heightBytes));

    // The sky: a picture brought to 512 x 256 (it turns round, so its sides
    // are blended), or generated.
    if (!settings.skyPath.empty()) {
        FittedMap sky;
        if (!FitPicture(settings.skyPath, kSkyWidth, kSkyRows, MapSource{}, sky, error))
            return false;
        report.skyPicture = sky.picture.description;
        if (!MeasureSeam(sky.luminance, kSkyWidth, kSkyRows).Tiles())
            for (int k = 0; k < 3; ++k)
                BlendEdges(sky.rgb, kSkyWidth, kSkyRows, 3, k, kBlendBand, false);
        std::string how;
        scene.sky = EncodeBmp(MakeColours(sky, false, settings.dither, how));
    } else {
        report.skyPicture = "generated (seed " + std::to_string(settings.seed) + ")";
        scene.sky = EncodeBmp(GenerateSky(settings.seed));
    }

    // The flight.
    if (!settings.keysPath.empty()) {
        bool ok = false;
        std::string keys = ReadText(settings.keysPath, ok);
        const size_t first = keys.find('\n');
        const size_t second = first == std::string::npos ? first : keys.find('\n', first + 1);
        if (!ok || second == std::string::npos) {
            error = EscapeControls(settings.keysPath) +
                    ": not a key file (two picture names, then the keys)";
            return false;
        }
        scene.keyFile = std::string(kGeneratedColourMapName) + "\n" + kGeneratedHeightMapName +
                        keys.substr(second);
        report.flight = "the keys of " + EscapeControls(settings.keysPath);
        return true;
    }
    Terrain terrain;
    terrain.height = heightBytes;
    terrain.relief = WrapGrid(kMapSide);
    for (size_t i = 0; i < heightBytes.size(); ++i) terrain.relief.Cells()[i] = heightBytes[i];
    const FlightPlan plan = PlanFlight(terrain, settings.seed);
    scene.keyFile = FormatKeyFile(plan, kGeneratedColourMapName, kGeneratedHeightMapName);
    const std::unique_ptr<KeyPath> path = BuildFlightPath(plan);
    const uint32_t duration = PlayingDuration(*path);
    const ClearanceReport clearance =
        MeasureClearance(SampleFlight(*path, 10), heightBytes.data());
    report.flight = "planned: " + Fixed(duration / 1000.0, 1) + " s, " +
                    std::to_string(plan.keys.size()) + " keys, lowest " +
                    Fixed(clearance.lowestNear, 1) + " height bytes over the ground near it";
    if (duration < kShortestFlightMs || duration > kLongestFlightMs)
        report.unmet.push_back("the flight lasts " + Fixed(duration / 1000.0, 1) +
                               " s, outside 60 to 120 s");
    if (clearance.any && clearance.lowestNear < kLeastClearance)
        report.unmet.push_back("the flight comes within " + Fixed(clearance.lowestNear, 1) +
                               " height bytes of the ground (at " +
                               std::to_string(clearance.atNear.timeMs) + " ms)");
    return true;
}

bool WriteImportedScene(const ImportedScene& scene, const std::string& outDir, std::string& error) {
    namespace fs = std::filesystem;
    const fs::path out = fs::path(outDir).lexically_normal();
    const fs::path parent = out.has_parent_path() ? out.parent_path() : fs::path(".");
    std::error_code ec;
    fs::create_directories(parent, ec);
    if (fs::exists(out, ec) && !fs::is_directory(out, ec)) {
        error = EscapeControls(outDir) + ": exists and is not a folder";
        return false;
    }
    // A new folder beside the output, on the same file system, so that the
    // files move into place by renaming.
    std::string pattern = (parent / ("." + out.filename().string() + ".import-XXXXXX")).string();
    if (!mkdtemp(pattern.data())) {
        error = "cannot make a folder beside " + EscapeControls(outDir) + ": " +
                std::strerror(errno);
        return false;
    }
    const fs::path staging = pattern;
    auto cleanUp = [&] { fs::remove_all(staging, ec); };
    SceneFiles files{scene.colourMap, scene.heightMap, scene.sky, scene.keyFile};
    if (!WriteScene(files, staging.string(), error)) {
        cleanUp();
        return false;
    }
    const SceneLoad load = ReadScene(AsDirectory(staging.string()) + kKeyFileName,
                                     AsDirectory(staging.string()), BuildColourTables());
    if (!load) {
        error = "the imported scene does not load: " + load.error->reason;
        cleanUp();
        return false;
    }
    fs::create_directories(out, ec);
    for (const char* name : {kGeneratedColourMapName, kGeneratedHeightMapName, kSkyFileName,
                             kKeyFileName}) {
        fs::rename(staging / name, out / name, ec);
        if (ec) {
            error = "cannot move " + std::string(name) + " into " + EscapeControls(outDir) + ": " +
                    ec.message();
            cleanUp();
            return false;
        }
    }
    cleanUp();
    return true;
}
