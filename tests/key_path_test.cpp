// key_path_test.cpp -- keyframe path: segments, tangents, sorting, end of path, camera conversion
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "path/key_path.h"
#include "shared/scene_types.h"

namespace {

// A path of one value per key, keys (time, value) added in the given order.
std::unique_ptr<KeyPath> MakePath(std::initializer_list<std::pair<int32_t, float>> keys,
                                  uint32_t capacity = 0) {
    auto path = std::make_unique<KeyPath>(1, 0.5f, capacity ? capacity : uint32_t(keys.size()));
    for (const auto& [time, value] : keys)
        path->AddKey(time, &value);
    path->Prepare();
    return path;
}

float At(const KeyPath& path, float time, bool* playing = nullptr) {
    float out = -12345.0f;
    const bool ok = path.Evaluate(time, &out);
    if (playing) *playing = ok;
    return out;
}

TEST(KeyPath, ThreeKeysPlayOnlyTheFirstSegment) {
    const auto path = MakePath({{0, 10.0f}, {1000, 20.0f}, {2000, 40.0f}});
    bool playing = false;
    EXPECT_EQ(At(*path, 0, &playing), 10.0f);
    EXPECT_TRUE(playing);
    At(*path, 999, &playing);
    EXPECT_TRUE(playing);
    for (float t : {1000.0f, 1500.0f, 2000.0f, 5000.0f}) {
        // Past the end the last key's values are copied out.
        EXPECT_EQ(At(*path, t, &playing), 40.0f) << t;
        EXPECT_FALSE(playing) << t;
    }
}

TEST(KeyPath, KeyTimesGiveTheKeysValues) {
    const auto path =
        MakePath({{0, 1.5f}, {250, -7.25f}, {500, 3.0f}, {750, 100.0f}, {1000, 2.0f}});
    const struct { float time, value; } cases[] = {{0, 1.5f}, {250, -7.25f}, {500, 3.0f}};
    for (const auto& c : cases)
        EXPECT_EQ(At(*path, c.time), c.value) << c.time;
}

TEST(KeyPath, TangentsAreCatmullRomWithZeroEnds) {
    const auto path = MakePath({{0, 1.0f}, {100, 5.0f}, {200, 2.0f}, {300, 11.0f}});
    EXPECT_EQ(path->Key(0).tangent[0], 0.0f);
    EXPECT_EQ(path->Key(1).tangent[0], (2.0f - 1.0f) * 0.5f);
    EXPECT_EQ(path->Key(2).tangent[0], (11.0f - 5.0f) * 0.5f);
    EXPECT_EQ(path->Key(3).tangent[0], 0.0f);
}

// The blend in the exact order and precision the original uses.
float Hermite(float p0, float m0, float p1, float m1, float s) {
    const float s2 = s * s, s3 = s2 * s;
    const float h00 = float((2.0 * double(s3) - 3.0 * double(s2)) + 1.0);
    const float h01 = float(3.0 * double(s2) - 2.0 * double(s3));
    const float h10 = float((double(s3) - 2.0 * double(s2)) + double(s));
    const float h11 = s3 - s2;
    return ((m1 * h11 + p1 * h01) + m0 * h10) + p0 * h00;
}

TEST(KeyPath, InteriorValuesFollowTheHermiteBlendBitForBit) {
    const float v[] = {8388608.0f, 9388608.0f, 10388608.0f, 10888608.0f};
    const auto path = MakePath({{0, v[0]}, {1000, v[1]}, {2000, v[2]}, {3000, v[3]}});
    const float m1 = (v[2] - v[0]) * 0.5f, m2 = (v[3] - v[1]) * 0.5f;
    for (int t : {1, 333, 500, 999}) {
        const float s = float(t) / 1000.0f;
        EXPECT_EQ(At(*path, float(t)), Hermite(v[0], 0.0f, v[1], m1, s)) << t;
    }
    for (int t : {1000, 1001, 1777, 1999}) {
        const float s = float(t - 1000) / 1000.0f;
        EXPECT_EQ(At(*path, float(t)), Hermite(v[1], m1, v[2], m2, s)) << t;
    }
}

TEST(KeyPath, LeavesTheFirstKeyWithZeroSpeed) {
    const auto path = MakePath({{0, 0.0f}, {1000, 1000.0f}, {2000, 2000.0f}});
    // h10 and h11 carry the tangents; with zero start tangent and a tangent of
    // 1000 at key 1, the first millisecond moves far less than a linear 1.
    EXPECT_LT(At(*path, 1.0f), 0.01f);
}

TEST(KeyPath, FewerThanThreeKeysNeverPlay) {
    const auto empty = MakePath({}, 4);
    float out = 42.0f;
    EXPECT_FALSE(empty->Evaluate(0.0f, &out));
    EXPECT_EQ(out, 42.0f) << "an empty path leaves out untouched";
    for (const auto& path : {MakePath({{0, 3.0f}}), MakePath({{0, 3.0f}, {100, 4.0f}})}) {
        bool playing = true;
        const float last = path->Key(path->Count() - 1).value[0];
        EXPECT_EQ(At(*path, 0, &playing), last);
        EXPECT_FALSE(playing);
        EXPECT_EQ(path->Key(0).tangent[0], 0.0f);
    }
}

TEST(KeyPath, KeysBeyondCapacityAreIgnored) {
    auto path = std::make_unique<KeyPath>(1, 0.5f, 2);
    for (float v : {1.0f, 2.0f, 3.0f})
        path->AddKey(int32_t(v * 100), &v);
    EXPECT_EQ(path->Count(), 2u);
    EXPECT_EQ(path->Key(1).value[0], 2.0f);
}

TEST(KeyPath, PrepareSortsKeysAddedOutOfOrder) {
    // A negative interval adds keys in descending time.
    const auto path = MakePath({{0, 1.0f}, {-1000, 2.0f}, {-2000, 3.0f}, {-3000, 4.0f}});
    const int32_t expected[] = {-3000, -2000, -1000, 0};
    for (uint32_t i = 0; i < 4; ++i)
        EXPECT_EQ(path->Key(i).time, expected[i]);
    EXPECT_EQ(path->Key(1).tangent[0], (2.0f - 4.0f) * 0.5f) << "tangents follow the sorted order";
    // Negative times count as huge unsigned ones: no segment ever starts.
    for (float t : {0.0f, 10.0f, 1e9f}) {
        bool playing = true;
        At(*path, t, &playing);
        EXPECT_FALSE(playing) << t;
    }
}

TEST(KeyPath, NegativeFirstKeyPlaysFromZero) {
    const auto path = MakePath({{-1000, 5.0f}, {0, 6.0f}, {1000, 7.0f}, {2000, 8.0f}});
    bool playing = false;
    EXPECT_EQ(At(*path, 0, &playing), 6.0f);
    EXPECT_TRUE(playing);
    At(*path, 999, &playing);
    EXPECT_TRUE(playing);
    At(*path, 1000, &playing);
    EXPECT_FALSE(playing);
}

TEST(KeyPath, SortKeysKeepsTheOriginalOrderForEqualTimes) {
    // With equal times the order the quicksort leaves is part of the result.
    // Expected orders worked out by hand-running the original's partitioning
    // (last slot as pivot, i up while below it, j down while above it).
    const struct {
        std::vector<int32_t> times;   // key v has times[v] and value v
        std::vector<float> expected;  // values in slot order after sorting
    } cases[] = {
        {{0, 0, 0, 0, 0}, {2, 3, 4, 1, 0}},
        {{0, 0, 0, 0, 0, 0, 0}, {4, 3, 5, 6, 0, 2, 1}},
        {{0, 2, 0, 1, 0, 1, 1, 1, 2, 1, 0, 0}, {4, 10, 11, 0, 2, 7, 3, 9, 6, 5, 1, 8}},
    };
    for (const auto& c : cases) {
        const auto n = static_cast<uint32_t>(c.times.size());
        for (bool viaPrepare : {false, true}) {
            auto path = std::make_unique<KeyPath>(1, 0.5f, n);
            for (uint32_t v = 0; v < n; ++v) {
                const float value = float(v);
                path->AddKey(c.times[v], &value);
            }
            if (viaPrepare)
                path->Prepare();
            else
                path->SortKeys(0, int32_t(n) - 1);
            std::vector<float> order;
            for (uint32_t i = 0; i < n; ++i)
                order.push_back(path->Key(i).value[0]);
            EXPECT_EQ(order, c.expected) << n << " keys, via Prepare " << viaPrepare;
        }
    }
}

TEST(KeyPath, SortKeysLeavesEmptyRangesAlone) {
    auto path = std::make_unique<KeyPath>(1, 0.5f, 3);
    for (float v : {3.0f, 1.0f, 2.0f})
        path->AddKey(int32_t(v), &v);
    path->SortKeys(0, -1);
    path->SortKeys(2, 2);
    path->SortKeys(2, 1);
    EXPECT_EQ(path->Key(0).time, 3);
    EXPECT_EQ(path->Key(1).time, 1);
}

TEST(KeyPath, SortsLongAndReversedKeyListsQuickly) {
    // Key files may be long; sorting must neither recurse once per key nor
    // take quadratic time on the common orders.
    for (int32_t interval : {1, -1}) {
        const uint32_t n = 200000;
        auto path = std::make_unique<KeyPath>(1, 0.5f, n);
        for (uint32_t i = 0; i < n; ++i) {
            const float v = float(i);
            path->AddKey(int32_t(i) * interval, &v);
        }
        path->Prepare();
        for (uint32_t i = 1; i < n; ++i)
            ASSERT_LT(path->Key(i - 1).time, path->Key(i).time);
    }
}

TEST(TruncateToInt32, TruncatesTowardZeroAndSaturates) {
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        float value;
        int32_t expected;
    } cases[] = {
        {-1.9f, -1},
        {1.9f, 1},
        {0.0f, 0},
        {-0.0f, 0},
        {8388608.5f, 8388608},
        {2147483520.0f, 2147483520},
        {2147483648.0f, INT32_MAX},
        {1e20f, INT32_MAX},
        {-2147483648.0f, INT32_MIN},
        {-1e20f, INT32_MIN},
        {inf, INT32_MAX},
        {-inf, INT32_MIN},
        {std::nanf(""), 0},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TruncateToInt32(c.value), c.expected) << c.value;
}

