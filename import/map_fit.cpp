// map_fit.cpp -- separable resampling while rows arrive, and the edge blending
#include "import/map_fit.h"

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdio>
#include <string>
#include <unordered_set>
#include <utility>

namespace {

struct Weight {
    int target;
    float weight;
};

// For each source position along one axis, the target cells it adds to and
// by how much, when the `length` pixels from `start` become `target` cells:
// the overlap of a pixel with a cell when shrinking (area averaging), the tent
// of bilinear interpolation when growing (which may reach the pixels just
// outside the part).
std::vector<std::vector<Weight>> AxisWeights(int source, double start, double length, int target) {
    std::vector<std::vector<Weight>> weights(static_cast<size_t>(source));
    const double scale = length / target;
    if (scale >= 1.0) {
        for (int i = 0; i < source; ++i) {
            const double from = (i - start) / scale, to = (i + 1 - start) / scale;  // in cells
            if (to <= 0 || from >= target) continue;
            for (int j = std::max(0, static_cast<int>(std::floor(from))); j < target && j < to;
                 ++j) {
                const double overlap = std::min(to, j + 1.0) - std::max(from, double(j));
                if (overlap > 1e-9) weights[i].push_back({j, static_cast<float>(overlap)});
            }
        }
    } else {
        for (int j = 0; j < target; ++j) {
            const double centre = start + (j + 0.5) * scale - 0.5;
            const int left = static_cast<int>(std::floor(centre));
            const double f = centre - left;
            const int a = std::clamp(left, 0, source - 1), b = std::clamp(left + 1, 0, source - 1);
            weights[a].push_back({j, static_cast<float>(1.0 - f)});
            if (f > 0) weights[b].push_back({j, static_cast<float>(f)});
        }
    }
    return weights;
}

float Luminance(float r, float g, float b) {
    return 0.2126f * r + 0.7152f * g + 0.0722f * b;
}

class Fitter final : public PictureRows {
public:
    Fitter(int width, int height, const MapSource& source, FittedMap& map)
        : width_(width), height_(height), source_(source), map_(map) {}

    bool Begin(const PictureInfo& info, std::string& error) override {
        map_.picture = info;
        map_.width = width_;
        map_.height = height_;
        const size_t cells = static_cast<size_t>(width_) * height_;
        map_.rgb.assign(cells * 3, 0.0f);
        map_.luminance.assign(cells, 0.0f);
        map_.peak.assign(cells, 0.0f);
        if (source_.region) {
            if (source_.x < 0 || source_.y < 0 || source_.x + width_ > info.width ||
                source_.y + height_ > info.height) {
                error = "the region " + std::to_string(width_) + " x " + std::to_string(height_) +
                        " at " + std::to_string(source_.x) + "," + std::to_string(source_.y) +
                        " does not lie inside the " + std::to_string(info.width) + " x " +
                        std::to_string(info.height) + " picture";
                return false;
            }
            if (info.indexed) map_.indices.assign(cells, 0);
            Use(source_.x, source_.y, width_, height_, info.width);
        } else {
            const bool whole = source_.width <= 0 || source_.height <= 0;
            const double left = whole ? 0 : source_.left, top = whole ? 0 : source_.top;
            const double across = whole ? info.width : source_.width;
            const double down = whole ? info.height : source_.height;
            constexpr double kSlack = 1e-6;
            if (left < -kSlack || top < -kSlack || left + across > info.width + kSlack ||
                top + down > info.height + kSlack) {
                error = "the piece " + Number(across) + " x " + Number(down) + " at " +
                        Number(left) + "," + Number(top) + " does not lie inside the " +
                        std::to_string(info.width) + " x " + std::to_string(info.height) +
                        " picture";
                return false;
            }
            Use(static_cast<int>(std::floor(left + kSlack)),
                static_cast<int>(std::floor(top + kSlack)),
                static_cast<int>(std::ceil(across - kSlack)),
                static_cast<int>(std::ceil(down - kSlack)), info.width);
            map_.sourceWidth = across;
            xWeights_ = AxisWeights(info.width, left, across, width_);
            yWeights_ = AxisWeights(info.height, top, down, height_);
            weightX_.assign(static_cast<size_t>(width_), 0.0f);
            weightY_.assign(static_cast<size_t>(height_), 0.0f);
            for (const auto& list : xWeights_)
                for (const Weight& w : list)
                    weightX_[w.target] += w.weight;
            for (const auto& list : yWeights_)
                for (const Weight& w : list)
                    weightY_[w.target] += w.weight;
            row_.assign(static_cast<size_t>(width_) * 4, 0.0f);
            rowPeak_.assign(static_cast<size_t>(width_), 0.0f);
            map_.shrunk = across >= width_ && down >= height_;
            if (whole && info.indexed && info.width == width_ && info.height == height_)
                map_.indices.assign(cells, 0);
        }
        return true;
    }

