// png_folder.h -- a recording written as numbered PNG files in a folder, each frame exact
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "record/frame_sink.h"
#include "record/picture.h"

// The name of frame `index` of a recording of `frames` frames:
// "frame-000042.png", with at least six digits and as many as the last needs.
std::string PngFrameName(int64_t index, int64_t frames);

// Writes frames into the existing folder `folder` as 8-bit RGB PNGs
// encoded on the worker threads by libavcodec. `frames` is the number
// planned, for the names' width.
std::unique_ptr<FrameSink> OpenPngFolder(const PictureGeometry& geometry, const std::string& folder,
                                         int64_t frames);