TEST(CameraAtTime, StoresTruncatedValuesOrLeavesTheCameraOnFalse) {
    KeyPath path(5, 0.5f, 3);
    const float keys[3][5] = {{1.9f, -1.9f, 100.7f, 4096.5f, 80.2f},
                              {2.9f, -2.9f, 200.7f, 5000.5f, 90.2f},
                              {3.9f, -3.9f, 300.7f, 6000.5f, 99.2f}};
    for (int i = 0; i < 3; ++i)
        path.AddKey(i * 1000, keys[i]);
    path.Prepare();

    CameraState camera;
    ASSERT_TRUE(CameraAtTime(path, 0.0f, camera));
    EXPECT_EQ(camera.x, 1);
    EXPECT_EQ(camera.y, -1);
    EXPECT_EQ(camera.height, 100);
    EXPECT_EQ(camera.heading, 4096);
    EXPECT_EQ(camera.horizon, 80);

    const CameraState before = camera;
    EXPECT_FALSE(CameraAtTime(path, 1000.0f, camera));
    EXPECT_EQ(camera, before);

    // A path of other than five values gives no camera.
    KeyPath four(4, 0.5f, 3);
    for (int i = 0; i < 3; ++i)
        four.AddKey(i * 1000, keys[i]);
    four.Prepare();
    EXPECT_FALSE(CameraAtTime(four, 0.0f, camera));
    EXPECT_EQ(camera, before);
}

