// frame_sink.h -- where recorded frames go: a converter on each worker thread, one writer taking
// the frames in order
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/frame_buffer.h"
#include "record/av_util.h"
#include "render/hd_frame.h"

// One frame ready for the writer: a picture in the encoder's pixel format,
// or a file's bytes already encoded.
struct Picture {
    AvFramePtr frame;
    std::vector<uint8_t> bytes;
};

// Turns a drawn screen into a Picture. One per worker thread, used by that
// thread alone.
class PictureConverter {
public:
    virtual ~PictureConverter() = default;
    virtual bool Convert(const FrameBuffer& screen, Picture& picture, std::string& error) = 0;
    // The same from a true-colour frame (the HD view), cropped by the
    // geometry at scale 1. Outputs that cannot take one say so.
    virtual bool ConvertTrueColour(const HdFrame& frame, Picture& picture, std::string& error) {
        (void)frame;
        (void)picture;
        error = "this output cannot take true-colour frames";
        return false;
    }
};

// An output being written to its temporary place. Made and finished on the
// recording's thread; Write is called there too, frame 0 first.
class FrameSink {
public:
    virtual ~FrameSink() = default;
    // Called once by each worker thread before its first frame.
    virtual std::unique_ptr<PictureConverter> MakeConverter(std::string& error) const = 0;
    // Writes frame `index` (0, 1, 2, ... in order).
    virtual bool Write(int64_t index, Picture& picture, std::string& error) = 0;
    // Ends the output after `frames` frames so that it plays: flushes the
    // encoders and writes the container's index. Called once, when every
    // frame is written or the recording was stopped.
    virtual bool Finish(int64_t frames, std::string& error) = 0;
};
