// encoder_settings.h -- the container, encoders and their fixed settings for each output kind and
// quality: the same settings on every machine, so the same command writes the same bytes
#pragma once

#include <string>

#include "record/output_kind.h"

extern "C" {
#include <libavutil/pixfmt.h>
#include <libavutil/samplefmt.h>
}

struct EncoderSettings {
    const char* muxer = "";         // libavformat's name for the container
    std::string muxerOptions;       // "key=value" pairs, space-separated
    const char* videoEncoder = "";  // libavcodec's name
    AVPixelFormat pixelFormat = AV_PIX_FMT_NONE;
    bool yuv = false;                    // RGB is turned into BT.709 limited-range YUV 4:2:0
    std::string videoOptions;            // "key=value" pairs, space-separated
    int videoThreads = 1;                // a fixed number: x264's and libvpx's output depend on it
    const char* audioEncoder = nullptr;  // null: no sound
    AVSampleFormat sampleFormat = AV_SAMPLE_FMT_NONE;
    int sampleRate = 48000;    // samples a second
    int audioBitRate = 0;      // bits per second
    std::string audioOptions;  // "key=value" pairs, space-separated
};

// The settings for `kind` at `quality` (not for PngFolder, which writes
// through libavcodec's PNG encoder frame by frame).
EncoderSettings SettingsFor(OutputKind kind, Quality quality);