TEST(CameraAtTime, ConvertsNanAndHugeValuesWithoutFault) {
    const float inf = std::numeric_limits<float>::infinity();
    const struct {
        float key[5];
        int32_t expected[5];
    } cases[] = {
        {{std::nanf(""), 3e9f, -3e9f, 1e20f, -1e20f},
         {0, INT32_MAX, INT32_MIN, INT32_MAX, INT32_MIN}},
        // An infinite key times a zero weight is NaN in float arithmetic.
        {{inf, -inf, 1.0f, 2.0f, 3.0f}, {0, 0, 1, 2, 3}},
    };
    for (const auto& c : cases) {
        KeyPath path(5, 0.5f, 3);
        for (int i = 0; i < 3; ++i)
            path.AddKey(i * 1000, c.key);
        path.Prepare();
        CameraState camera;
        ASSERT_TRUE(CameraAtTime(path, 0.0f, camera));
        EXPECT_EQ(camera.x, c.expected[0]);
        EXPECT_EQ(camera.y, c.expected[1]);
        EXPECT_EQ(camera.height, c.expected[2]);
        EXPECT_EQ(camera.heading, c.expected[3]);
        EXPECT_EQ(camera.horizon, c.expected[4]);
    }
}

// The segment search's definition, one segment after another from the first.
uint32_t SegmentByDefinition(const KeyPath& path, uint32_t t) {
    for (uint32_t i = 0; i + 2 < path.Count(); ++i)
        if (uint32_t(path.Key(i).time) <= t && t < uint32_t(path.Key(i + 1).time)) return i;
    return KeyPath::kNoSegment;
}

