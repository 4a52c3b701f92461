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
// rows are visited; each run is stored kFillRunWidth entries at a time, so
// that a run of up to that many rows costs one store (entries past the run
// are overwritten by the next run or never read). Inlined into each vector
// path, so it is compiled for that path's instruction set.
template <int Lanes>
inline int StageLane(const MarchPlan& plan, const GroupRecord<Lanes>& record, int lane,
                     uint16_t* ground) {
    const uint8_t* const colourMap = plan.sources->colourMap;
    const uint32_t* const shadeTable = plan.sources->shadeTable;
    uint16_t* run = ground;  // the next row to fill
    // Two 32-step words at a time: fewer loop exits to mispredict.
    for (int pair = 0; pair < kMarchSteps / 64; ++pair) {
        uint64_t bits = record.hits[2 * pair][lane] |
                        static_cast<uint64_t>(record.hits[2 * pair + 1][lane]) << 32;
        if (!bits) continue;
        const uint32_t* const cells = &record.cells[pair * 64][lane];
        const int32_t* const fills = &record.fills[pair * 64][lane];
        // Fog level (step / 8) = pair * 8 + k / 8 for step pair * 64 + k.
        const uint32_t* const shade = shadeTable + pair * 8;
        do {
            const unsigned k = static_cast<unsigned>(__builtin_ctzll(bits));
            bits &= bits - 1;
            const unsigned at = k * Lanes;
            const uint16_t colour =
                static_cast<uint16_t>(shade[colourMap[cells[at]] * kFogLevels + (k >> 3)]);
            uint16_t* const end = ground + fills[at];
            for (int i = 0; i < kFillRunWidth; ++i)
                run[i] = colour;
            if (end - run > kFillRunWidth) {
                for (uint16_t* more = run + kFillRunWidth; more < end; more += kFillRunWidth)
                    for (int i = 0; i < kFillRunWidth; ++i)
                        more[i] = colour;
            }
            run = end;
        } while (bits);
    }
    return static_cast<int>(run - ground);
}

}  // namespace terrain_fast
