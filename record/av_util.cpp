// av_util.cpp -- error texts, frame allocation and encoder opening for the ffmpeg libraries
#include "record/av_util.h"

#include <functional>

extern "C" {
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/imgutils.h>
}

std::string AvErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

namespace {

constexpr int kAlign = 64;  // bytes: rows aligned for the encoders' vector code

}  // namespace

AvFramePtr NewVideoFrame(AVPixelFormat format, int width, int height, AVBufferPool* pool) {
    AvFramePtr frame(av_frame_alloc());
    if (!frame) return nullptr;
    frame->format = format;
    frame->width = width;
    frame->height = height;
    if (!pool) return av_frame_get_buffer(frame.get(), kAlign) < 0 ? nullptr : std::move(frame);
    frame->buf[0] = av_buffer_pool_get(pool);
    if (!frame->buf[0] || av_image_fill_arrays(frame->data, frame->linesize, frame->buf[0]->data,
                                               format, width, height, kAlign) < 0)
        return nullptr;
    return frame;
}

BufferPoolPtr NewFramePool(AVPixelFormat format, int width, int height) {
    const int size = av_image_get_buffer_size(format, width, height, kAlign);
    if (size < 0) return nullptr;
    return BufferPoolPtr(av_buffer_pool_init(static_cast<size_t>(size) + kAlign, nullptr));
}

AvCodecPtr OpenEncoder(const char* name, const std::function<void(AVCodecContext*)>& setUp,
                       const char* options, std::string& error) {
    const AVCodec* codec = avcodec_find_encoder_by_name(name);
    if (!codec) {
        error = std::string("this ffmpeg has no ") + name + " encoder";
        return nullptr;
    }
    AvCodecPtr context(avcodec_alloc_context3(codec));
    if (!context) {
        error = "out of memory";
        return nullptr;
    }
    setUp(context.get());
    AVDictionary* dictionary = nullptr;
    av_dict_parse_string(&dictionary, options, "=", " ", 0);
    const int status = avcodec_open2(context.get(), codec, &dictionary);
    av_dict_free(&dictionary);
    if (status < 0) {
        error =
            std::string("the ") + name + " encoder refused its settings: " + AvErrorText(status);
        return nullptr;
    }
    return context;
}