    void Row(int y, const uint16_t* rgb, const uint8_t* indices) override {
        CountColours(rgb);
        Measure(y, rgb);
        if (source_.region) {
            const int ty = y - source_.y;
            if (ty < 0 || ty >= height_) return;
            for (int tx = 0; tx < width_; ++tx) {
                const size_t s = static_cast<size_t>(source_.x + tx) * 3;
                const size_t cell = static_cast<size_t>(ty) * width_ + tx;
                Store(cell, rgb[s], rgb[s + 1], rgb[s + 2]);
                if (indices && !map_.indices.empty()) map_.indices[cell] = indices[source_.x + tx];
            }
            return;
        }
        if (!map_.indices.empty() && indices)  // the picture is the map's size
            std::copy(indices, indices + width_, map_.indices.begin() + std::ptrdiff_t(y) * width_);
        std::fill(row_.begin(), row_.end(), 0.0f);
        std::fill(rowPeak_.begin(), rowPeak_.end(), 0.0f);
        for (int x = 0; x < map_.picture.width; ++x) {
            const float r = rgb[x * 3], g = rgb[x * 3 + 1], b = rgb[x * 3 + 2];
            const float lum = Luminance(r, g, b);
            for (const Weight& w : xWeights_[static_cast<size_t>(x)]) {
                float* cell = &row_[static_cast<size_t>(w.target) * 4];
                cell[0] += w.weight * r;
                cell[1] += w.weight * g;
                cell[2] += w.weight * b;
                cell[3] += w.weight * lum;
                rowPeak_[w.target] = std::max(rowPeak_[w.target], lum);
            }
        }
        for (const Weight& w : yWeights_[static_cast<size_t>(y)]) {
            for (int tx = 0; tx < width_; ++tx) {
                const size_t cell = static_cast<size_t>(w.target) * width_ + tx;
                const float* from = &row_[static_cast<size_t>(tx) * 4];
                for (int k = 0; k < 3; ++k)
                    map_.rgb[cell * 3 + k] += w.weight * from[k];
                map_.luminance[cell] += w.weight * from[3];
                map_.peak[cell] = std::max(map_.peak[cell], rowPeak_[tx]);
            }
        }
    }

    void Finish() {
        const double steps = static_cast<double>(usedHeight_) * (usedWidth_ - 1) +
                             static_cast<double>(usedWidth_) * (usedHeight_ - 1);
        map_.sourceStep = steps > 0 ? stepSum_ / steps : 0;
        map_.colouredShare =
            usedPixels_ > 0 ? static_cast<double>(colouredPixels_) / usedPixels_ : 0;
        if (overflowed_)
            map_.colours.clear();
        else
            for (const uint32_t c : seen_)
                map_.colours.push_back({uint8_t(c >> 16), uint8_t(c >> 8), uint8_t(c)});
        std::sort(map_.colours.begin(), map_.colours.end());
        if (source_.region) return;
        for (int ty = 0; ty < height_; ++ty)
            for (int tx = 0; tx < width_; ++tx) {
                const size_t cell = static_cast<size_t>(ty) * width_ + tx;
                const float total = weightX_[tx] * weightY_[ty];
                if (total <= 0) continue;
                for (int k = 0; k < 3; ++k)
                    map_.rgb[cell * 3 + k] /= total;
                map_.luminance[cell] /= total;
                if (!map_.shrunk) map_.peak[cell] = map_.luminance[cell];
            }
    }

private:
    static std::string Number(double value) {
        if (std::fabs(value - std::round(value)) < 1e-6)
            return std::to_string(static_cast<long long>(std::llround(value)));
        char text[32];
        std::snprintf(text, sizeof text, "%.1f", value);
        return text;
    }

    // The pixels the map comes from, which Measure looks at.
    void Use(int x, int y, int width, int height, int pictureWidth) {
        usedX_ = std::clamp(x, 0, pictureWidth);
        usedY_ = y;
        usedWidth_ = std::clamp(width, 0, pictureWidth - usedX_);
        usedHeight_ = height;
        map_.sourceWidth = width;
        above_.assign(static_cast<size_t>(usedWidth_), 0.0f);
    }

