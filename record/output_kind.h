// output_kind.h -- what a recording is written as, chosen by the --out name, and the quality levels
#pragma once

#include <optional>
#include <string>
#include <vector>

enum class OutputKind {
    Mp4,        // H.264 and AAC in MP4
    Mkv,        // H.264 and Opus in Matroska
    Webm,       // VP9 and Opus in WebM
    Gif,        // animated GIF, one palette for the whole clip, no sound
    Webp,       // animated WebP, no sound
    PngFolder,  // a folder of numbered PNG files, no sound
};

enum class Quality { Low, Medium, High, Lossless };

// The kind an --out name asks for: a name ending in "/" is a folder of
// PNGs; otherwise its extension, in any case (.mp4, .mkv, .webm, .gif,
// .webp). Nothing for any other name.
std::optional<OutputKind> KindForOut(const std::string& out);

// What the usage error lists: ".mp4, .mkv, .webm, .gif, .webp or DIR/".
const char* KindsAccepted();

// "MP4 (H.264, AAC)", for messages.
const char* KindName(OutputKind kind);

// Whether the kind carries the sound.
bool KindHasSound(OutputKind kind);

// The frame rate used when --fps is not given: 60, 20 for GIF (whole
// hundredths of a second, and 10 s stay under 5 MB), 25 for WebP.
int DefaultFps(OutputKind kind);

// The scale used when --scale is not given: 2, or 1 for the animated
// pictures, which are shared as small files.
int DefaultScale(OutputKind kind);

// The highest frame rate the kind plays back faithfully: GIF delays are
// whole hundredths of a second and players slow down those under two.
int MaxFps(OutputKind kind);

// The names --quality takes, and the level for one of them (Medium for
// any other name, as when --quality is not given).
std::vector<std::string> QualityNames();
Quality QualityNamed(const std::string& name);
