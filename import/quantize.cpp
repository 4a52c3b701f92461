// quantize.cpp -- Oklab conversions, the median cut, k-means rounds and the nearest-entry map
#include "import/quantize.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <numeric>

namespace {

struct Lab {
    float l, a, b;
};

float Linear(float c) {
    c /= 255.0f;
    return c <= 0.04045f ? c / 12.92f : std::pow((c + 0.055f) / 1.055f, 2.4f);
}
float Gamma(float c) {
    c = std::clamp(c, 0.0f, 1.0f);
    return 255.0f * (c <= 0.0031308f ? 12.92f * c : 1.055f * std::pow(c, 1 / 2.4f) - 0.055f);
}

Lab ToOklab(float r8, float g8, float b8) {
    const float r = Linear(r8), g = Linear(g8), b = Linear(b8);
    const float l = std::cbrt(0.4122214708f * r + 0.5363325363f * g + 0.0514459929f * b);
    const float m = std::cbrt(0.2119034982f * r + 0.6806995451f * g + 0.1073969566f * b);
    const float s = std::cbrt(0.0883024619f * r + 0.2817188376f * g + 0.6299787005f * b);
    return {0.2104542553f * l + 0.7936177850f * m - 0.0040720468f * s,
            1.9779984951f * l - 2.4285922050f * m + 0.4505937099f * s,
            0.0259040371f * l + 0.7827717662f * m - 0.8086757660f * s};
}

Rgb8Colour FromOklab(const Lab& c) {
    const float l = c.l + 0.3963377774f * c.a + 0.2158037573f * c.b;
    const float m = c.l - 0.1055613458f * c.a - 0.0638541728f * c.b;
    const float s = c.l - 0.0894841775f * c.a - 1.2914855480f * c.b;
    const float l3 = l * l * l, m3 = m * m * m, s3 = s * s * s;
    const float r = 4.0767416621f * l3 - 3.3077115913f * m3 + 0.2309699292f * s3;
    const float g = -1.2684380046f * l3 + 2.6097574011f * m3 - 0.3413193965f * s3;
    const float b = -0.0041960863f * l3 - 0.7034186147f * m3 + 1.7076147010f * s3;
    return {static_cast<uint8_t>(std::lround(Gamma(r))),
            static_cast<uint8_t>(std::lround(Gamma(g))),
            static_cast<uint8_t>(std::lround(Gamma(b)))};
}

float Distance(const Lab& p, const Lab& q) {
    const float dl = p.l - q.l, da = p.a - q.a, db = p.b - q.b;
    return dl * dl + da * da + db * db;
}

std::vector<Lab> ToLab(const std::vector<float>& rgb) {
    std::vector<Lab> lab(rgb.size() / 3);
    for (size_t i = 0; i < lab.size(); ++i)
        lab[i] = ToOklab(rgb[i * 3], rgb[i * 3 + 1], rgb[i * 3 + 2]);
    return lab;
}

float Channel(const Lab& c, int axis) {
    return axis == 0 ? c.l : axis == 1 ? c.a : c.b;
}

struct Box {
    size_t begin, end;  // into the order of pixels
    int axis = 0;
    double spread = 0;  // the sum of squared deviations along `axis`
};

void Measure(Box& box, const std::vector<Lab>& lab, const std::vector<uint32_t>& order) {
    double best = -1;
    for (int axis = 0; axis < 3; ++axis) {
        double sum = 0, squares = 0;
        for (size_t i = box.begin; i < box.end; ++i) {
            const double v = Channel(lab[order[i]], axis);
            sum += v;
            squares += v * v;
        }
        const double n = static_cast<double>(box.end - box.begin);
        const double spread = squares - sum * sum / n;
        if (spread > best) {
            best = spread;
            box.axis = axis;
        }
    }
    box.spread = box.end - box.begin > 1 ? best : 0;
}

size_t Nearest(const Lab& p, const std::vector<Lab>& centres) {
    size_t best = 0;
    float bestDistance = Distance(p, centres[0]);
    for (size_t k = 1; k < centres.size(); ++k) {
        const float d = Distance(p, centres[k]);
        if (d < bestDistance) {
            bestDistance = d;
            best = k;
        }
    }
    return best;
}

}  // namespace

