// render_scratch.cpp -- the staging columns a renderer reuses from frame to frame
#include "render/render_scratch.h"

namespace terrain_fast {

uint16_t* RenderScratch::Staging(int columns, int rows, int& columnStride) {
    // Rows rounded up so that every column starts 32-byte aligned in the block.
    columnStride = (rows + kFillRunWidth + 15) & ~15;
    const size_t need = static_cast<size_t>(columnStride) * static_cast<size_t>(columns) + 16;
    if (staging_.size() < need) staging_.resize(need);
    const uintptr_t address = reinterpret_cast<uintptr_t>(staging_.data());
    return staging_.data() + ((32 - (address & 31)) & 31) / 2;
}

}  // namespace terrain_fast
