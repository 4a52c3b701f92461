// hd_view_avx2.cpp -- the HD view's AVX2 tile kernel: eight columns marched in step
#include "render/hd_view_fast.h"

namespace hd_detail {

bool HaveAvx2Kernel() {
    return false;
}

void MarchTileAvx2(const Plan& plan, int col0, int count, uint32_t* tile, TileEnds& ends) {
    MarchTileScalar(plan, col0, count, tile, ends);
}

}  // namespace hd_detail
