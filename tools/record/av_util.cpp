// av_util.cpp -- error texts, frame allocation and encoder opening for the ffmpeg libraries
#include "tools/record/av_util.h"

#include <functional>

extern "C" {
#include <libavutil/dict.h>
#include <libavutil/error.h>
}

std::string AvErrorText(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return text;
}

AvFramePtr NewVideoFrame(AVPixelFormat format, int width, int height) {
    AvFramePtr frame(av_frame_alloc());
    if (!frame) return nullptr;
    frame->format = format;
    frame->width = width;
    frame->height = height;
    if (av_frame_get_buffer(frame.get(), 0) < 0) return nullptr;
    return frame;
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