std::vector<Rgb8Colour> CutPalette(const std::vector<float>& rgb, int count) {
    const std::vector<Lab> lab = ToLab(rgb);
    if (lab.empty()) return {};
    std::vector<uint32_t> order(lab.size());
    std::iota(order.begin(), order.end(), 0u);
    std::vector<Box> boxes{{0, lab.size()}};
    Measure(boxes[0], lab, order);
    while (static_cast<int>(boxes.size()) < count) {
        const auto widest =
            std::max_element(boxes.begin(), boxes.end(),
                             [](const Box& a, const Box& b) { return a.spread < b.spread; });
        if (widest->spread <= 0) break;
        Box box = *widest;
        const size_t middle = box.begin + (box.end - box.begin) / 2;
        std::nth_element(
            order.begin() + std::ptrdiff_t(box.begin), order.begin() + std::ptrdiff_t(middle),
            order.begin() + std::ptrdiff_t(box.end), [&](uint32_t p, uint32_t q) {
                const float a = Channel(lab[p], box.axis), b = Channel(lab[q], box.axis);
                return a < b || (a == b && p < q);
            });
        Box low{box.begin, middle}, high{middle, box.end};
        Measure(low, lab, order);
        Measure(high, lab, order);
        *widest = low;
        boxes.push_back(high);
    }
    std::vector<Lab> centres;
    for (const Box& box : boxes) {
        Lab sum{0, 0, 0};
        for (size_t i = box.begin; i < box.end; ++i) {
            sum.l += lab[order[i]].l;
            sum.a += lab[order[i]].a;
            sum.b += lab[order[i]].b;
        }
        const float n = static_cast<float>(box.end - box.begin);
        centres.push_back({sum.l / n, sum.a / n, sum.b / n});
    }
    // k-means rounds: every pixel to its nearest centre, every centre to its
    // pixels' mean.
    std::vector<uint32_t> owner(lab.size());
    for (int round = 0; round < 8; ++round) {
        std::vector<double> sums(centres.size() * 4, 0.0);
        for (size_t i = 0; i < lab.size(); ++i) {
            const size_t k = Nearest(lab[i], centres);
            sums[k * 4] += lab[i].l;
            sums[k * 4 + 1] += lab[i].a;
            sums[k * 4 + 2] += lab[i].b;
            sums[k * 4 + 3] += 1;
        }
        for (size_t k = 0; k < centres.size(); ++k)
            if (sums[k * 4 + 3] > 0)
                centres[k] = {static_cast<float>(sums[k * 4] / sums[k * 4 + 3]),
                              static_cast<float>(sums[k * 4 + 1] / sums[k * 4 + 3]),
                              static_cast<float>(sums[k * 4 + 2] / sums[k * 4 + 3])};
    }
    std::vector<Rgb8Colour> palette;
    for (const Lab& c : centres)
        palette.push_back(FromOklab(c));
    std::sort(palette.begin(), palette.end());
    palette.erase(std::unique(palette.begin(), palette.end()), palette.end());
    return palette;
}

std::vector<uint8_t> MapToPalette(const std::vector<float>& rgb,
                                  const std::vector<Rgb8Colour>& palette, int width, bool dither) {
    std::vector<Lab> centres;
    for (const Rgb8Colour& c : palette)
        centres.push_back(ToOklab(c[0], c[1], c[2]));
    const size_t pixels = rgb.size() / 3;
    std::vector<uint8_t> indices(pixels);
    if (!dither) {
        for (size_t i = 0; i < pixels; ++i)
            indices[i] = static_cast<uint8_t>(
                Nearest(ToOklab(rgb[i * 3], rgb[i * 3 + 1], rgb[i * 3 + 2]), centres));
        return indices;
    }
    std::vector<float> work = rgb;
    const size_t w = static_cast<size_t>(width);
    for (size_t i = 0; i < pixels; ++i) {
        float c[3];
        for (int k = 0; k < 3; ++k)
            c[k] = std::clamp(work[i * 3 + k], 0.0f, 255.0f);
        const size_t n = Nearest(ToOklab(c[0], c[1], c[2]), centres);
        indices[i] = static_cast<uint8_t>(n);
        const size_t x = i % w;
        for (int k = 0; k < 3; ++k) {
            const float e = c[k] - palette[n][k];
            if (x + 1 < w) work[(i + 1) * 3 + k] += e * 7 / 16;
            if (i + w < pixels) {
                if (x > 0) work[(i + w - 1) * 3 + k] += e * 3 / 16;
                work[(i + w) * 3 + k] += e * 5 / 16;
                if (x + 1 < w) work[(i + w + 1) * 3 + k] += e * 1 / 16;
            }
        }
    }
    return indices;
}
