// key_path.h -- keyframe path: Catmull-Rom tangents and cubic Hermite blending over time
#pragma once

#include <cstdint>
#include <memory>

// One key: a time in milliseconds and `dimension` values with their tangents.
// An empty slot has time -1 and no arrays.
struct PathKey {
    int32_t time = -1;
    std::unique_ptr<float[]> value;
    std::unique_ptr<float[]> tangent;
};

// A path of keys, each a time and a vector of floats. Between two keys the
// vector follows a cubic Hermite curve with Catmull-Rom tangents. Built by the
// scene loader (AddKey in file order, then Prepare), then only evaluated, by
// the render thread, once per frame.
class KeyPath {
public:
    // `capacity` key slots, each empty; no keys stored yet.
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

    uint32_t Dimension() const { return dimension; }
    uint32_t Capacity() const { return capacity; }
    uint32_t Count() const { return count; }
    const PathKey& Key(uint32_t i) const { return keys[i]; }

private:
    float tension;
    uint32_t capacity;
    uint32_t count;
    std::unique_ptr<PathKey[]> keys;
    uint32_t dimension;
};

// Converts a path value to a camera value: truncated toward zero, saturated
// to the 32-bit range, NaN giving 0.
int32_t TruncateToInt32(float value);
