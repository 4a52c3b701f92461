// importer.cpp -- the import's steps in order: read and fit the pictures, blend the edges,
// make the palette and the height bytes, the sky, the flight, and the checked, all-or-nothing
// write
#include "import/importer.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "flight/flight_plan.h"
#include "flight/flight_review.h"
#include "import/quantize.h"
#include "path/key_path.h"
#include "render/tables.h"
#include "scene/scene_loader.h"
#include "scenegen/scene_generator.h"
#include "scenegen/sky.h"
#include "shared/scene_format.h"
#include "shared/text.h"

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
    for (size_t i = 0; i < rgb.size(); ++i)
        rgb[i] = std::clamp(rgb16[i] / 257.0f, 0.0f, 255.0f);
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

std::string Percent(size_t part, size_t whole) {
    return Fixed(100.0 * static_cast<double>(part) / static_cast<double>(whole), 1) + " %";
}

// Height bytes from the fitted heights (16-bit scale), the scale given or, by
// default, the factor that keeps the picture's slopes: a map of 256 cells
// across shows the same ground as the picture's W pixels, so a step of s
// height bytes between neighbouring pixels is a step of s x W / 256 between
// neighbouring cells, and the heights are multiplied (from the lowest cell,
// which becomes 0) until the map's mean step is that. Stretching them to the
// full 0..255 instead would make a shrunk picture's hills needles.
// `mapping`, when given, receives the affine map used: byte = (h16 - low) / 257 x factor.
struct HeightMapping {
    double low = 0, factor = 0;
};
std::vector<uint8_t> MakeHeights(const std::vector<float>& heights16, const FittedMap& picture,
                                 const std::optional<double>& scale, std::string& how,
                                 std::vector<std::string>& warnings,
                                 HeightMapping* mapping = nullptr) {
    std::vector<uint8_t> bytes(heights16.size());
    const std::string range =
        Fixed(picture.sourceLow / 257.0) + ".." + Fixed(picture.sourceHigh / 257.0);
    if (scale) {
        size_t clipped = 0;
        for (size_t i = 0; i < bytes.size(); ++i) {
            const long value = std::lround(heights16[i] / 257.0 * *scale);
            clipped += value > 255;
            bytes[i] = static_cast<uint8_t>(std::clamp(value, 0L, 255L));
        }
        char factor[32];
        std::snprintf(factor, sizeof factor, "%g", *scale);
        if (mapping) *mapping = {0, *scale};
        how = "the picture's heights (" + range + ") times " + factor;
        if (clipped)
            warnings.push_back("--height-scale " + std::string(factor) + " puts " +
                               std::to_string(clipped) + " cells (" +
                               Percent(clipped, bytes.size()) +
                               " of the map) above 255; they are cut to 255");
        return bytes;
    }
    const auto [lowest, highest] = std::minmax_element(heights16.begin(), heights16.end());
    const double low = *lowest, span = (*highest - low) / 257.0;
    const double pictureStep = picture.sourceStep / 257.0 * picture.sourceWidth / kMapSide;
    const double mapStep = MeanStep(heights16, kMapSide, kMapSide) / 257.0;
    if (span <= 0 || mapStep <= 0) {
        std::fill(bytes.begin(), bytes.end(), 0);
        how = "the picture's heights (" + range + ") are flat: every height 0";
        return bytes;
    }
    double factor = pictureStep / mapStep;
    const bool capped = span * factor > 255.0;
    if (capped) factor = 255.0 / span;
    if (mapping) *mapping = {low, factor};
    for (size_t i = 0; i < bytes.size(); ++i)
        bytes[i] = static_cast<uint8_t>(
            std::clamp(std::lround((heights16[i] - low) / 257.0 * factor), 0L, 255L));
    how = "the picture's heights (" + range + ") times " + Fixed(factor, 3) +
          " from the lowest cell, which is 0, ";
    if (capped)
        how += "the most 0..255 holds: slopes " + Fixed(factor * mapStep) +
               " height bytes per cell against the picture's " + Fixed(pictureStep);
    else
        how += "keeping the picture's slopes: " + Fixed(pictureStep) + " height bytes per cell";
    return bytes;
}

// "W x H at X,Y", whole numbers as such.
std::string Piece(double width, double height, double x, double y) {
    auto number = [](double v) {
        return std::fabs(v - std::round(v)) < 1e-6 ? std::to_string(std::llround(v)) : Fixed(v, 1);
    };
    return number(width) + " x " + number(height) + " at " + number(x) + "," + number(y);
}

std::string Size(const PictureInfo& info) {
    return std::to_string(info.width) + " x " + std::to_string(info.height);
}

