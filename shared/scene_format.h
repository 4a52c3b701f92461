// scene_format.h -- the scene's fixed names, shapes and units, and the view's margins, in one place
#pragma once

#include <cstddef>

// The files of a scene, all in one directory. The key file names the two
// maps; the sky's name is fixed.
inline constexpr char kKeyFileName[] = "Keys2.txt";
inline constexpr char kSkyFileName[] = "sky.BMP";

// The caption of the messages that name a scene file that failed.
inline constexpr char kFileErrorCaption[] = "Pelmora, File Error";

// Limits of the original's fixed name buffers, in characters.
constexpr size_t kMaxNameChars = 79;   // a picture name from the key file
constexpr size_t kMaxPathChars = 255;  // a whole path

// The height and colour maps: kMapSide x kMapSide cells, cell = y * 256 + x.
// The renderer repeats them without end in both directions.
constexpr int kMapSide = 256;
constexpr int kMapCells = kMapSide * kMapSide;

// The sky picture: kSkyWidth columns, kSkyRows rows, 8-bit with a palette.
constexpr int kSkyWidth = 512;
constexpr int kSkyRows = 256;

// Units. A height-map byte h stands for h << kHeightShift camera units; map
// positions are 16.16 fixed point (65536 is one cell); angles run
// kAngleUnits to a turn.
constexpr int kHeightShift = 17;
constexpr int kCellUnits = 1 << 16;
constexpr int kAngleUnits = 4096;
constexpr int kAngleMask = kAngleUnits - 1;

// Haze levels per palette colour in the shade table.
constexpr int kFogLevels = 32;

// The camera values a key holds: x, y, height, heading, horizon.
constexpr int kKeyValues = 5;

// The view: at most kMaxViewSide pixels across and down, counted from the
// display's top, below a margin of kTopMargin display rows. Its last row is
// the display's height less kBottomRowOffset, so a display needs at least
// kMinDisplayRows rows to hold a view.
constexpr int kMaxViewSide = 320;
constexpr int kTopMargin = 24;
constexpr int kBottomRowOffset = kTopMargin + 1;
constexpr int kMinDisplayRows = kBottomRowOffset;
