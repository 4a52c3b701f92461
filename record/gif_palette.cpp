// gif_palette.cpp -- median cut over the clip's colour counts, and the nearest-entry table
#include "record/gif_palette.h"

#include <algorithm>
#include <cstddef>

#include "record/picture.h"

namespace {

struct Colour {
    int rgb[3];
    uint64_t count;
};

// A box of colours: a range of the `colours` array.
struct Box {
    size_t begin, end;
    int axis = 0;        // the channel of the widest spread
    uint64_t score = 0;  // pixels times that spread: the box split next is the largest
};

void Measure(const std::vector<Colour>& colours, Box& box) {
    int low[3] = {255, 255, 255}, high[3] = {0, 0, 0};
    uint64_t pixels = 0;
    for (size_t i = box.begin; i < box.end; ++i) {
        for (int c = 0; c < 3; ++c) {
            low[c] = std::min(low[c], colours[i].rgb[c]);
            high[c] = std::max(high[c], colours[i].rgb[c]);
        }
        pixels += colours[i].count;
    }
    box.axis = 0;
    for (int c = 1; c < 3; ++c)
        if (high[c] - low[c] > high[box.axis] - low[box.axis]) box.axis = c;
    const int spread = high[box.axis] - low[box.axis];
    box.score = box.end - box.begin < 2 ? 0 : pixels * static_cast<uint64_t>(spread);
}

uint32_t Argb(const int rgb[3]) {
    return 0xFF000000u | static_cast<uint32_t>(rgb[0]) << 16 | static_cast<uint32_t>(rgb[1]) << 8 |
           static_cast<uint32_t>(rgb[2]);
}

}  // namespace

GifPalette BuildGifPalette(const std::vector<uint32_t>& counts) {
    std::vector<Colour> colours;
    for (size_t pixel = 0; pixel < counts.size() && pixel < 65536; ++pixel) {
        if (counts[pixel] == 0) continue;
        const uint32_t rgb = WidenedRgb(static_cast<uint16_t>(pixel));
        colours.push_back({{static_cast<int>(rgb & 0xFF), static_cast<int>(rgb >> 8 & 0xFF),
                            static_cast<int>(rgb >> 16 & 0xFF)},
                           counts[pixel]});
    }
    std::vector<Box> boxes;
    if (!colours.empty()) {
        boxes.push_back({0, colours.size()});
        Measure(colours, boxes[0]);
    }
    while (boxes.size() < static_cast<size_t>(kGifColours)) {
        const auto widest =
            std::max_element(boxes.begin(), boxes.end(),
                             [](const Box& a, const Box& b) { return a.score < b.score; });
        if (widest == boxes.end() || widest->score == 0) break;
        Box box = *widest;
        const int axis = box.axis;
        const auto first = colours.begin() + static_cast<ptrdiff_t>(box.begin);
        const auto last = colours.begin() + static_cast<ptrdiff_t>(box.end);
        std::sort(first, last, [axis](const Colour& a, const Colour& b) {
            if (a.rgb[axis] != b.rgb[axis]) return a.rgb[axis] < b.rgb[axis];
            return std::lexicographical_compare(a.rgb, a.rgb + 3, b.rgb, b.rgb + 3);
        });
        // Split where half the box's pixels lie on each side, keeping both halves non-empty.
        uint64_t total = 0, below = 0;
        for (auto it = first; it != last; ++it)
            total += it->count;
        size_t split = box.begin + 1;
        for (size_t i = box.begin; i + 1 < box.end; ++i) {
            below += colours[i].count;
            split = i + 1;
            if (2 * below >= total) break;
        }
        Box low{box.begin, split}, high{split, box.end};
        Measure(colours, low);
        Measure(colours, high);
        *widest = low;
        boxes.push_back(high);
    }

    GifPalette palette;
    palette.exact = colours.size() <= static_cast<size_t>(kGifColours);
    for (const Box& box : boxes) {
        uint64_t sum[3] = {0, 0, 0}, pixels = 0;
        for (size_t i = box.begin; i < box.end; ++i) {
            for (int c = 0; c < 3; ++c)
                sum[c] += static_cast<uint64_t>(colours[i].rgb[c]) * colours[i].count;
            pixels += colours[i].count;
        }
        int mean[3];
        for (int c = 0; c < 3; ++c)
            mean[c] = static_cast<int>((sum[c] + pixels / 2) / pixels);
        palette.argb[static_cast<size_t>(palette.colours++)] = Argb(mean);
    }
    if (palette.colours == 0) palette.argb[static_cast<size_t>(palette.colours++)] = 0xFF000000u;

    // The nearest entry for every RGB565 value; the first of equals wins.
    palette.indexOf.resize(65536);
    for (uint32_t pixel = 0; pixel < 65536; ++pixel) {
        const uint32_t rgb = WidenedRgb(static_cast<uint16_t>(pixel));
        const int r = static_cast<int>(rgb & 0xFF), g = static_cast<int>(rgb >> 8 & 0xFF),
                  b = static_cast<int>(rgb >> 16 & 0xFF);
        int best = 0, bestDistance = 1 << 30;
        for (int e = 0; e < palette.colours; ++e) {
            const uint32_t argb = palette.argb[static_cast<size_t>(e)];
            const int dr = static_cast<int>(argb >> 16 & 0xFF) - r;
            const int dg = static_cast<int>(argb >> 8 & 0xFF) - g;
            const int db = static_cast<int>(argb & 0xFF) - b;
            const int distance = dr * dr + dg * dg + db * db;
            if (distance < bestDistance) {
                best = e;
                bestDistance = distance;
            }
        }
        palette.indexOf[pixel] = static_cast<uint8_t>(best);
    }
    return palette;
}
