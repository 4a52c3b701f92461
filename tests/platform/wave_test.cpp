// wave_test.cpp -- reading WAVE clips and filling audio buffers in a seamless loop
#include <gtest/gtest.h>

#include <cstring>
#include <iterator>
#include <numeric>
#include <string>
#include <vector>

#include "platform/wave.h"

namespace {

void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void Put16(std::vector<uint8_t>& out, uint16_t v) {
    out.push_back(static_cast<uint8_t>(v));
    out.push_back(static_cast<uint8_t>(v >> 8));
}
void PutTag(std::vector<uint8_t>& out, const char* tag) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(tag[i]));
}

std::vector<uint8_t> FiveSamples() {
    static const uint8_t kSamples[] = {1, 2, 3, 4, 5};
    return std::vector<uint8_t>(std::begin(kSamples), std::end(kSamples));
}

struct WaveParts {
    uint16_t format = 1;
    uint16_t channels = 1;
    uint32_t rate = 11025;
    uint16_t bits = 8;
    int blockAlign = -1;  // -1: consistent with channels and bits
    std::vector<uint8_t> samples = FiveSamples();
    bool extraChunkFirst = false;  // an odd-sized "LIST" chunk before "fmt "
    bool dataFirst = false;
    bool noData = false;
    uint32_t dataLengthExtra = 0;  // claims more data than the file holds
};

std::vector<uint8_t> MakeWave(const WaveParts& p) {
    std::vector<uint8_t> body;
    PutTag(body, "WAVE");
    if (p.extraChunkFirst) {
        PutTag(body, "LIST");
        Put32(body, 3);
        body.insert(body.end(), {9, 9, 9, 0});  // 3 bytes and a pad byte
    }
    std::vector<uint8_t> fmt;
    PutTag(fmt, "fmt ");
    Put32(fmt, 16);
    Put16(fmt, p.format);
    Put16(fmt, p.channels);
    Put32(fmt, p.rate);
    const uint16_t align =
        p.blockAlign >= 0 ? static_cast<uint16_t>(p.blockAlign) : p.channels * p.bits / 8;
    Put32(fmt, p.rate * align);
    Put16(fmt, align);
    Put16(fmt, p.bits);
    std::vector<uint8_t> data;
    if (!p.noData) {
        PutTag(data, "data");
        Put32(data, static_cast<uint32_t>(p.samples.size()) + p.dataLengthExtra);
        data.insert(data.end(), p.samples.begin(), p.samples.end());
    }
    if (p.dataFirst) {
        body.insert(body.end(), data.begin(), data.end());
        body.insert(body.end(), fmt.begin(), fmt.end());
    } else {
        body.insert(body.end(), fmt.begin(), fmt.end());
        body.insert(body.end(), data.begin(), data.end());
    }
    std::vector<uint8_t> file;
    PutTag(file, "RIFF");
    Put32(file, static_cast<uint32_t>(body.size()));
    file.insert(file.end(), body.begin(), body.end());
    return file;
}

TEST(WaveTest, ReadsThePcmFormatsItSupports) {
    struct Case {
        uint16_t channels, bits;
        uint32_t rate;
        std::vector<uint8_t> samples;
        size_t expectedSize;
    };
    const Case cases[] = {
        {1, 8, 11025, {1, 2, 3, 4, 5}, 5},
        {2, 8, 22050, {1, 2, 3, 4, 5}, 4},  // whole sample frames only
        {1, 16, 44100, {1, 2, 3, 4, 5}, 4},
        {2, 16, 8000, {1, 2, 3, 4, 5, 6, 7, 8, 9}, 8},
    };
    for (const Case& c : cases) {
        WaveParts parts;
        parts.channels = c.channels;
        parts.bits = c.bits;
        parts.rate = c.rate;
        parts.samples = c.samples;
        const auto file = MakeWave(parts);
        WaveClip clip;
        std::string error;
        ASSERT_TRUE(ParseWave(file.data(), file.size(), clip, error)) << error;
        EXPECT_EQ(clip.channels, c.channels);
        EXPECT_EQ(clip.bitsPerSample, c.bits);
        EXPECT_EQ(clip.sampleRate, static_cast<int>(c.rate));
        ASSERT_EQ(clip.size, c.expectedSize);
        EXPECT_EQ(0, std::memcmp(clip.samples, c.samples.data(), clip.size));
    }
}

TEST(WaveTest, SkipsOtherChunksWithTheirPadding) {
    WaveParts parts;
    parts.extraChunkFirst = true;
    const auto file = MakeWave(parts);
    WaveClip clip;
    std::string error;
    ASSERT_TRUE(ParseWave(file.data(), file.size(), clip, error)) << error;
    EXPECT_EQ(clip.size, 5u);
    EXPECT_EQ(clip.samples[0], 1);
}

