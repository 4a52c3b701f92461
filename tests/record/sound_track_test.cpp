// sound_track_test.cpp -- the looping clip resampled for the encoder: frames of the size asked
// for, the loop without a seam, and a later start the same sound further on
#include <gtest/gtest.h>

#include <vector>

#include "record/av_util.h"
#include "record/sound_track.h"
#include "resources/resources.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/log.h>
}

namespace {

// The demo's clip, resampled to 22050 Hz mono float for AAC, `count` samples from `startMs`.
std::vector<float> Samples(int64_t startMs, int count, int frameSize) {
    const ResourceData wave = FindResource(kBackgroundSoundId, "WAVE");
    av_log_set_level(AV_LOG_ERROR);  // the encoder is opened, never used
    WaveClip clip;
    std::string error;
    EXPECT_TRUE(ParseWave(wave.data, wave.size, clip, error)) << error;
    AvCodecPtr encoder = OpenEncoder(
        "aac",
        [](AVCodecContext* c) {
            c->sample_fmt = AV_SAMPLE_FMT_FLTP;
            c->sample_rate = 22050;
            c->ch_layout = AV_CHANNEL_LAYOUT_MONO;
            c->time_base = {1, 22050};
        },
        "", error);
    EXPECT_TRUE(encoder) << error;
    std::unique_ptr<SoundTrack> track = SoundTrack::Make(clip, startMs, *encoder, error);
    EXPECT_TRUE(track) << error;
    std::vector<float> samples;
    while (static_cast<int>(samples.size()) < count) {
        AvFramePtr frame = track->Next(frameSize);
        EXPECT_TRUE(frame);
        EXPECT_EQ(frame->nb_samples, frameSize);
        EXPECT_EQ(frame->sample_rate, 22050);
        const float* data = reinterpret_cast<const float*>(frame->data[0]);
        samples.insert(samples.end(), data, data + frameSize);
    }
    samples.resize(static_cast<size_t>(count));
    return samples;
}

constexpr int kLoop = 82688 * 2;  // the clip's loop at twice its 11025 Hz

TEST(SoundTrack, LoopsWithoutASeamAndStartsWhereAsked) {
    const std::vector<float> fromStart = Samples(0, kLoop + 30000, 1024);
    // Past the loop's end the sound is the loop again (after the
    // resampler's first few samples, which have no past to draw on).
    for (int i = 100; i < 20000; ++i)
        ASSERT_NEAR(fromStart[static_cast<size_t>(kLoop + i)], fromStart[static_cast<size_t>(i)],
                    1e-6)
            << i;
    // A start 1000 ms on is the same sound 22050 samples on, whatever the frame size.
    const std::vector<float> later = Samples(1000, 20000, 333);
    for (int i = 100; i < 20000; ++i)
        ASSERT_NEAR(later[static_cast<size_t>(i)], fromStart[static_cast<size_t>(22050 + i)], 1e-6)
            << i;
    // Not silence.
    float loudest = 0;
    for (const float sample : fromStart)
        loudest = std::max(loudest, std::abs(sample));
    EXPECT_GT(loudest, 0.05f);
}

}  // namespace
