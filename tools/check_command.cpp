// check_command.cpp -- "flyover-tool check": loads a scene as the demo does and reports what it
// holds
#include <algorithm>
#include <cstdio>
#include <memory>
#include <set>
#include <string>

#include "flight/flight_review.h"
#include "path/key_path.h"
#include "shared/scene_types.h"
#include "shared/text.h"
#include "tools/commands.h"
#include "tools/tool_scene.h"

namespace {

constexpr OptionSpec kOptions[] = {
    kSceneOption,
    kDisplayOption.WithHelp("the screen the frames are judged on (default 240x320)"),
    WholeOption("--step", "MS", 1, 1000, "1 to 1000 ms",
                "milliseconds between the frames followed, 1 to 1000"),
};

}  // namespace

// As CommandSpec lists them: name, summary, description, options, epilog,
// help column and the work.
constinit const CommandSpec kCheckCommand = {
    "check",
    "load a scene and report its pictures, flight and clearance",
    "Loads the scene in DIR as the demo does and reports, in plain words: each\n"
    "picture's shape and palette, the key count against the key lines present,\n"
    "how long the flight plays, the camera's lowest clearance above the ground\n"
    "(under it, and the highest ground within 2 cells of it; where and when), and\n"
    "whether any frame shows no ground or no sky, or a sky band taller than the\n"
    "sky picture. The flight is followed every MS milliseconds (default 10) with\n"
    "the demo's own path arithmetic, and every such frame is drawn by the real\n"
    "renderer to see what it shows.\n",
    kOptions,
    "Clearances are in height-map bytes (a byte h is h << 17 camera units). A\n"
    "camera at or below the ground under it, or less than 4 bytes above the\n"
    "highest ground near it, is a problem. So is a frame that shows sky in a band\n"
    "(horizon + (height - 0x60000) / 2^18 - 20 rows) more than 255 rows tall: its\n"
    "top rows repeat the sky picture's first row as vertical streaks.\n"
    "\n"
    "Exit status: 0 when the scene has no problem, 1 when it has one or cannot be\n"
    "loaded, 2 for bad arguments.\n",
    27,
    RunCheckCommand};

namespace {

constexpr double kLeastNearClearance = 4.0;
// The most frames followed: a flight longer than that many steps is followed
// at a coarser step, so that a path of a million keys is reviewed in seconds.
constexpr uint32_t kMostFramesFollowed = 20000;

class Report {
public:
    // Names from the scene's files are in the text: control characters are
    // shown escaped.
    void Line(const std::string& text) { std::printf("%s\n", EscapeControls(text).c_str()); }
    void Problem(const std::string& text) {
        std::printf("PROBLEM: %s\n", EscapeControls(text).c_str());
        ++problems_;
    }
    int Problems() const { return problems_; }

private:
    int problems_ = 0;
};

std::string Format(const char* format, auto... values) {
    char text[512];
    std::snprintf(text, sizeof text, format, values...);
    return text;
}

std::string PaletteWords(const BitmapImage& image) {
    if (image.palette.empty() && image.palette565.empty()) return "no palette";
    std::set<uint32_t> distinct;
    if (!image.palette.empty())
        distinct.insert(image.palette.begin(), image.palette.end());
    else
        distinct.insert(image.palette565.begin(), image.palette565.end());
    std::set<uint8_t> used;
    if (image.bitCount == 8) used.insert(image.pixels.begin(), image.pixels.end());
    // The sky's palette has been turned into display colours by now.
    return Format(
        "a palette of 256 entries (%zu distinct %scolours, %zu entries used by the pixels)",
        distinct.size(), image.palette.empty() ? "RGB565 " : "", used.size());
}

void CheckPicture(Report& report, const char* role, const std::string& name,
                  const BitmapImage& image, int width, int height, bool needsPalette) {
    report.Line(Format("%s \"%s\": %d x %d, %d-bit, %s%s", role, name.c_str(), image.width,
                       static_cast<int>(image.Rows()), image.bitCount, PaletteWords(image).c_str(),
                       image.height < 0 ? ", stored top-down" : ""));
    if (image.width != width || static_cast<int>(image.Rows()) != height || image.bitCount != 8)
        report.Problem(Format("the %s must be 8-bit, %d x %d", role, width, height));
    if (needsPalette && !image.HasPalette()) report.Problem(Format("the %s has no palette", role));
}

std::string Where(const FlightSample& s) {
    return Format("at %.2f s, over map cell (%d, %d)", s.timeMs / 1000.0,
                  static_cast<int>((static_cast<uint32_t>(s.camera.x) >> 16) & 255u),
                  static_cast<int>((static_cast<uint32_t>(s.camera.y) >> 16) & 255u));
}

}  // namespace

