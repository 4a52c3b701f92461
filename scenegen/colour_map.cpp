// colour_map.cpp -- material choice, slope shading and cast shadows baked into the colour map
#include "scenegen/colour_map.h"

#include <cmath>

#include "shared/exact_math.h"

namespace {

struct Rgb {
    double r, g, b;
};

// Each material's colour in full sun.
constexpr Rgb kMaterialColour[kMaterialCount] = {
    {18, 62, 98},     // water (its ramp runs deep to shallow instead)
    {206, 188, 140},  // sand
    {128, 158, 72},   // meadow
    {86, 128, 52},    // grass
    {44, 82, 38},     // forest
    {136, 122, 80},   // heath
    {128, 118, 108},  // rock
    {236, 240, 248},  // snow
};

// Horizontal cells per height byte used for lighting: the renderer draws a
// byte of height about as tall as two cells are wide.
constexpr double kVerticalScale = 0.8;

// Sun: from the north-west (up and to the left on the map), 32 degrees high.
constexpr double kSunAzimuthTurns = 0.625;  // angle of the direction towards the sun
constexpr double kSunElevationTurns = 32.0 / 360.0;

uint8_t Channel(double v) {
    return static_cast<uint8_t>(Clamp(Floor(v + 0.5), 0.0, 255.0));
}

// Light falling on each cell, 0 (none) .. about 1.2.
WrapGrid Lighting(const Terrain& t) {
    const double sunX = CosTurns(kSunAzimuthTurns) * CosTurns(kSunElevationTurns);
    const double sunY = SinTurns(kSunAzimuthTurns) * CosTurns(kSunElevationTurns);
    const double sunZ = SinTurns(kSunElevationTurns);
    const double flat = std::sqrt(sunX * sunX + sunY * sunY);
    const double rise = sunZ / flat;  // height gained per cell towards the sun, in cells
    WrapGrid light(kMapSide);
    for (int y = 0; y < kMapSide; ++y)
        for (int x = 0; x < kMapSide; ++x) {
            const double h = t.relief.At(x, y) < 0 ? 0.0 : t.relief.At(x, y);
            auto land = [&](int dx, int dy) {
                const double v = t.relief.At(x + dx, y + dy);
                return v < 0 ? 0.0 : v;
            };
            const double gx = (land(1, 0) - land(-1, 0)) * 0.5 * kVerticalScale;
            const double gy = (land(0, 1) - land(0, -1)) * 0.5 * kVerticalScale;
            const double len = std::sqrt(gx * gx + gy * gy + 1.0);
            const double diffuse = Clamp((-gx * sunX - gy * sunY + sunZ) / len, 0.0, 1.0);

            // Cast shadow: walk towards the sun; the closest the terrain comes
            // to covering the sun ray sets a soft penumbra.
            double sun = 1.0;
            const double start = h * kVerticalScale;
            for (int s = 1; s <= 96 && sun > 0.0; ++s) {
                const double px = x + sunX / flat * s, py = y + sunY / flat * s;
                const double ground = t.relief.Sample(px, py);
                const double above =
                    start + rise * s - (ground < 0 ? 0.0 : ground) * kVerticalScale;
                const double part = Clamp(0.5 + above / (0.6 * s + 2.0), 0.0, 1.0);
                if (part < sun) sun = part;
            }

            // Sky light: open ground sees more sky than the floor of a hollow.
            double around = 0.0;
            for (int d = 2; d <= 8; d += 3)
                around += land(d, 0) + land(-d, 0) + land(0, d) + land(0, -d);
            const double hollow = Clamp((around / 12.0 - h) / 25.0, -0.5, 1.0);
            const double sky = 0.42 - 0.18 * hollow;
            light.At(x, y) = sky + 0.8 * diffuse * sun;
        }
    return light;
}

Material ChooseMaterial(const Terrain& t, int x, int y, double jitter) {
    const double h = t.relief.At(x, y);
    if (h < 0) return kWater;
    auto at = [&](int dx, int dy) {
        const double v = t.relief.At(x + dx, y + dy);
        return v < 0 ? 0.0 : v;
    };
    const double gx = (at(1, 0) - at(-1, 0)) * 0.5, gy = (at(0, 1) - at(0, -1)) * 0.5;
    const double slope = std::sqrt(gx * gx + gy * gy);  // bytes per cell
    const double wet = t.moisture.At(x, y);
    if (h < 4.0 + 5.0 * jitter && slope < 1.2) return kSand;
    if (h > 205.0 + 30.0 * jitter && slope < 2.6 + jitter) return kSnow;
    if (slope > 2.7 + 1.0 * jitter || h > 182.0 + 25.0 * jitter) return kRock;
    if (h > 130.0 + 30.0 * jitter) return wet > 0.62 ? kForest : kHeath;
    if (wet > 0.56 + 0.12 * jitter) return kForest;
    if (wet > 0.36 + 0.1 * jitter) return kGrass;
    return kMeadow;
}

}  // namespace