// The followed flight of a key file kept with --keys, over the imported
// ground, measured as `check` measures it: how it went, and what it does not
// satisfy.
void ReviewKeptFlight(const SceneLoad& load, std::string& flight, std::vector<std::string>& unmet) {
    const std::string noFlight = WhyNoFlight(load.scene.path.get(), load.keyFile);
    if (!noFlight.empty()) {
        unmet.push_back("the flight never plays: " + noFlight);
        return;
    }
    const uint8_t* heights = load.scene.heightMap.pixels.data();
    const std::vector<FlightSample> samples = SampleFlight(*load.scene.path, 10);
    auto where = [](const FlightSample& s) {
        return "at " + Fixed(s.timeMs / 1000.0) + " s, over map cell (" +
               std::to_string((static_cast<uint32_t>(s.camera.x) >> 16) & 255u) + ", " +
               std::to_string((static_cast<uint32_t>(s.camera.y) >> 16) & 255u) + ")";
    };
    const ClearanceReport clearance = MeasureClearance(samples, heights);
    if (clearance.any)
        flight += ", followed: " + Fixed(PlayingDuration(*load.scene.path) / 1000.0, 1) +
                  " s, lowest " + Fixed(clearance.lowestNear, 1) +
                  " height bytes over the ground near it";
    if (clearance.any && clearance.lowestUnder <= 0)
        unmet.push_back("the camera goes into the ground (" + where(clearance.atUnder) + ")");
    else if (clearance.any && clearance.lowestNear < kLeastClearance)
        unmet.push_back("the flight comes within " + Fixed(clearance.lowestNear, 1) +
                        " height bytes of the ground (" + where(clearance.atNear) + ")");
    int noGround = 0, noSky = 0;
    const FlightSample* firstNoGround = nullptr;
    const FlightSample* firstNoSky = nullptr;
    for (const FlightSample& s : samples) {
        const ViewContent v = MeasureView(heights, kPlannedViewWidth, kPlannedBottomRow, s.camera,
                                          ReproducibleSineTable());
        if (v.ground == 0 && !noGround++) firstNoGround = &s;
        if (v.sky == 0 && !noSky++) firstNoSky = &s;
    }
    if (noGround)
        unmet.push_back(std::to_string(noGround) + " frames show no ground (the first " +
                        where(*firstNoGround) + ")");
    if (noSky)
        unmet.push_back(std::to_string(noSky) + " frames show no sky (the first " +
                        where(*firstNoSky) + ")");
}

std::string ReadText(const std::string& path, bool& ok) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    ok = static_cast<bool>(in) || in.eof();
    return text.str();
}

}  // namespace

int HdSideForPicture(int width, int height) {
    const int larger = std::max(width, height);
    if (larger < kHdSceneMinSide) return 0;
    if (width == height && CheckHdMapSize(width, height).empty()) return width;
    // The power of two nearest the larger side (by ratio), within 512..8192.
    int side = kHdSceneMinSide;
    while (side < kHdSceneMaxSide && larger >= side * 3 / 2)
        side *= 2;
    return side;
}

namespace {

// The HD maps at the pictures' own resolution (HdSideForPicture of the larger
// picture), the same ground as the 256 x 256 maps: colours as read, heights
// through the 256 map's mapping at 16 bits, edges blended as theirs were.
// Pictures under 512 pixels a side give none.
bool MakeHdMaps(const ImportSettings& settings, const MapSource& colourSource,
                const MapSource& heightSource, const HeightMapping& mapping, ImportReport& report,
                HdSceneMaps& hd, std::string& error) {
    PictureInfo colourInfo, heightInfo;
    if (!ReadPictureInfo(settings.colourPath, colourInfo, error) ||
        !ReadPictureInfo(settings.heightPath, heightInfo, error))
        return false;
    const int side = std::max(HdSideForPicture(colourInfo.width, colourInfo.height),
                              HdSideForPicture(heightInfo.width, heightInfo.height));
    if (side == 0) return true;
    FittedMap colour, height;
    if (!FitPicture(settings.colourPath, side, side, colourSource, colour, error) ||
        !FitPicture(settings.heightPath, side, side, heightSource, height, error))
        return false;
    const size_t cells = static_cast<size_t>(side) * static_cast<size_t>(side);
    std::vector<float> heights16(cells);
    for (size_t i = 0; i < cells; ++i)
        heights16[i] =
            height.shrunk ? 0.5f * (height.luminance[i] + height.peak[i]) : height.luminance[i];
    height = {};
    if (report.blended) {
        const int band = kBlendBand * side / kMapSide;
        BlendEdges(heights16, side, side, 1, 0, band);
        for (int k = 0; k < 3; ++k)
            BlendEdges(colour.rgb, side, side, 3, k, band);
    }
    hd.side = side;
    hd.height.resize(cells);
    for (size_t i = 0; i < cells; ++i) {
        const double h = (std::clamp(heights16[i], 0.0f, 65535.0f) - mapping.low) / 257.0 *
                         mapping.factor * 256.0;
        hd.height[i] = static_cast<uint16_t>(std::clamp(std::lround(h), 0L, 65535L));
    }
    hd.colour.resize(cells);
    const auto channel = [&](size_t i) {
        return static_cast<uint32_t>(std::clamp(std::lround(colour.rgb[i] / 257.0), 0L, 255L));
    };
    for (size_t i = 0; i < cells; ++i)
        hd.colour[i] = channel(i * 3) << 16 | channel(i * 3 + 1) << 8 | channel(i * 3 + 2);
    report.hdMaps = std::to_string(side) + " x " + std::to_string(side);
    return true;
}

}  // namespace

