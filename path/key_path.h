// key_path.h -- keyframe path: Catmull-Rom tangents and cubic Hermite blending over time
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// One key as the path holds it: a time in milliseconds and `dimension`
// values with their tangents (zero until Prepare sets them). Valid until the
// path changes.
struct PathKey {
    int32_t time;
    const float* value;
    const float* tangent;
};

// A path of keys, each a time and a vector of floats. Between two keys the
// vector follows a cubic Hermite curve with Catmull-Rom tangents. Built by the
// scene loader (AddKey in file order, then Prepare), then only evaluated, by
// the render thread, once per frame.
//
// The keys are stored compactly, times and values each in one block, so a
// path costs what evaluating it needs (4 + 8 * dimension bytes a key) and
// nothing is allocated for slots that stay empty.
class KeyPath {
public:
    // A path of at most `capacity` keys; no keys stored yet.
    KeyPath(uint32_t dimension, float tension, uint32_t capacity);
    ~KeyPath();
    KeyPath(const KeyPath&) = delete;
    KeyPath& operator=(const KeyPath&) = delete;

    // Stores a key at `time` ms with a copy of `values` (dimension floats).
    // Ignored when every slot is taken.
    void AddKey(int32_t time, const float* values);

    // Exchanges slots a and b whole.
    void SwapKeys(int32_t a, int32_t b);

    // Sorts slots lo..hi by ascending time (signed), in place: a quicksort
    // with the last slot as pivot. A range with hi <= lo is left unchanged.
    void SortKeys(int32_t lo, int32_t hi);

    // Sorts the keys, then sets every key's tangent: (next - previous) *
    // tension for inner keys, zero for the first and the last.
    void Prepare();

    // Fills `out` (dimension floats) with the path's values at `time` ms and
    // returns true; returns false when no segment holds the time (before the
    // first key, from the next-to-last key's time on, or fewer than three
    // keys), after copying the last key's values into `out`.
    bool Evaluate(float time, float* out) const;

    // The segment Evaluate blends at `t` ms: the first i of 0 .. count - 3
    // with keys[i].time <= t < keys[i + 1].time, both compared as unsigned
    // 32-bit values; kNoSegment when there is none. Prepared keys of times
    // from 0 up are searched in halves, others one by one from the first:
    // the answer is the same either way.
    static constexpr uint32_t kNoSegment = UINT32_MAX;
    uint32_t SegmentAt(uint32_t t) const;

    uint32_t Dimension() const { return dimension; }
    uint32_t Capacity() const { return capacity; }
    uint32_t Count() const { return count; }
    // Key i, 0 <= i < Count().
    PathKey Key(uint32_t i) const {
        return {times[i], &values[size_t{i} * dimension], &tangents[size_t{i} * dimension]};
    }

private:
    void SortByDistinctTimes();
    float* Values(uint32_t i) { return &values[size_t{i} * dimension]; }
    float* Tangents(uint32_t i) { return &tangents[size_t{i} * dimension]; }

    float tension;
    uint32_t capacity;
    uint32_t count;
    uint32_t dimension;
    bool sorted = false;          // the keys are in ascending time order, as Prepare leaves them
    std::vector<int32_t> times;   // one a key
    std::vector<float> values;    // dimension a key, key after key
    std::vector<float> tangents;  // the same
};

// Converts a path value to a camera value: truncated toward zero, saturated
// to the 32-bit range, NaN giving 0.
int32_t TruncateToInt32(float value);
