// scene_check.cpp -- a scene's pictures, key file and flight judged, as "flyover-tool check"
// reports them
#include "check/scene_check.h"

#include <algorithm>
#include <set>

#include "flight/flight_review.h"
#include "path/key_path.h"
#include "shared/text.h"

namespace {

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

void CheckPicture(SceneCheckReport& report, const char* role, const std::string& name,
                  const BitmapImage& image, int width, int height, bool needsPalette) {
    report.Say(Format("%s \"%s\": %d x %d, %d-bit, %s%s", role, name.c_str(), image.width,
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

// The key file's header against the keys present.
void CheckKeyFile(SceneCheckReport& report, const CheckedScene& checked) {
    const KeyFileHeader& keyFile = checked.keyFile;
    const KeyPath& path = *checked.scene.path;
    report.Say(
        Format("Key file: colour map \"%s\", height map \"%s\", %d keys declared, %u key "
               "lines present, one key every %d ms",
               keyFile.colourMapName.c_str(), keyFile.heightMapName.c_str(), keyFile.keyCount,
               path.Count(), keyFile.keyInterval));
    if (keyFile.keyCount < 0 || path.Count() != static_cast<uint32_t>(keyFile.keyCount))
        report.Problem("the key count does not match the key lines present");
}

// Each picture's shape and palette, and the heights' range.
void CheckPictures(SceneCheckReport& report, const CheckedScene& checked) {
    const Scene& scene = checked.scene;
    CheckPicture(report, "colour map", checked.keyFile.colourMapName, scene.colourMap, 256, 256,
                 true);
    CheckPicture(report, "height map", checked.keyFile.heightMapName, scene.heightMap, 256, 256,
                 false);
    CheckPicture(report, "sky", kSkyFileName, scene.sky, 512, 256, true);
    if (scene.heightMap.bitCount == 8 && !scene.heightMap.pixels.empty()) {
        const auto [lo, hi] =
            std::minmax_element(scene.heightMap.pixels.begin(), scene.heightMap.pixels.end());
        report.Say(Format("Heights run from %d to %d", *lo, *hi));
    }
}

// How long the flight plays, in milliseconds; 0 when it never plays.
uint32_t CheckFlightPlays(SceneCheckReport& report, const CheckedScene& checked) {
    const KeyPath& path = *checked.scene.path;
    const std::string noFlight = WhyNoFlight(&path, checked.keyFile);
    if (!noFlight.empty()) {
        report.Problem("the flight never plays: " + noFlight);
        return 0;
    }
    const uint32_t duration = PlayingDuration(path);
    report.Say(
        Format("The flight plays for %.3f s (keys 0 to %u; the last key only shapes "
               "the end), then starts again",
               duration / 1000.0, path.Count() - 2));
    return duration;
}

// The step the flight is followed at: the one asked for, or coarser for a
// flight of more than kMostFramesFollowed steps.
uint64_t FollowingStep(SceneCheckReport& report, uint32_t duration, int64_t askedStep) {
    const uint64_t step =
        std::max<uint64_t>(static_cast<uint64_t>(askedStep),
                           (uint64_t{duration} + kMostFramesFollowed - 1) / kMostFramesFollowed);
    if (step > static_cast<uint64_t>(askedStep))
        report.Say(
            Format("The flight is too long to follow every %lld ms: it is followed every "
                   "%llu ms, %u frames at most",
                   static_cast<long long>(askedStep), static_cast<unsigned long long>(step),
                   kMostFramesFollowed));
    return step;
}

void CheckClearance(SceneCheckReport& report, const std::vector<FlightSample>& samples,
                    const uint8_t* heights) {
    const ClearanceReport c = MeasureClearance(samples, heights);
    report.Say(Format("Lowest clearance above the ground under the camera: %.2f bytes, %s",
                      c.lowestUnder, Where(c.atUnder).c_str()));
    report.Say(Format("Lowest clearance above the highest ground within %d cells: %.2f bytes, %s",
                      kNearRadius, c.lowestNear, Where(c.atNear).c_str()));
    if (c.lowestUnder <= 0.0)
        report.Problem("the camera goes into the ground");
    else if (c.lowestNear < kLeastNearClearance)
        report.Problem(
            Format("the camera passes closer than %.0f bytes to the ground", kLeastNearClearance));
}

// What the frames followed show, gathered frame by frame.
class ViewTally {
public:
    explicit ViewTally(int pixels) : pixels_(pixels), leastGround_(pixels), leastSky_(pixels) {}

    void Add(const FlightSample& s, const ViewContent& v, int band) {
        if (v.ground < leastGround_) {
            leastGround_ = v.ground;
            leastGroundAt_ = s;
        }
        if (v.sky < leastSky_) {
            leastSky_ = v.sky;
            leastSkyAt_ = s;
        }
        if ((v.ground == 0 || v.sky == 0) && noGround_ + noSky_ == 0) firstBlind_ = s;
        noGround_ += v.ground == 0;
        noSky_ += v.sky == 0;
        // Every column that shows sky shows it from the top row, where a
        // band taller than the picture repeats the picture's first row.
        if (band > tallestBand_) {
            tallestBand_ = band;
            tallestBandAt_ = s;
        }
        if (band > kTallestSkyBand && v.sky > 0) {
            if (stretched_ == 0) firstStretched_ = s;
            ++stretched_;
        }
    }

    void Report(SceneCheckReport& report) const {
        report.Say(Format("Least ground in a frame: %.1f%% of the view, %s",
                          100.0 * leastGround_ / pixels_, Where(leastGroundAt_).c_str()));
        report.Say(Format("Least sky in a frame: %.1f%% of the view, %s",
                          100.0 * leastSky_ / pixels_, Where(leastSkyAt_).c_str()));
        if (noGround_) report.Problem(Format("%d frames show no ground", noGround_));
        if (noSky_) report.Problem(Format("%d frames show no sky", noSky_));
        if (noGround_ + noSky_)
            report.Say(Format("The first such frame is %s", Where(firstBlind_).c_str()));
        if (!noGround_ && !noSky_) report.Say("Every frame shows both ground and sky");
        report.Say(Format("Tallest sky band: %d rows (the sky picture has %d), %s", tallestBand_,
                          kSkyRows, Where(tallestBandAt_).c_str()));
        if (stretched_)
            report.Problem(
                Format("%d frames show the sky stretched past its picture (a band of "
                       "more than %d rows repeats its first row), first %s",
                       stretched_, kTallestSkyBand, Where(firstStretched_).c_str()));
    }

private:
    int pixels_;
    int leastGround_, leastSky_;
    int noGround_ = 0, noSky_ = 0;
    int tallestBand_ = -1, stretched_ = 0;
    FlightSample leastGroundAt_, leastSkyAt_, firstBlind_, tallestBandAt_, firstStretched_;
};

// Every frame followed drawn by the real renderer on `view`: how much ground
// and sky it shows, and how tall its sky band is.
void CheckView(SceneCheckReport& report, const std::vector<FlightSample>& samples,
               const CheckedScene& checked, const ViewGeometry& view, uint64_t step) {
    const uint8_t* heights = checked.scene.heightMap.pixels.data();
    ViewTally tally(view.width * (view.bottomRow + 1));
    for (const FlightSample& s : samples)
        tally.Add(s, MeasureView(heights, view.width, view.bottomRow, s.camera, checked.sines),
                  SkyBand(s.camera, view.bottomRow));
    report.Say(Format("Followed %zu frames, every %llu ms, on a %d x %d view", samples.size(),
                      static_cast<unsigned long long>(step), view.width, view.bottomRow + 1));
    tally.Report(report);
}

}  // namespace

SceneCheckReport CheckScene(const CheckedScene& checked, const ViewGeometry& view, int64_t stepMs) {
    SceneCheckReport report;
    CheckKeyFile(report, checked);
    CheckPictures(report, checked);
    // The flight is followed only over a scene with nothing wrong so far.
    const bool mapsUsable = report.problems == 0;
    const uint32_t duration = CheckFlightPlays(report, checked);
    if (duration == 0 || !mapsUsable) return report;

    const uint64_t step = FollowingStep(report, duration, stepMs);
    const std::vector<FlightSample> samples =
        SampleFlight(*checked.scene.path, static_cast<uint32_t>(step));
    CheckClearance(report, samples, checked.scene.heightMap.pixels.data());
    CheckView(report, samples, checked, view, step);
    return report;
}
