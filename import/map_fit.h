// map_fit.h -- a picture brought to a map's size while it is read: area averaging when it
// shrinks, bilinear when it grows, or a piece taken 1:1; and the edges of a map that does not
// tile blended so that its repeat shows no seam
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "import/picture_reader.h"

// Where the map comes from in the picture.
struct MapSource {
    bool region = false;  // a width x height piece 1:1 from (x, y); else a part fitted
    int x = 0, y = 0;
    // The part fitted, in the picture's pixels (a width of 0: the whole
    // picture): the same ground as another picture's region, when the two
    // pictures differ in size.
    double left = 0, top = 0, width = 0, height = 0;
};

// The picture at the map's size: per cell the mean colour and luminance
// (0 to 65535, 16-bit precision kept) and the highest luminance the cell
// covers; the palette indices too, when an indexed picture was taken 1:1.
struct FittedMap {
    int width = 0, height = 0;
    PictureInfo picture;
    std::vector<float> rgb;        // width x height x 3
    std::vector<float> luminance;  // width x height
    std::vector<float> peak;       // width x height: the highest luminance under the cell
    bool shrunk = false;           // every cell averages at least one whole pixel
    std::vector<uint8_t> indices;  // indexed and 1:1 only
    // The picture's own colours (8-bit) when it has at most 256, else empty.
    std::vector<std::array<uint8_t, 3>> colours;
    // Of the pixels the map comes from (the region, the part or the whole):
    // their lowest and highest luminance; the mean absolute luminance step
    // between neighbouring pixels, across and down; how many pixels wide they
    // are; and the share whose red, green and blue differ by more than 3 levels.
    float sourceLow = 0, sourceHigh = 0;
    double sourceStep = 0;
    double sourceWidth = 0;
    double colouredShare = 0;
};

// The mean absolute step between neighbouring cells of a map, across and
// down, not wrapping: the slope the import keeps.
double MeanStep(const std::vector<float>& plane, int width, int height);

// Reads `path` into a width x height map from `source`. False with a message
// (naming the file) when the picture cannot be read or the region does not fit.
bool FitPicture(const std::string& path, int width, int height, const MapSource& source,
                FittedMap& map, std::string& error);

// How much a wrapping map jumps where it repeats, against how much it changes
// across its roughest line inside, as mean absolute differences along a line.
struct SeamMeasure {
    double acrossX = 0;  // column width - 1 against column 0
    double acrossY = 0;  // row height - 1 against row 0
    double inside = 0;   // the largest between two neighbouring columns or rows
    bool Tiles() const;  // the jumps are no larger than the picture's own
};
SeamMeasure MeasureSeam(const std::vector<float>& plane, int width, int height, int stride = 1,
                        int channel = 0);

// Blends the edges of a map that does not tile: within `band` cells of each
// edge, each row (and then each column) is bent towards the mean of its two
// edge values, so that the two sides meet; `alongY` = false leaves the rows
// alone (a sky turns round but does not repeat upwards).
void BlendEdges(std::vector<float>& plane, int width, int height, int stride, int channel, int band,
                bool alongY = true);