int RunCheckCommand(const ParsedOptions& options) {
    const int64_t askedStep = options.Whole("--step", 10);

    const std::string dir = AsDirectory(options.Text("--scene"));
    std::printf("Scene in %s\n", EscapeControls(dir).c_str());
    std::unique_ptr<ToolScreen> screen = OpenToolScreen(options.Display("--display"));
    std::unique_ptr<ToolScene> loaded = screen ? ReadToolScene(dir) : nullptr;
    if (!loaded) {
        std::printf("PROBLEM: the scene does not load (see the message above)\n");
        return 1;
    }
    Report report;
    const Scene& scene = loaded->scene;
    const ViewGeometry& view = screen->view;

    const std::string& colourName = loaded->keyFile.colourMapName;
    const std::string& heightName = loaded->keyFile.heightMapName;
    const int32_t declared = loaded->keyFile.keyCount;
    const int32_t interval = loaded->keyFile.keyInterval;
    const KeyPath& path = *scene.path;
    report.Line(
        Format("Key file: colour map \"%s\", height map \"%s\", %d keys declared, %u key "
               "lines present, one key every %d ms",
               colourName.c_str(), heightName.c_str(), declared, path.Count(), interval));
    if (declared < 0 || path.Count() != static_cast<uint32_t>(declared))
        report.Problem("the key count does not match the key lines present");

    CheckPicture(report, "colour map", colourName, scene.colourMap, 256, 256, true);
    CheckPicture(report, "height map", heightName, scene.heightMap, 256, 256, false);
    CheckPicture(report, "sky", kSkyFileName, scene.sky, 512, 256, true);
    if (scene.heightMap.bitCount == 8 && !scene.heightMap.pixels.empty()) {
        int lo = 255, hi = 0;
        for (const uint8_t h : scene.heightMap.pixels) {
            lo = h < lo ? h : lo;
            hi = h > hi ? h : hi;
        }
        report.Line(Format("Heights run from %d to %d", lo, hi));
    }
    const bool mapsUsable = report.Problems() == 0;

    const std::string noFlight = WhyNoFlight(&path, loaded->keyFile);
    const uint32_t duration = noFlight.empty() ? PlayingDuration(path) : 0;
    if (!noFlight.empty()) {
        report.Problem("the flight never plays: " + noFlight);
    } else {
        report.Line(
            Format("The flight plays for %.3f s (keys 0 to %u; the last key only shapes "
                   "the end), then starts again",
                   duration / 1000.0, path.Count() - 2));
    }

    if (duration > 0 && mapsUsable) {
        const uint64_t step = std::max<uint64_t>(
            static_cast<uint64_t>(askedStep),
            (uint64_t{duration} + kMostFramesFollowed - 1) / kMostFramesFollowed);
        if (step > static_cast<uint64_t>(askedStep))
            report.Line(
                Format("The flight is too long to follow every %lld ms: it is followed every "
                       "%llu ms, %u frames at most",
                       static_cast<long long>(askedStep), static_cast<unsigned long long>(step),
                       kMostFramesFollowed));
        const std::vector<FlightSample> samples = SampleFlight(path, static_cast<uint32_t>(step));
        const uint8_t* heights = scene.heightMap.pixels.data();
        const ClearanceReport c = MeasureClearance(samples, heights);
        report.Line(Format("Lowest clearance above the ground under the camera: %.2f bytes, %s",
                           c.lowestUnder, Where(c.atUnder).c_str()));
        report.Line(
            Format("Lowest clearance above the highest ground within %d cells: %.2f bytes, %s",
                   kNearRadius, c.lowestNear, Where(c.atNear).c_str()));
        if (c.lowestUnder <= 0.0)
            report.Problem("the camera goes into the ground");
        else if (c.lowestNear < kLeastNearClearance)
            report.Problem(Format("the camera passes closer than %.0f bytes to the ground",
                                  kLeastNearClearance));

        const int pixels = view.width * (view.bottomRow + 1);
        int leastGround = pixels, leastSky = pixels, noGround = 0, noSky = 0;
        int tallestBand = -1, stretched = 0;
        FlightSample leastGroundAt, leastSkyAt, firstBlind, tallestBandAt, firstStretched;
        for (const FlightSample& s : samples) {
            const ViewContent v =
                MeasureView(heights, view.width, view.bottomRow, s.camera, loaded->sines.data());
            if (v.ground < leastGround) {
                leastGround = v.ground;
                leastGroundAt = s;
            }
            if (v.sky < leastSky) {
                leastSky = v.sky;
                leastSkyAt = s;
            }
            if ((v.ground == 0 || v.sky == 0) && noGround + noSky == 0) firstBlind = s;
            noGround += v.ground == 0;
            noSky += v.sky == 0;
            // Every column that shows sky shows it from the top row, where a
            // band taller than the picture repeats the picture's first row.
            const int band = SkyBand(s.camera, view.bottomRow);
            if (band > tallestBand) {
                tallestBand = band;
                tallestBandAt = s;
            }
            if (band > kTallestSkyBand && v.sky > 0) {
                if (stretched == 0) firstStretched = s;
                ++stretched;
            }
        }
        report.Line(Format("Followed %zu frames, every %llu ms, on a %d x %d view", samples.size(),
                           static_cast<unsigned long long>(step), view.width, view.bottomRow + 1));
        report.Line(Format("Least ground in a frame: %.1f%% of the view, %s",
                           100.0 * leastGround / pixels, Where(leastGroundAt).c_str()));
        report.Line(Format("Least sky in a frame: %.1f%% of the view, %s",
                           100.0 * leastSky / pixels, Where(leastSkyAt).c_str()));
        if (noGround) report.Problem(Format("%d frames show no ground", noGround));
        if (noSky) report.Problem(Format("%d frames show no sky", noSky));
        if (noGround + noSky)
            report.Line(Format("The first such frame is %s", Where(firstBlind).c_str()));
        if (!noGround && !noSky) report.Line("Every frame shows both ground and sky");
        report.Line(Format("Tallest sky band: %d rows (the sky picture has %d), %s", tallestBand,
                           kSkyRows, Where(tallestBandAt).c_str()));
        if (stretched)
            report.Problem(
                Format("%d frames show the sky stretched past its picture (a band of "
                       "more than %d rows repeats its first row), first %s",
                       stretched, kTallestSkyBand, Where(firstStretched).c_str()));
    }

    if (report.Problems() == 0) {
        std::printf("OK: no problems found\n");
        return 0;
    }
    std::printf("%d problem%s found\n", report.Problems(), report.Problems() == 1 ? "" : "s");
    return 1;
}
