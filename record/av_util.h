// av_util.h -- owning handles for the ffmpeg libraries' objects, and their error codes as text
#pragma once

#include <functional>
#include <memory>
#include <string>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/audio_fifo.h>
#include <libswresample/swresample.h>
#include <libswscale/swscale.h>
}

struct AvFrameFree {
    void operator()(AVFrame* frame) const { av_frame_free(&frame); }
};
struct AvPacketFree {
    void operator()(AVPacket* packet) const { av_packet_free(&packet); }
};
struct AvCodecFree {
    void operator()(AVCodecContext* codec) const { avcodec_free_context(&codec); }
};
struct SwsFree {
    void operator()(SwsContext* sws) const { sws_freeContext(sws); }
};
struct SwrFree {
    void operator()(SwrContext* swr) const { swr_free(&swr); }
};
struct AudioFifoFree {
    void operator()(AVAudioFifo* fifo) const { av_audio_fifo_free(fifo); }
};
using AvFramePtr = std::unique_ptr<AVFrame, AvFrameFree>;
using AvPacketPtr = std::unique_ptr<AVPacket, AvPacketFree>;
using AvCodecPtr = std::unique_ptr<AVCodecContext, AvCodecFree>;
using SwsPtr = std::unique_ptr<SwsContext, SwsFree>;
using SwrPtr = std::unique_ptr<SwrContext, SwrFree>;
using AudioFifoPtr = std::unique_ptr<AVAudioFifo, AudioFifoFree>;

// The library's text for an error code: "No space left on device".
std::string AvErrorText(int code);

struct BufferPoolFree {
    void operator()(AVBufferPool* pool) const { av_buffer_pool_uninit(&pool); }
};
using BufferPoolPtr = std::unique_ptr<AVBufferPool, BufferPoolFree>;

// A new frame of `format` and size with its own buffers; null when memory
// runs out. With a `pool` (made by NewFramePool for the same format and
// size) the buffer is one the pool has had back, if any: fresh memory for
// every frame would be page faults for every frame.
AvFramePtr NewVideoFrame(AVPixelFormat format, int width, int height, AVBufferPool* pool = nullptr);
BufferPoolPtr NewFramePool(AVPixelFormat format, int width, int height);

// Opens the encoder `name` with `options` (space-separated "key=value"
// pairs of its private options) after `setUp` has filled the context. Returns null with a message
// naming the encoder in `error` when it is missing or refuses the settings.
AvCodecPtr OpenEncoder(const char* name, const std::function<void(AVCodecContext*)>& setUp,
                       const char* options, std::string& error);
