// icon.cpp -- the icon's shapes in unit coordinates (x to the right, y down,
// 0 to 1 across the tile), filled by DrawIcon and outlined by IconSvg
#include "resources/icon.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

namespace {

struct Colour {
    double r, g, b;
};

constexpr double kCornerRadius = 0.18;
constexpr double kSunX = 0.72, kSunY = 0.30, kSunRadius = 0.11;
constexpr Colour kSkyTop{38, 92, 170};
constexpr Colour kSkyHaze{214, 232, 246};
constexpr Colour kSun{255, 222, 120};
constexpr Colour kFarHills{118, 146, 178};
constexpr Colour kNearTop{92, 150, 72};
constexpr Colour kNearBottom{34, 82, 40};
constexpr Colour kSnow{246, 248, 252};

double Bump(double x, double centre, double width) {
    const double d = (x - centre) / width;
    return std::exp(-d * d);
}

// The top of each range of hills at x: smaller y is higher.
double FarRidge(double x) {
    return 0.60 - 0.14 * Bump(x, 0.28, 0.16) - 0.09 * Bump(x, 0.80, 0.14) -
           0.02 * std::sin(x * 17.0);
}
double NearRidge(double x) {
    return 0.80 - 0.30 * Bump(x, 0.58, 0.17) - 0.06 * Bump(x, 0.12, 0.10) -
           0.015 * std::sin(x * 23.0);
}
// The snow on the near range: above this line, below the ridge.
double SnowLine(double x) { return 0.56 + 0.025 * std::sin(x * 41.0); }

Colour Mix(Colour a, Colour b, double t) {
    t = std::clamp(t, 0.0, 1.0);
    return {a.r + (b.r - a.r) * t, a.g + (b.g - a.g) * t, a.b + (b.b - a.b) * t};
}

bool InsideTile(double x, double y) {
    const double cx = std::clamp(x, kCornerRadius, 1 - kCornerRadius);
    const double cy = std::clamp(y, kCornerRadius, 1 - kCornerRadius);
    return (x - cx) * (x - cx) + (y - cy) * (y - cy) <= kCornerRadius * kCornerRadius;
}

// The colour of the landscape at one point of the tile.
Colour Sample(double x, double y) {
    const double near = NearRidge(x);
    if (y >= near) {
        if (y < SnowLine(x)) return kSnow;
        return Mix(kNearTop, kNearBottom, (y - near) / (1 - near + 1e-9));
    }
    const double far = FarRidge(x);
    if (y >= far) return Mix(kFarHills, kSkyHaze, 0.35 * (y - far) / 0.25);
    const double sx = x - kSunX, sy = y - kSunY;
    if (sx * sx + sy * sy <= kSunRadius * kSunRadius) return kSun;
    return Mix(kSkyTop, kSkyHaze, y / 0.62);
}

uint8_t Channel(double v) { return static_cast<uint8_t>(std::lround(std::clamp(v, 0.0, 255.0))); }

std::string Hex(Colour c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02x%02x%02x", Channel(c.r), Channel(c.g), Channel(c.b));
    return text;
}

// An SVG path closed along the bottom of the tile under `ridge`, from x = 0 to 1.
template <typename Ridge>
std::string RidgePath(Ridge ridge, double bottom) {
    std::string d;
    char point[40];
    for (int i = 0; i <= 64; ++i) {
        const double x = i / 64.0;
        std::snprintf(point, sizeof point, "%s%.2f,%.2f ", i == 0 ? "M" : "L", x * 256,
                      ridge(x) * 256);
        d += point;
    }
    std::snprintf(point, sizeof point, "L256,%.2f L0,%.2f Z", bottom * 256, bottom * 256);
    return d + point;
}

}  // namespace

std::vector<uint32_t> DrawIcon(int size) {
    constexpr int kSamples = 4;
    std::vector<uint32_t> pixels(static_cast<size_t>(size) * static_cast<size_t>(size));
    for (int py = 0; py < size; ++py) {
        for (int px = 0; px < size; ++px) {
            double r = 0, g = 0, b = 0;
            int inside = 0;
            for (int sy = 0; sy < kSamples; ++sy) {
                for (int sx = 0; sx < kSamples; ++sx) {
                    const double x = (px + (sx + 0.5) / kSamples) / size;
                    const double y = (py + (sy + 0.5) / kSamples) / size;
                    if (!InsideTile(x, y)) continue;
                    const Colour c = Sample(x, y);
                    r += c.r, g += c.g, b += c.b;
                    ++inside;
                }
            }
            uint32_t argb = 0;
            if (inside > 0) {
                const uint32_t alpha = Channel(255.0 * inside / (kSamples * kSamples));
                argb = alpha << 24 | uint32_t{Channel(r / inside)} << 16 |
                       uint32_t{Channel(g / inside)} << 8 | Channel(b / inside);
            }
            pixels[static_cast<size_t>(py) * static_cast<size_t>(size) + static_cast<size_t>(px)] =
                argb;
        }
    }
    return pixels;
}

std::string IconSvg() {
    char text[512];
    std::string svg =
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"256\" height=\"256\" "
        "viewBox=\"0 0 256 256\">\n"
        "  <title>flyover</title>\n"
        "  <defs>\n";
    std::snprintf(text, sizeof text,
                  "    <clipPath id=\"tile\"><rect width=\"256\" height=\"256\" rx=\"%.2f\"/>"
                  "</clipPath>\n"
                  "    <linearGradient id=\"sky\" x1=\"0\" y1=\"0\" x2=\"0\" y2=\"%.2f\" "
                  "gradientUnits=\"userSpaceOnUse\">\n"
                  "      <stop offset=\"0\" stop-color=\"%s\"/><stop offset=\"1\" "
                  "stop-color=\"%s\"/>\n"
                  "    </linearGradient>\n",
                  kCornerRadius * 256, 0.62 * 256, Hex(kSkyTop).c_str(), Hex(kSkyHaze).c_str());
    svg += text;
    std::snprintf(text, sizeof text,
                  "    <linearGradient id=\"ground\" x1=\"0\" y1=\"%.2f\" x2=\"0\" y2=\"256\" "
                  "gradientUnits=\"userSpaceOnUse\">\n"
                  "      <stop offset=\"0\" stop-color=\"%s\"/><stop offset=\"1\" "
                  "stop-color=\"%s\"/>\n"
                  "    </linearGradient>\n"
                  "  </defs>\n"
                  "  <g clip-path=\"url(#tile)\">\n"
                  "    <rect width=\"256\" height=\"256\" fill=\"url(#sky)\"/>\n"
                  "    <circle cx=\"%.2f\" cy=\"%.2f\" r=\"%.2f\" fill=\"%s\"/>\n",
                  0.50 * 256, Hex(kNearTop).c_str(), Hex(kNearBottom).c_str(), kSunX * 256,
                  kSunY * 256, kSunRadius * 256, Hex(kSun).c_str());
    svg += text;
    svg += "    <path fill=\"" + Hex(Mix(kFarHills, kSkyHaze, 0.15)) + "\" d=\"" +
           RidgePath(FarRidge, 1.0) + "\"/>\n";
    svg += "    <path fill=\"" + Hex(kSnow) + "\" d=\"" + RidgePath(NearRidge, 1.0) + "\"/>\n";
    svg += "    <path fill=\"url(#ground)\" d=\"" +
           RidgePath([](double x) { return std::max(NearRidge(x), SnowLine(x)); }, 1.0) +
           "\"/>\n";
    svg += "  </g>\n</svg>\n";
    return svg;
}
