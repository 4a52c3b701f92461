// sky.cpp -- gradient sky with perspective clouds, wrapping round horizontally
#include "scenegen/sky.h"

#include "scenegen/noise.h"
#include "shared/exact_math.h"

namespace {

constexpr int kLevels = 32;      // gradient steps
constexpr int kCloudLevels = 8;  // cloud densities per step

struct Rgb {
    double r, g, b;
};

// Sky colour at elevation e: 0 at the horizon, 1 at the picture's top row.
Rgb SkyColour(double e) {
    const Rgb horizon = {236, 242, 250}, low = {150, 190, 230}, zenith = {38, 86, 168};
    if (e < 0.18) {
        const double u = e / 0.18;
        return {Lerp(horizon.r, low.r, u), Lerp(horizon.g, low.g, u), Lerp(horizon.b, low.b, u)};
    }
    const double u = (e - 0.18) / 0.82;
    const double f = 1.0 - (1.0 - u) * (1.0 - u);
    return {Lerp(low.r, zenith.r, f), Lerp(low.g, zenith.g, f), Lerp(low.b, zenith.b, f)};
}

// Clouds: white where thin and sunlit, a soft blue-grey in their thick cores.
Rgb CloudColour(const Rgb& sky, double density) {
    const Rgb white = {250, 251, 253}, core = {196, 204, 222};
    const double cover = Clamp(density * 1.7, 0.0, 1.0);
    const double thick = Clamp((density - 0.55) / 0.45, 0.0, 1.0);
    const Rgb cloud = {Lerp(white.r, core.r, thick), Lerp(white.g, core.g, thick),
                       Lerp(white.b, core.b, thick)};
    return {Lerp(sky.r, cloud.r, cover), Lerp(sky.g, cloud.g, cover), Lerp(sky.b, cloud.b, cover)};
}

uint8_t Channel(double v) {
    return static_cast<uint8_t>(Clamp(Floor(v + 0.5), 0.0, 255.0));
}

// A 4 x 4 ordered dither threshold in [0, 1), repeating every 4 pixels so
// that it also wraps round the 512 columns.
double Bayer(int x, int y) {
    static constexpr int kMatrix[4][4] = {
        {0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    return (kMatrix[y & 3][x & 3] + 0.5) / 16.0;
}

}  // namespace

IndexedImage GenerateSky(uint64_t seed) {
    const uint32_t salt = HashMix(static_cast<uint32_t>(seed) * 0x2545F491u + 0x5C1u);
    IndexedImage image;
    image.width = kSkyWidth;
    image.height = kSkyRows;
    image.pixels.assign(static_cast<size_t>(kSkyWidth) * kSkyRows, 0);
    for (int g = 0; g < kLevels; ++g) {
        const Rgb sky = SkyColour(static_cast<double>(g) / (kLevels - 1));
        for (int k = 0; k < kCloudLevels; ++k) {
            const Rgb c = CloudColour(sky, static_cast<double>(k) / (kCloudLevels - 1));
            image.palette[g * kCloudLevels + k] = {Channel(c.r), Channel(c.g), Channel(c.b)};
        }
    }
    for (int y = 0; y < kSkyRows; ++y) {
        // Elevation above the horizon row, and the distance to the cloud
        // deck seen there: clouds crowd and flatten towards the horizon.
        const double e = (kSkyRows - 1 - y) / (kSkyRows - 1.0);
        const double distance = 1.0 / (e + 0.10);
        const double v = 6.0 * distance;
        const double fadeLow = SmoothStep(0.02, 0.16, e);
        for (int x = 0; x < kSkyWidth; ++x) {
            double n = 0.0, weight = 1.0, total = 0.0;
            int period = 6;
            for (int o = 0; o < 5; ++o) {
                const double scale = static_cast<double>(period) / kSkyWidth;
                n += weight * PeriodicNoiseX(x * scale, v * (period / 6.0), period, salt + 31u * o);
                total += weight;
                weight *= 0.5;
                period *= 2;
            }
            n /= total;
            const double density = Clamp((n - 0.02) / 0.5, 0.0, 1.0) * fadeLow;
            const double dither = Bayer(x, y);
            const double gl = e * (kLevels - 1) + dither - 0.5;
            const int g = static_cast<int>(Clamp(Floor(gl + 0.5), 0.0, kLevels - 1.0));
            const int k = static_cast<int>(
                Clamp(Floor(density * (kCloudLevels - 1) + dither), 0.0, kCloudLevels - 1.0));
            image.pixels[static_cast<size_t>(y) * kSkyWidth + x] =
                static_cast<uint8_t>(g * kCloudLevels + k);
        }
    }
    return image;
}
