// picture_formats.h -- what the picture readers share: one reader per format, and the
// helpers that check a picture's size and hand its rows on (import/ only)
#pragma once

#include <cstdint>
#include <cstdio>
#include <memory>
#include <string>
#include <vector>

#include "import/picture_rows.h"

namespace picture_formats {

using File = std::unique_ptr<std::FILE, int (*)(std::FILE*)>;

// The most a reader may hold of one picture at once (an interlaced PNG or a
// GIF frame is held whole; SDL holds a BMP whole).
constexpr size_t kMaxHeldBytes = size_t{320} << 20;

// The file's name as a message shows it (control characters escaped).
std::string Named(const std::string& path);
// Whether a picture of this size may be read; else the message in `error`.
bool SizeAllowed(const std::string& path, int width, int height, std::string& error);
// Hands the picture's description to `rows`; a refusal becomes the error,
// naming the file.
bool BeginRows(PictureRows& rows, const PictureInfo& info, const std::string& path,
               std::string& error);
// Widens 8-bit RGB (or indexed, through the palette) rows for PictureRows.
void WidenRow(const uint8_t* rgb8, int width, std::vector<uint16_t>& out);
void PaletteRow(const uint8_t* indices, int width, const PictureInfo& info,
                std::vector<uint16_t>& out);

// One reader per format. `rows` null: only `info` is read. `file` is the open
// file where the reader reads from a stream, positioned at its start.
bool IsPng(const uint8_t* magic, size_t got);
bool ReadPng(const std::string& path, std::FILE* file, PictureRows* rows, PictureInfo& info,
             std::string& error);
bool ReadGif(const std::string& path, PictureRows* rows, PictureInfo& info, std::string& error);
bool ReadJpeg(const std::string& path, std::FILE* file, PictureRows* rows, PictureInfo& info,
              std::string& error);
bool ReadBmp(const std::string& path, PictureRows* rows, PictureInfo& info, std::string& error);
// A raw map: ".color" (palette indices, with the ".palette" beside it) or
// ".height" (grey levels).
bool IsRawMap(const std::string& path);
bool ReadRaw(const std::string& path, PictureRows* rows, PictureInfo& info, std::string& error);

}  // namespace picture_formats
