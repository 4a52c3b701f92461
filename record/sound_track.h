// sound_track.h -- the demo's looping clip played round and round from a given moment, resampled
// into the audio encoder's rate and sample format
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/wave.h"
#include "record/av_util.h"

class SoundTrack {
public:
    // The clip as heard `startMs` milliseconds after the demo started it
    // (the loop goes on without a gap), converted for `encoder` (its rate,
    // sample format and channel layout). The clip's bytes must outlive the
    // track. Returns null with a message when the resampler cannot be made.
    static std::unique_ptr<SoundTrack> Make(const WaveClip& clip, int64_t startMs,
                                            const AVCodecContext& encoder, std::string& error);
    ~SoundTrack();

    // Called by the writer for each audio frame: the next `count` samples
    // (per channel) in the encoder's format; null when memory runs out.
    AvFramePtr Next(int count);

private:
    SoundTrack() = default;
    // Resamples another stretch of the clip into the queue.
    bool Refill();
    // An empty frame of `count` samples in the encoder's format.
    AvFramePtr NewFrame(int count) const;

    WaveClip clip_;
    size_t position_ = 0;  // the next byte of the clip to resample
    int clipFrameBytes_ = 1;
    AVSampleFormat format_ = AV_SAMPLE_FMT_NONE;
    AVChannelLayout layout_{};
    int rate_ = 0;
    SwrPtr resampler_;
    AudioFifoPtr queue_;
    std::vector<uint8_t> input_;
};
