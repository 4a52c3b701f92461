// key_path.cpp -- the keyframe camera path and its evaluation
#include "path/key_path.h"

#include <algorithm>
#include <cmath>
#include <vector>

KeyPath::KeyPath(uint32_t dimension_, float tension_, uint32_t capacity_)
    : tension(tension_),
      capacity(capacity_),
      count(0),
      keys(std::make_unique<PathKey[]>(capacity_)),
      dimension(dimension_) {}

KeyPath::~KeyPath() = default;

void KeyPath::AddKey(int32_t time, const float* values) {
    if (count == capacity) return;
    PathKey& key = keys[count];
    key.time = time;
    key.value = std::make_unique<float[]>(dimension);
    std::copy(values, values + dimension, key.value.get());
    key.tangent = std::make_unique<float[]>(dimension);
    ++count;
}

void KeyPath::SwapKeys(int32_t a, int32_t b) {
    if (a == b) return;
    std::swap(keys[a], keys[b]);
}

void KeyPath::SortKeys(int32_t lo, int32_t hi) {
    // Keeps the original's partitioning, so keys with equal times end in the
    // same order; but recurses into the smaller part and loops on the larger,
    // so the stack stays shallow on long, already ordered key files. The two
    // parts are disjoint, so the order they are sorted in changes nothing.
    while (hi > lo) {
        const int32_t pivot = keys[hi].time;
        int32_t i = lo - 1;
        int32_t j = hi;
        for (;;) {
            do
                ++i;
            while (keys[i].time < pivot);
            do
                --j;
            while (j > lo && keys[j].time > pivot);
            if (i >= j) break;
            SwapKeys(i, j);
        }
        SwapKeys(i, hi);
        if (i - lo < hi - i) {
            SortKeys(lo, i - 1);
            lo = i + 1;
        } else {
            SortKeys(i + 1, hi);
            hi = i - 1;
        }
    }
}

void KeyPath::Prepare() {
    if (count >= 2) {
        const auto byTime = [](const PathKey& a, const PathKey& b) { return a.time < b.time; };
        const auto strictly = [](const PathKey& a, const PathKey& b) { return a.time >= b.time; };
        PathKey* first = keys.get();
        PathKey* last = keys.get() + count;
        // Keys arrive in ascending order from the loader: then the quicksort
        // would move nothing, in count^2/2 comparisons. With all times distinct
        // every sort gives the same order, so a faster one is used; only equal
        // times need the original's partitioning to keep their order.
        if (std::adjacent_find(first, last, strictly) != last) {
            std::vector<int32_t> times;
            times.reserve(count);
            for (const PathKey* k = first; k != last; ++k)
                times.push_back(k->time);
            std::sort(times.begin(), times.end());
            if (std::adjacent_find(times.begin(), times.end()) == times.end())
                std::sort(first, last, byTime);
            else
                SortKeys(0, static_cast<int32_t>(count - 1));
        }
    }
    for (uint32_t k = 1; k + 1 < count; ++k) {
        for (uint32_t c = 0; c < dimension; ++c) {
            keys[k].tangent[c] = (keys[k + 1].value[c] - keys[k - 1].value[c]) * tension;
        }
    }
    if (count >= 1) {
        std::fill_n(keys[0].tangent.get(), dimension, 0.0f);
        std::fill_n(keys[count - 1].tangent.get(), dimension, 0.0f);
    }
}

namespace {

// Milliseconds as the unsigned 32-bit count the segment search compares.
// The frame loop passes whole numbers in range; anything else saturates.
uint32_t ToMilliseconds(float time) {
    if (!(time > 0.0f)) return 0;
    if (time >= 4294967296.0f) return UINT32_MAX;
    return static_cast<uint32_t>(time);
}

}  // namespace

bool KeyPath::Evaluate(float time, float* out) const {
    const uint32_t t = ToMilliseconds(time);
    // Segments 0 .. count-3: the last key only shapes the tangent before it.
    for (uint32_t i = 0; i + 2 < count; ++i) {
        const uint32_t t0 = static_cast<uint32_t>(keys[i].time);
        const uint32_t t1 = static_cast<uint32_t>(keys[i + 1].time);
        if (!(t0 <= t && t < t1)) continue;

        const float* p0 = keys[i].value.get();
        const float* m0 = keys[i].tangent.get();
        const float* p1 = keys[i + 1].value.get();
        const float* m1 = keys[i + 1].tangent.get();

        const float s = static_cast<float>(t - t0) / static_cast<float>(t1 - t0);
        const float s2 = s * s;
        const float s3 = s2 * s;
        // The Hermite weights: three in double precision from the float
        // powers, rounded back to float; h11 in float.
        const double ds = s, ds2 = s2, ds3 = s3;
        const float h00 = static_cast<float>((2.0 * ds3 - 3.0 * ds2) + 1.0);
        const float h01 = static_cast<float>(3.0 * ds2 - 2.0 * ds3);
        const float h10 = static_cast<float>((ds3 - 2.0 * ds2) + ds);
        const float h11 = s3 - s2;
        for (uint32_t c = 0; c < dimension; ++c) {
            out[c] = ((m1[c] * h11 + p1[c] * h01) + m0[c] * h10) + p0[c] * h00;
        }
        return true;
    }
    if (count > 0) std::copy_n(keys[count - 1].value.get(), dimension, out);
    return false;
}

int32_t TruncateToInt32(float value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483648.0f) return INT32_MAX;
    if (value <= -2147483648.0f) return INT32_MIN;
    return static_cast<int32_t>(value);
}
