// picture_reader.h -- reads the pictures people keep their maps in (PNG, GIF, BMP, JPEG and
// raw byte maps with a palette), row by row, so that a picture of any allowed size is
// resampled without being held whole
#pragma once

#include <string>

#include "import/picture_rows.h"

// Reads the picture at `path`, whose kind is found from its first bytes (a
// ".color" or ".height" file is a raw map, square; a ".color" map has its
// colours in the ".palette" file beside it, a ".height" map's bytes are grey
// levels whatever lies beside it). False with a message naming the file and what
// is wrong with it when it cannot be read, is larger than kMaxPictureSide or
// smaller than kMinPictureSide on a side, or `rows` refuses it.
bool ReadPicture(const std::string& path, PictureRows& rows, std::string& error);

// Only the picture's kind, size and palette, without its rows.
bool ReadPictureInfo(const std::string& path, PictureInfo& info, std::string& error);