bool BuildImportedScene(const ImportSettings& settings, ImportedScene& scene, ImportReport& report,
                        std::string& error) {
    // With --region and pictures of different sizes, the region lies in the
    // larger picture (the colour picture when they hold as many pixels) and is
    // taken from it 1:1; the same ground, scaled, is taken from the other.
    MapSource colourSource = settings.source, heightSource = settings.source;
    bool heightLeads = false;
    std::string scaledRegion;
    if (settings.source.region) {
        PictureInfo colourInfo, heightInfo;
        if (!ReadPictureInfo(settings.colourPath, colourInfo, error) ||
            !ReadPictureInfo(settings.heightPath, heightInfo, error))
            return false;
        if (colourInfo.width != heightInfo.width || colourInfo.height != heightInfo.height) {
            heightLeads = int64_t{heightInfo.width} * heightInfo.height >
                          int64_t{colourInfo.width} * colourInfo.height;
            const PictureInfo& lead = heightLeads ? heightInfo : colourInfo;
            const PictureInfo& other = heightLeads ? colourInfo : heightInfo;
            MapSource& scaled = heightLeads ? colourSource : heightSource;
            const double sx = static_cast<double>(other.width) / lead.width;
            const double sy = static_cast<double>(other.height) / lead.height;
            scaled = MapSource{};
            scaled.left = settings.source.x * sx;
            scaled.top = settings.source.y * sy;
            scaled.width = kMapSide * sx;
            scaled.height = kMapSide * sy;
            const std::string leadRole = heightLeads ? "height" : "colour";
            const std::string otherRole = heightLeads ? "colour" : "height";
            scaledRegion = "the colour picture is " + Size(colourInfo) +
                           " and the height picture " + Size(heightInfo) + "; the region " +
                           Piece(kMapSide, kMapSide, settings.source.x, settings.source.y) +
                           " was taken 1:1 from the " + leadRole +
                           " picture, and the same ground, " +
                           Piece(scaled.width, scaled.height, scaled.left, scaled.top) +
                           ", from the " + otherRole + " picture, scaled to 256 x 256";
            if (std::fabs(scaled.width - scaled.height) > 1e-6)
                scaledRegion += " (stretched: the pictures' shapes differ)";
        }
    }
    FittedMap colour, height;
    auto fitColour = [&] {
        return FitPicture(settings.colourPath, kMapSide, kMapSide, colourSource, colour, error);
    };
    auto fitHeight = [&] {
        return FitPicture(settings.heightPath, kMapSide, kMapSide, heightSource, height, error);
    };
    if (heightLeads ? !fitHeight() || !fitColour() : !fitColour() || !fitHeight()) return false;
    report.colourPicture = colour.picture.description;
    report.heightPicture = height.picture.description;
    if (!scaledRegion.empty())
        report.warnings.push_back(scaledRegion);
    else if (colour.picture.width != height.picture.width ||
             colour.picture.height != height.picture.height)
        report.warnings.push_back("the colour picture is " + Size(colour.picture) +
                                  " and the height picture " + Size(height.picture) +
                                  "; both were brought to 256 x 256 on their own");
    if (!settings.source.region && (colour.picture.width != colour.picture.height ||
                                    height.picture.width != height.picture.height))
        report.warnings.push_back("a picture that is not square is stretched to the square map");
    if (height.colouredShare > 0.001)
        report.warnings.push_back("the height picture has colours (in " +
                                  Fixed(100 * height.colouredShare, 1) +
                                  " % of its pixels red, green and blue differ); its heights "
                                  "are taken from their luminance");

    // Heights at 16-bit precision until the final rounding.
    std::vector<float> heights16(height.luminance.size());
    for (size_t i = 0; i < heights16.size(); ++i)
        heights16[i] =
            height.shrunk ? 0.5f * (height.luminance[i] + height.peak[i]) : height.luminance[i];

    // Edges: blended when either map jumps where it repeats.
    report.heightSeamBefore = MeasureSeam(heights16, kMapSide, kMapSide);
    report.colourSeamBefore = MeasureSeam(colour.luminance, kMapSide, kMapSide);
    report.blended = !report.heightSeamBefore.Tiles() || !report.colourSeamBefore.Tiles();
    if (report.blended) {
        BlendEdges(heights16, kMapSide, kMapSide, 1, 0, kBlendBand);
        BlendEdges(colour.luminance, kMapSide, kMapSide, 1, 0, kBlendBand);
        for (int k = 0; k < 3; ++k)
            BlendEdges(colour.rgb, kMapSide, kMapSide, 3, k, kBlendBand);
        // The bending may carry a cell past the picture's range.
        for (float& h : heights16)
            h = std::clamp(h, 0.0f, 65535.0f);
    }
    report.heightSeamAfter = MeasureSeam(heights16, kMapSide, kMapSide);
    report.colourSeamAfter = MeasureSeam(colour.luminance, kMapSide, kMapSide);

    const IndexedImage colourImage =
        MakeColours(colour, !report.blended, settings.dither, report.colours);
    HeightMapping mapping;
    const std::vector<uint8_t> heightBytes = MakeHeights(heights16, height, settings.heightScale,
                                                         report.heights, report.warnings, &mapping);
    scene.colourMap = EncodeBmp(colourImage);
    scene.heightMap = EncodeBmp(HeightImage(heightBytes));
    if (!settings.source.region &&
        !MakeHdMaps(settings, colourSource, heightSource, mapping, report, scene.hd, error))
        return false;

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
        scene.keptFlight = true;
        return true;
    }
    FlightGround ground{heightBytes, WrapGrid(kMapSide)};
    for (size_t i = 0; i < heightBytes.size(); ++i)
        ground.surface.Cells()[i] = heightBytes[i];
    const FlightPlan plan = PlanFlight(ground, settings.seed);
    scene.keyFile = FormatKeyFile(plan, kGeneratedColourMapName, kGeneratedHeightMapName);
    const std::unique_ptr<KeyPath> path = BuildFlightPath(plan);
    const uint32_t duration = PlayingDuration(*path);
    const ClearanceReport clearance = MeasureClearance(SampleFlight(*path, 10), heightBytes.data());
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

