// key_path.cpp -- the keyframe camera path and its evaluation
#include "path/key_path.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>

KeyPath::KeyPath(uint32_t dimension_, float tension_, uint32_t capacity_)
    : tension(tension_), capacity(capacity_), count(0), dimension(dimension_) {}

KeyPath::~KeyPath() = default;

void KeyPath::AddKey(int32_t time, const float* keyValues) {
    if (count == capacity) return;
    sorted = false;
    times.push_back(time);
    values.insert(values.end(), keyValues, keyValues + dimension);
    tangents.resize(tangents.size() + dimension, 0.0f);
    ++count;
}

void KeyPath::SwapKeys(int32_t a, int32_t b) {
    if (a == b) return;
    sorted = false;
    const auto ka = static_cast<uint32_t>(a), kb = static_cast<uint32_t>(b);
    std::swap(times[ka], times[kb]);
    std::swap_ranges(Values(ka), Values(ka) + dimension, Values(kb));
    std::swap_ranges(Tangents(ka), Tangents(ka) + dimension, Tangents(kb));
}

void KeyPath::SortKeys(int32_t lo, int32_t hi) {
    // Keeps the original's partitioning, so keys with equal times end in the
    // same order; but recurses into the smaller part and loops on the larger,
    // so the stack stays shallow on long, already ordered key files. The two
    // parts are disjoint, so the order they are sorted in changes nothing.
    while (hi > lo) {
        const int32_t pivot = times[static_cast<size_t>(hi)];
        int32_t i = lo - 1;
        int32_t j = hi;
        for (;;) {
            do
                ++i;
            while (times[static_cast<size_t>(i)] < pivot);
            do
                --j;
            while (j > lo && times[static_cast<size_t>(j)] > pivot);
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

void KeyPath::SortByDistinctTimes() {
    // The order of the keys by time, then each cycle of that permutation
    // followed with swaps: in place, one index a key.
    std::vector<uint32_t> order(count);
    std::iota(order.begin(), order.end(), 0u);
    std::sort(order.begin(), order.end(),
              [this](uint32_t a, uint32_t b) { return times[a] < times[b]; });
    for (uint32_t start = 0; start < count; ++start) {
        // Slot `start` takes key order[start]; the key there moves on along
        // the cycle. Entries already placed point to themselves.
        uint32_t at = start;
        while (order[at] != start) {
            const uint32_t from = order[at];
            SwapKeys(static_cast<int32_t>(at), static_cast<int32_t>(from));
            order[at] = at;
            at = from;
        }
        order[at] = at;
    }
}

void KeyPath::Prepare() {
    // What AddKey grew by doubling is cut to size: a long key file costs its
    // keys and nothing more.
    times.shrink_to_fit();
    values.shrink_to_fit();
    tangents.shrink_to_fit();
    // Keys arrive in ascending order from the loader: then the quicksort
    // would move nothing, in count^2/2 comparisons. With all times distinct
    // every sort gives the same order, so a faster one is used; only equal
    // times need the original's partitioning to keep their order.
    if (count >= 2 &&
        std::adjacent_find(times.begin(), times.end(), std::greater_equal<>()) != times.end()) {
        std::vector<int32_t> sorted(times);
        std::sort(sorted.begin(), sorted.end());
        if (std::adjacent_find(sorted.begin(), sorted.end()) == sorted.end())
            SortByDistinctTimes();
        else
            SortKeys(0, static_cast<int32_t>(count - 1));
    }
    for (uint32_t k = 1; k + 1 < count; ++k) {
        const float* previous = Values(k - 1);
        const float* next = Values(k + 1);
        float* tangent = Tangents(k);
        for (uint32_t c = 0; c < dimension; ++c)
            tangent[c] = (next[c] - previous[c]) * tension;
    }
    if (count >= 1) {
        std::fill_n(Tangents(0), dimension, 0.0f);
        std::fill_n(Tangents(count - 1), dimension, 0.0f);
    }
    sorted = true;
}

uint32_t KeyPath::SegmentAt(uint32_t t) const {
    if (count < 3) return kNoSegment;
    if (sorted && times[0] >= 0) {
        // Times from 0 up compare the same signed or unsigned. In ascending
        // order the only segment that can hold t starts at the last key at or
        // before t: every earlier one ends at or before that key's time.
        const auto starts = times.begin();
        const auto ends = starts + (count - 1);  // keys that can start a segment, and one more
        const auto after = std::upper_bound(starts, ends, t, [](uint32_t time, int32_t key) {
            return time < static_cast<uint32_t>(key);
        });
        if (after == starts) return kNoSegment;
        const auto i = static_cast<uint32_t>(after - starts - 1);
        return i + 2 < count && t < static_cast<uint32_t>(times[i + 1]) ? i : kNoSegment;
    }
    // Segments 0 .. count-3: the last key only shapes the tangent before it.
    for (uint32_t i = 0; i + 2 < count; ++i) {
        const uint32_t t0 = static_cast<uint32_t>(times[i]);
        const uint32_t t1 = static_cast<uint32_t>(times[i + 1]);
        if (t0 <= t && t < t1) return i;
    }
    return kNoSegment;
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
    if (const uint32_t i = SegmentAt(t); i != kNoSegment) {
        const uint32_t t0 = static_cast<uint32_t>(times[i]);
        const uint32_t t1 = static_cast<uint32_t>(times[i + 1]);

        const float* p0 = &values[size_t{i} * dimension];
        const float* m0 = &tangents[size_t{i} * dimension];
        const float* p1 = &values[size_t{i + 1} * dimension];
        const float* m1 = &tangents[size_t{i + 1} * dimension];

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
    if (count > 0) std::copy_n(&values[size_t{count - 1} * dimension], dimension, out);
    return false;
}

int32_t TruncateToInt32(float value) {
    if (std::isnan(value)) return 0;
    if (value >= 2147483648.0f) return INT32_MAX;
    if (value <= -2147483648.0f) return INT32_MIN;
    return static_cast<int32_t>(value);
}
