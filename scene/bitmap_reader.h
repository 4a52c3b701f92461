// bitmap_reader.h -- reads uncompressed Windows BMP pictures into BitmapImage
#pragma once

#include <cstdint>
#include <string>

#include "shared/scene_types.h"

constexpr int kBitmapOpenFailed = -1;  // the file could not be opened
constexpr int kBitmapBadHeader = -2;   // the headers did not pass the checks

// The largest pixel block the reader allocates: 64 MiB.
constexpr int64_t kMaxBitmapBytes = int64_t{64} << 20;

// Called by the scene loader for each picture. Clears `image`, then reads the
// file at `path`: the 14-byte file header, the info header, biClrUsed palette
// entries (256 when 0 for an 8-bit file) and the pixel rows. The palette
// follows the whole info header (40 bytes, the original's assumption, or a
// longer one: V4's 108 bytes, V5's 124); the rows start at bfOffBits when
// that lies after the palette and inside the file, else right after the
// palette, as the original always read them.
// Returns 1 on success, kBitmapOpenFailed or kBitmapBadHeader. Refused
// headers: not "BM", an info header shorter than 40 bytes or longer than
// 1024, planes other than 1, any compression, fewer than 8 bits per pixel,
// more than 256 palette entries, a width below 1, a height of 0, or more than
// kMaxBitmapBytes of pixels. Bytes missing from a short file read as zero. A
// failed read leaves the image empty.
int LoadBitmapFile(const std::string& path, BitmapImage& image);

// The same; on a failure `why` gets what is wrong with the file, as words
// that follow its name ("is compressed (RLE8); only uncompressed pictures
// are read").
int LoadBitmapFile(const std::string& path, BitmapImage& image, std::string& why);