TEST(WaveTest, DataLongerThanTheFileIsCut) {
    WaveParts parts;
    parts.dataLengthExtra = 1000;
    const auto file = MakeWave(parts);
    WaveClip clip;
    std::string error;
    ASSERT_TRUE(ParseWave(file.data(), file.size(), clip, error)) << error;
    EXPECT_EQ(clip.size, 5u);
}

TEST(WaveTest, RefusesWhatItCannotPlay) {
    struct Case {
        const char* name;
        WaveParts parts;
        const char* error;
    };
    std::vector<Case> cases;
    auto add = [&](const char* name, auto change, const char* error) {
        WaveParts p;
        change(p);
        cases.push_back({name, p, error});
    };
    add(
        "compressed", [](WaveParts& p) { p.format = 2; }, "not uncompressed PCM");
    add(
        "no channels", [](WaveParts& p) { p.channels = 0; }, "not 1 or 2 channels");
    add(
        "six channels", [](WaveParts& p) { p.channels = 6; }, "not 1 or 2 channels");
    add(
        "24 bits", [](WaveParts& p) { p.bits = 24; }, "not 8 or 16 bits per sample");
    add(
        "zero rate", [](WaveParts& p) { p.rate = 0; }, "sample rate out of range");
    add(
        "bad alignment", [](WaveParts& p) { p.blockAlign = 3; },
        "block alignment does not match the format");
    add(
        "data first", [](WaveParts& p) { p.dataFirst = true; }, "data before the format chunk");
    add(
        "no data", [](WaveParts& p) { p.noData = true; }, "no data chunk");
    add(
        "empty data", [](WaveParts& p) { p.samples.clear(); }, "no samples");
    add(
        "half a frame",
        [](WaveParts& p) {
            p.bits = 16;
            p.samples = {1};
        },
        "no samples");
    for (const Case& c : cases) {
        const auto file = MakeWave(c.parts);
        WaveClip clip;
        std::string error;
        EXPECT_FALSE(ParseWave(file.data(), file.size(), clip, error)) << c.name;
        EXPECT_EQ(error, c.error) << c.name;
    }
}

TEST(WaveTest, RefusesFilesThatAreNotRiffWave) {
    const auto good = MakeWave({});
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases = {
        {"empty", {}},
        {"header only", std::vector<uint8_t>(good.begin(), good.begin() + 11)},
        {"no chunks", std::vector<uint8_t>(good.begin(), good.begin() + 12)}};
    auto notRiff = good;
    notRiff[0] = 'X';
    cases.push_back({"not RIFF", notRiff});
    auto notWave = good;
    notWave[8] = 'X';
    cases.push_back({"not WAVE", notWave});
    for (const Case& c : cases) {
        WaveClip clip;
        std::string error;
        EXPECT_FALSE(ParseWave(c.bytes.data(), c.bytes.size(), clip, error)) << c.name;
    }
}

TEST(WaveTest, LoopFillsAcrossTheEndWithoutAGap) {
    const std::vector<uint8_t> clip = {10, 11, 12, 13, 14};
    struct Case {
        size_t start;
        size_t count;
        std::vector<uint8_t> expected;
        size_t end;
    };
    const Case cases[] = {
        {0, 3, {10, 11, 12}, 3},
        {3, 4, {13, 14, 10, 11}, 2},
        {0, 12, {10, 11, 12, 13, 14, 10, 11, 12, 13, 14, 10, 11}, 2},
        {5, 2, {10, 11}, 2},  // a position at the end starts over
        {4, 0, {}, 4},
    };
    for (const Case& c : cases) {
        size_t position = c.start;
        std::vector<uint8_t> out(c.count, 0xEE);
        FillLooping(clip.data(), clip.size(), position, out.data(), out.size());
        EXPECT_EQ(out, c.expected) << "start " << c.start << " count " << c.count;
        EXPECT_EQ(position, c.end);
    }
}

TEST(WaveTest, SuccessiveBuffersJoinIntoOneUnbrokenLoop) {
    std::vector<uint8_t> clip(97);
    std::iota(clip.begin(), clip.end(), 0);
    size_t position = 0;
    std::vector<uint8_t> stream;
    for (size_t length : {1u, 64u, 200u, 7u, 96u, 97u, 300u}) {
        std::vector<uint8_t> buffer(length);
        FillLooping(clip.data(), clip.size(), position, buffer.data(), buffer.size());
        stream.insert(stream.end(), buffer.begin(), buffer.end());
    }
    for (size_t i = 0; i < stream.size(); ++i)
        ASSERT_EQ(stream[i], clip[i % clip.size()]) << i;
}

}  // namespace