TEST(KeyPath, SegmentSearchFindsTheFirstSegmentHoldingTheTime) {
    // Prepared paths of all kinds: long and short, times repeated, negative
    // times, huge ones, intervals of 0 and 1; probed at every key's time, one
    // either side, and at random.
    std::mt19937 rng(7);
    for (int trial = 0; trial < 300; ++trial) {
        const uint32_t keys = 1 + rng() % (trial % 10 == 0 ? 2000 : 12);
        KeyPath path(1, 0.5f, keys);
        int32_t time = trial % 3 == 0 ? -int32_t(rng() % 5000) : 0;
        for (uint32_t k = 0; k < keys; ++k) {
            const float v = float(k);
            path.AddKey(time, &v);
            const uint32_t step =
                rng() % 4 == 0 ? 0 : 1 + rng() % (trial % 7 == 0 ? 1u << 30 : 100);
            time = int32_t(uint32_t(time) + step);
        }
        path.Prepare();
        std::vector<uint32_t> probes = {0, 1, UINT32_MAX, 0x80000000u};
        for (uint32_t k = 0; k < path.Count(); ++k)
            for (uint32_t d : {uint32_t(-1), 0u, 1u})
                probes.push_back(uint32_t(path.Key(k).time) + d);
        for (int r = 0; r < 50; ++r)
            probes.push_back(rng());
        for (uint32_t t : probes)
            ASSERT_EQ(path.SegmentAt(t), SegmentByDefinition(path, t))
                << "trial " << trial << ", t " << t;
    }
}

TEST(KeyPath, HugeAndOddTimesDoNotFault) {
    const auto path = MakePath({{0, 1.0f}, {INT32_MAX, 2.0f}, {-1, 3.0f}});
    bool playing = false;
    At(*path, 4294967295.0f, &playing);
    At(*path, -5.0f, &playing);
    At(*path, std::nanf(""), &playing);
    At(*path, 1e30f, &playing);
    SUCCEED();
}

}  // namespace
