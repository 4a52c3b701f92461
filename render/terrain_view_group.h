// terrain_view_group.h -- what a vector path records while marching a group of columns, and how it
// turns that into pixels
#pragma once

#include <cstdint>

#include "render/terrain_view_plan.h"

namespace terrain_fast {

// The march of `Lanes` adjacent columns, step by step: the cell each ray
// reached, the rows filled once the step was done, and one bit per step and
// column telling whether that step filled rows (bit s % 32 of hits[s / 32]).
template <int Lanes>
struct alignas(32) GroupRecord {
    uint32_t cells[kMarchSteps][Lanes];
    int32_t fills[kMarchSteps][Lanes];
    uint32_t hits[kMarchSteps / 32][Lanes];
};

// Turns lane `lane` of a recorded march into its ground colours, bottom row
// first, and returns the number of ground rows. Only the steps that filled
// rows are visited; each run is stored kFillRunWidth entries at a time.
// Inlined into each vector path, so it is compiled for that path's
// instruction set.
template <int Lanes>
inline int StageLane(const FramePlan& plan, const GroupRecord<Lanes>& record, int lane,
                     uint16_t* ground) {
    const uint8_t* colourMap = plan.sources->colourMap;
    const uint32_t* shadeTable = plan.sources->shadeTable;
    int filled = 0;
    for (int word = 0; word < kMarchSteps / 32; ++word) {
        uint32_t bits = record.hits[word][lane];
        while (bits) {
            const int s = word * 32 + __builtin_ctz(bits);
            bits &= bits - 1;
            const uint16_t colour = static_cast<uint16_t>(
                shadeTable[colourMap[record.cells[s][lane]] * kFogLevels + (s >> 3)]);
            const int to = record.fills[s][lane];
            int at = filled;
            do {
                for (int i = 0; i < kFillRunWidth; ++i)
                    ground[at + i] = colour;
                at += kFillRunWidth;
            } while (at < to);
            filled = to;
        }
    }
    return filled;
}

}  // namespace terrain_fast
