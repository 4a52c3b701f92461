// sdl_sound_test.cpp -- the looping sound on SDL audio, written to a file by SDL's disk driver
#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <iterator>
#include <string>
#include <thread>
#include <vector>

#include "platform/sdl/sdl_sound.h"
#include "resources/resources.h"
#include "tests/support/environment.h"
#include "tests/support/test_files.h"

namespace {

using namespace std::chrono_literals;

// An 8-bit mono WAVE file of `samples`.
std::vector<uint8_t> MakeWave(const std::vector<uint8_t>& samples, uint32_t rate) {
    std::vector<uint8_t> file;
    file.reserve(44 + samples.size());
    auto put32 = [&](uint32_t v) {
        for (int i = 0; i < 4; ++i)
            file.push_back(static_cast<uint8_t>(v >> (8 * i)));
    };
    auto put16 = [&](uint16_t v) {
        file.push_back(static_cast<uint8_t>(v));
        file.push_back(static_cast<uint8_t>(v >> 8));
    };
    auto tag = [&](const char* t) {
        for (int i = 0; i < 4; ++i)
            file.push_back(static_cast<uint8_t>(t[i]));
    };
    tag("RIFF");
    put32(static_cast<uint32_t>(36 + samples.size()));
    tag("WAVE");
    tag("fmt ");
    put32(16);
    put16(1);
    put16(1);
    put32(rate);
    put32(rate);
    put16(1);
    put16(8);
    tag("data");
    put32(static_cast<uint32_t>(samples.size()));
    file.insert(file.end(), samples.begin(), samples.end());
    return file;
}

std::string ReadBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

TEST(LoopingSoundTest, ClipLoopsWithoutAGapUntilStopped) {
    TempDir dir;
    SetEnvironmentVariable("SDL_AUDIODRIVER", "disk");
    SetEnvironmentVariable("SDL_DISKAUDIOFILE", dir.File("out.raw").c_str());
    // A 1000-sample ramp that never repeats inside itself, at 11025 Hz.
    std::vector<uint8_t> samples(1000);
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = static_cast<uint8_t>(1 + i * 7 % 251);
    const std::vector<uint8_t> wave = MakeWave(samples, 11025);
    SdlSound sound;
    ASSERT_TRUE(sound.PlayLooping(wave.data(), wave.size()));
    EXPECT_TRUE(sound.Playing());
    std::this_thread::sleep_for(400ms);  // about 4.4 loops
    sound.Stop();
    EXPECT_FALSE(sound.Playing());
    const std::string played = ReadBytes(dir.File("out.raw"));
    const std::string clip(samples.begin(), samples.end());
    const size_t start = played.find(clip.substr(0, 16));
    ASSERT_NE(start, std::string::npos);
    ASSERT_GT(played.size() - start, 3 * clip.size());
    for (size_t i = start; i < played.size(); ++i)
        ASSERT_EQ(played[i], clip[(i - start) % clip.size()]) << "byte " << i;
    // Nothing is written once stopped.
    const size_t stoppedAt = played.size();
    std::this_thread::sleep_for(100ms);
    EXPECT_EQ(ReadBytes(dir.File("out.raw")).size(), stoppedAt);
}

TEST(LoopingSoundTest, ProgramsResourcePlaysUntilStopped) {
    TempDir dir;
    SetEnvironmentVariable("SDL_AUDIODRIVER", "disk");
    SetEnvironmentVariable("SDL_DISKAUDIOFILE", dir.File("out.raw").c_str());
    const ResourceData clip = FindResource(kBackgroundSoundId, "WAVE");
    SdlSound sound;
    EXPECT_TRUE(sound.PlayLooping(clip.data, clip.size));
    EXPECT_TRUE(sound.Playing());
    std::this_thread::sleep_for(100ms);
    sound.Stop();
    EXPECT_FALSE(sound.Playing());
    EXPECT_GT(ReadBytes(dir.File("out.raw")).size(), 0u);
    // Stopping when nothing plays is fine.
    sound.Stop();
    EXPECT_FALSE(sound.Playing());
}

TEST(LoopingSoundTest, WithoutAnAudioDeviceTheDemoIsSilent) {
    SetEnvironmentVariable("SDL_AUDIODRIVER", "no-such-driver");
    const ResourceData clip = FindResource(kBackgroundSoundId, "WAVE");
    SdlSound sound;
    EXPECT_FALSE(sound.PlayLooping(clip.data, clip.size));
    EXPECT_FALSE(sound.Playing());
}

TEST(LoopingSoundTest, MissingResourceOrBrokenClipPlaysNothing) {
    SetEnvironmentVariable("SDL_AUDIODRIVER", "dummy");
    const ResourceData missing = FindResource(108, "WAVE");
    SdlSound sound;
    EXPECT_FALSE(sound.PlayLooping(missing.data, missing.size));
    const std::vector<uint8_t> notWave = {'R', 'I', 'F', 'F', 0, 0, 0, 0};
    EXPECT_FALSE(sound.PlayLooping(notWave.data(), notWave.size()));
    EXPECT_FALSE(sound.Playing());
}

}  // namespace
