// sound_track.cpp -- looping the clip and resampling it with libswresample
#include "record/sound_track.h"

extern "C" {
#include <libavutil/channel_layout.h>
#include <libavutil/opt.h>
}

namespace {

constexpr int kInputChunk = 2048;  // clip samples resampled at a time

}  // namespace

std::unique_ptr<SoundTrack> SoundTrack::Make(const WaveClip& clip, int64_t startMs,
                                             const AVCodecContext& encoder, std::string& error) {
    std::unique_ptr<SoundTrack> track(new SoundTrack());
    track->clip_ = clip;
    track->clipFrameBytes_ = clip.channels * clip.bitsPerSample / 8;
    const size_t clipFrames = clip.size / static_cast<size_t>(track->clipFrameBytes_);
    const uint64_t startFrame = static_cast<uint64_t>(startMs) * clip.sampleRate / 1000;
    track->position_ = static_cast<size_t>(startFrame % clipFrames) * track->clipFrameBytes_;
    track->format_ = encoder.sample_fmt;
    track->rate_ = encoder.sample_rate;
    av_channel_layout_copy(&track->layout_, &encoder.ch_layout);

    AVChannelLayout inLayout{};
    av_channel_layout_default(&inLayout, clip.channels);
    SwrContext* swr = nullptr;
    const AVSampleFormat inFormat = clip.bitsPerSample == 8 ? AV_SAMPLE_FMT_U8 : AV_SAMPLE_FMT_S16;
    // (The ffmpeg of Debian 12 takes the layouts by non-const pointer; it only reads them.)
    int status = swr_alloc_set_opts2(&swr, &track->layout_, encoder.sample_fmt, encoder.sample_rate,
                                     &inLayout, inFormat, clip.sampleRate, 0, nullptr);
    av_channel_layout_uninit(&inLayout);
    track->resampler_.reset(swr);
    if (status >= 0) status = swr_init(swr);
    if (status < 0) {
        error = "cannot resample the sound: " + AvErrorText(status);
        return nullptr;
    }
    track->queue_.reset(
        av_audio_fifo_alloc(encoder.sample_fmt, encoder.ch_layout.nb_channels, kInputChunk * 8));
    if (!track->queue_) {
        error = "out of memory";
        return nullptr;
    }
    track->input_.resize(static_cast<size_t>(kInputChunk) * track->clipFrameBytes_);
    return track;
}

SoundTrack::~SoundTrack() {
    av_channel_layout_uninit(&layout_);
}

AvFramePtr SoundTrack::NewFrame(int count) const {
    AvFramePtr frame(av_frame_alloc());
    if (!frame) return nullptr;
    frame->format = format_;
    frame->sample_rate = rate_;
    frame->nb_samples = count;
    if (av_channel_layout_copy(&frame->ch_layout, &layout_) < 0 ||
        av_frame_get_buffer(frame.get(), 0) < 0)
        return nullptr;
    return frame;
}

bool SoundTrack::Refill() {
    FillLooping(clip_.samples, clip_.size, position_, input_.data(), input_.size());
    const int room = swr_get_out_samples(resampler_.get(), kInputChunk);
    if (room < 0) return false;
    AvFramePtr out = NewFrame(room);
    if (!out) return false;
    const uint8_t* in[] = {input_.data()};
    const int made = swr_convert(resampler_.get(), out->data, room, in, kInputChunk);
    if (made < 0) return false;
    return av_audio_fifo_write(queue_.get(), reinterpret_cast<void**>(out->data), made) == made;
}

AvFramePtr SoundTrack::Next(int count) {
    while (av_audio_fifo_size(queue_.get()) < count)
        if (!Refill()) return nullptr;
    AvFramePtr frame = NewFrame(count);
    if (!frame ||
        av_audio_fifo_read(queue_.get(), reinterpret_cast<void**>(frame->data), count) != count)
        return nullptr;
    return frame;
}