std::array<PaletteColour, 256> GroundPalette() {
    std::array<PaletteColour, 256> palette{};
    for (int m = 0; m < kMaterialCount; ++m)
        for (int s = 0; s < kShades; ++s) {
            const double t = s / (kShades - 1.0);
            Rgb c;
            if (m == kWater) {
                // Deep navy through blue-green to pale shallows.
                const Rgb deep = {12, 38, 78}, mid = {30, 86, 120}, shallow = {92, 150, 150};
                const double u = t < 0.6 ? t / 0.6 : (t - 0.6) / 0.4;
                const Rgb& a = t < 0.6 ? deep : mid;
                const Rgb& b = t < 0.6 ? mid : shallow;
                c = {Lerp(a.r, b.r, u), Lerp(a.g, b.g, u), Lerp(a.b, b.b, u)};
            } else {
                // Shadowed ground takes the sky's blue, sunlit ground the sun's warmth.
                const Rgb& base = kMaterialColour[m];
                const double bright = 0.2 + 1.05 * t;
                const double warm = t;
                c = {base.r * bright * Lerp(0.78, 1.06, warm),
                     base.g * bright * Lerp(0.88, 1.0, warm),
                     base.b * bright * Lerp(1.25, 0.9, warm)};
            }
            palette[m * kShades + s] = {Channel(c.r), Channel(c.g), Channel(c.b)};
        }
    return palette;
}

IndexedImage GenerateColourMap(const Terrain& terrain, uint64_t seed) {
    const uint32_t salt =
        HashMix(static_cast<uint32_t>(seed * 0x9E3779B97F4A7C15ull >> 32) + 0xC0102u);
    const WrapGrid light = Lighting(terrain);
    IndexedImage image;
    image.width = image.height = kMapSide;
    image.pixels.assign(static_cast<size_t>(kMapSide) * kMapSide, 0);
    image.palette = GroundPalette();
    for (int y = 0; y < kMapSide; ++y)
        for (int x = 0; x < kMapSide; ++x) {
            // Jitter blurs the edges between materials: a smooth field for
            // shapes plus a per-cell speckle for grain.
            const double speckle =
                (Hash3(static_cast<uint32_t>(x), static_cast<uint32_t>(y), salt) & 0xFFFF) /
                65535.0;
            const double jitter =
                0.7 * Fbm(x, y, kMapSide, 16, 3, 0.5, salt + 5) + 0.6 * (speckle - 0.5);
            const Material m = ChooseMaterial(terrain, x, y, jitter);
            double shade;
            if (m == kWater) {
                const double depth = -terrain.relief.At(x, y);
                const double ripple = 0.06 * PeriodicNoise(x * 0.25, y * 0.5, 64, salt + 9);
                shade = Clamp(1.0 - depth / 30.0 + ripple, 0.0, 1.0) * (kShades - 1);
            } else {
                // Forest canopies and rock faces are rougher than grass.
                const double grain = (m == kForest || m == kRock) ? 0.16 : 0.07;
                const double lit = light.At(x, y) + grain * (speckle - 0.5);
                shade = Clamp((lit - 0.05) / 1.15, 0.0, 1.0) * (kShades - 1);
            }
            const int s = static_cast<int>(Clamp(Floor(shade + 0.5), 0.0, kShades - 1.0));
            image.pixels[static_cast<size_t>(y) * kMapSide + x] =
                static_cast<uint8_t>(m * kShades + s);
        }
    return image;
}