    // The used pixels' range of luminance, steps between neighbours and
    // whether they are grey.
    void Measure(int y, const uint16_t* rgb) {
        if (y < usedY_ || y >= usedY_ + usedHeight_) return;
        constexpr int kGreyTolerance =
            3 * 257;  // what JPEG's colour noise leaves in a grey picture
        const bool first = y == usedY_;
        float left = 0;
        for (int i = 0; i < usedWidth_; ++i) {
            const uint16_t* p = rgb + static_cast<size_t>(usedX_ + i) * 3;
            const float lum = Luminance(p[0], p[1], p[2]);
            const int spread = std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]});
            colouredPixels_ += spread > kGreyTolerance;
            if (usedPixels_ == 0) map_.sourceLow = map_.sourceHigh = lum;
            ++usedPixels_;
            map_.sourceLow = std::min(map_.sourceLow, lum);
            map_.sourceHigh = std::max(map_.sourceHigh, lum);
            if (i > 0) stepSum_ += std::fabs(lum - left);
            if (!first) stepSum_ += std::fabs(lum - above_[static_cast<size_t>(i)]);
            above_[static_cast<size_t>(i)] = left = lum;
        }
    }

    void Store(size_t cell, float r, float g, float b) {
        map_.rgb[cell * 3] = r;
        map_.rgb[cell * 3 + 1] = g;
        map_.rgb[cell * 3 + 2] = b;
        map_.luminance[cell] = map_.peak[cell] = Luminance(r, g, b);
    }

    // The picture's distinct 8-bit colours, while there are at most 256.
    void CountColours(const uint16_t* rgb) {
        if (overflowed_) return;
        uint32_t last = UINT32_MAX;
        for (int x = 0; x < map_.picture.width; ++x) {
            const uint32_t c = uint32_t(rgb[x * 3] >> 8) << 16 |
                               uint32_t(rgb[x * 3 + 1] >> 8) << 8 | uint32_t(rgb[x * 3 + 2] >> 8);
            if (c == last) continue;
            last = c;
            if (seen_.insert(c).second && seen_.size() > 256) {
                overflowed_ = true;
                seen_.clear();
                return;
            }
        }
    }

    const int width_, height_;
    const MapSource source_;
    FittedMap& map_;
    std::vector<std::vector<Weight>> xWeights_, yWeights_;
    std::vector<float> weightX_, weightY_, row_, rowPeak_;
    std::unordered_set<uint32_t> seen_;
    bool overflowed_ = false;
    int usedX_ = 0, usedY_ = 0, usedWidth_ = 0, usedHeight_ = 0;
    std::vector<float> above_;  // the used pixels' luminance in the row before
    double stepSum_ = 0;
    size_t usedPixels_ = 0, colouredPixels_ = 0;
};

}  // namespace

bool FitPicture(const std::string& path, int width, int height, const MapSource& source,
                FittedMap& map, std::string& error) {
    map = FittedMap{};
    Fitter fitter(width, height, source, map);
    if (!ReadPicture(path, fitter, error)) return false;
    fitter.Finish();
    return true;
}

double MeanStep(const std::vector<float>& plane, int width, int height) {
    double sum = 0;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const size_t i = static_cast<size_t>(y) * width + x;
            if (x + 1 < width) sum += std::fabs(plane[i + 1] - plane[i]);
            if (y + 1 < height) sum += std::fabs(plane[i + width] - plane[i]);
        }
    const double steps =
        static_cast<double>(height) * (width - 1) + static_cast<double>(width) * (height - 1);
    return steps > 0 ? sum / steps : 0;
}

bool SeamMeasure::Tiles() const {
    // A repeat no rougher than the roughest line inside (with a little room)
    // is no seam: a picture of hard-edged patches crosses such edges inside too.
    const double allowed = 1.25 * inside + 1e-6;
    return acrossX <= allowed && acrossY <= allowed;
}

SeamMeasure MeasureSeam(const std::vector<float>& plane, int width, int height, int stride,
                        int channel) {
    auto at = [&](int x, int y) {
        return plane[(static_cast<size_t>(y) * width + x) * stride + channel];
    };
    // The mean jump across each line between two columns (or rows): the
    // wrapping line is the seam; the roughest of the others is the measure.
    auto column = [&](int x, int next) {
        double sum = 0;
        for (int y = 0; y < height; ++y)
            sum += std::fabs(at(next, y) - at(x, y));
        return sum / height;
    };
    auto row = [&](int y, int next) {
        double sum = 0;
        for (int x = 0; x < width; ++x)
            sum += std::fabs(at(x, next) - at(x, y));
        return sum / width;
    };
    SeamMeasure m;
    m.acrossX = column(width - 1, 0);
    m.acrossY = row(height - 1, 0);
    for (int x = 0; x + 1 < width; ++x)
        m.inside = std::max(m.inside, column(x, x + 1));
    for (int y = 0; y + 1 < height; ++y)
        m.inside = std::max(m.inside, row(y, y + 1));
    return m;
}

void BlendEdges(std::vector<float>& plane, int width, int height, int stride, int channel, int band,
                bool alongY) {
    auto at = [&](int x, int y) -> float& {
        return plane[(static_cast<size_t>(y) * width + x) * stride + channel];
    };
    // The bend: half the jump at the edge, fading smoothly to nothing `band`
    // cells in.
    auto fade = [&](int d) {
        const double t = 1.0 - (d + 0.5) / band;
        return t <= 0 ? 0.0 : 0.5 * t * t * (3 - 2 * t);
    };
    band = std::min(band, std::min(width, height) / 2);
    for (int y = 0; y < height; ++y) {
        const double jump = at(0, y) - at(width - 1, y);
        for (int d = 0; d < band; ++d) {
            const double f = fade(d) * jump;
            at(width - 1 - d, y) = static_cast<float>(at(width - 1 - d, y) + f);
            at(d, y) = static_cast<float>(at(d, y) - f);
        }
    }
    if (!alongY) return;
    for (int x = 0; x < width; ++x) {
        const double jump = at(x, 0) - at(x, height - 1);
        for (int d = 0; d < band; ++d) {
            const double f = fade(d) * jump;
            at(x, height - 1 - d) = static_cast<float>(at(x, height - 1 - d) + f);
            at(x, d) = static_cast<float>(at(x, d) - f);
        }
    }
}
