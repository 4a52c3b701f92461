// wrap_grid.cpp -- bilinear sampling of a wrapping grid, in the generator's reproducible arithmetic
#include "shared/wrap_grid.h"

#include <cstdint>

#include "shared/exact_math.h"

double WrapGrid::Sample(double x, double y) const {
    const double x0 = Floor(x), y0 = Floor(y);
    const double fx = x - x0, fy = y - y0;
    const int ix = static_cast<int>(static_cast<int64_t>(x0) & (size_ - 1));
    const int iy = static_cast<int>(static_cast<int64_t>(y0) & (size_ - 1));
    const double a = Lerp(At(ix, iy), At(ix + 1, iy), fx);
    const double b = Lerp(At(ix, iy + 1), At(ix + 1, iy + 1), fx);
    return Lerp(a, b, fy);
}
