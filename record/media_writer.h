// media_writer.h -- a recording written through libavformat: video (H.264, VP9, GIF or WebP) with
// the looping sound where the container carries it
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "platform/wave.h"
#include "record/encoder_settings.h"
#include "record/frame_sink.h"
#include "record/gif_palette.h"
#include "record/picture.h"

struct MediaRequest {
    EncoderSettings settings;
    PictureGeometry geometry;  // the output size is geometry.width x height
    int fps = 60;
    const WaveClip* sound = nullptr;      // null: no audio stream
    int64_t soundStartMs = 0;             // where in its loop the sound is at frame 0
    const GifPalette* palette = nullptr;  // GIF only; must outlive the writer
};

// Opens `path` (a file that may exist and is overwritten) and the encoders.
// Returns null with a message when an encoder is missing or refuses its
// settings or the file cannot be opened.
std::unique_ptr<FrameSink> OpenMediaWriter(const MediaRequest& request, const std::string& path,
                                           std::string& error);