bool WriteImportedScene(const ImportedScene& scene, const std::string& outDir, std::string& error,
                        ImportReport* report) {
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
    // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) at -O3 of a
    // literal added to a string.
    std::string hidden(1, '.');
    hidden += out.filename().string();
    hidden += ".import-XXXXXX";
    std::string pattern = (parent / hidden).string();
    if (!mkdtemp(pattern.data())) {
        error =
            "cannot make a folder beside " + EscapeControls(outDir) + ": " + std::strerror(errno);
        return false;
    }
    const fs::path staging = pattern;
    auto cleanUp = [&] { fs::remove_all(staging, ec); };
    SceneFiles files{scene.colourMap, scene.heightMap, scene.sky, scene.keyFile};
    if (!WriteScene(files, staging.string(), error) ||
        !WriteHdScene(scene.hd, staging.string(), error)) {
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
    if (scene.keptFlight && report) ReviewKeptFlight(load, report->flight, report->unmet);
    fs::create_directories(out, ec);
    for (const char* name :
         {kGeneratedColourMapName, kGeneratedHeightMapName, kSkyFileName, kKeyFileName}) {
        fs::rename(staging / name, out / name, ec);
        if (ec) {
            error = "cannot move " + std::string(name) + " into " + EscapeControls(outDir) + ": " +
                    ec.message();
            cleanUp();
            return false;
        }
    }
    // The HD maps: moved in when made; an earlier import's removed when not,
    // so that they never pair with maps they do not refine.
    for (const char* name : {kHdColourFileName, kHdHeightFileName}) {
        if (scene.hd.HasMaps())
            fs::rename(staging / name, out / name, ec);
        else
            fs::remove(out / name, ec);
        if (ec) {
            error = "cannot " + std::string(scene.hd.HasMaps() ? "move " : "remove the old ") +
                    name + (scene.hd.HasMaps() ? " into " : " in ") + EscapeControls(outDir) +
                    ": " + ec.message();
            cleanUp();
            return false;
        }
    }
    cleanUp();
    return true;
}
