// wrap_grid.h -- a square grid of doubles that wraps around, as the maps do, with bilinear sampling
#pragma once

#include <cstddef>
#include <vector>

// A square grid of doubles that wraps in both directions (the map tiles).
class WrapGrid {
public:
    explicit WrapGrid(int size = 256, double fill = 0.0)
        : size_(size), cells_(static_cast<size_t>(size) * static_cast<size_t>(size), fill) {}

    int Size() const { return size_; }
    double& At(int x, int y) { return cells_[Index(x, y)]; }
    double At(int x, int y) const { return cells_[Index(x, y)]; }
    // Bilinear sample at a real position, wrapping.
    double Sample(double x, double y) const;
    std::vector<double>& Cells() { return cells_; }
    const std::vector<double>& Cells() const { return cells_; }

private:
    size_t Index(int x, int y) const {
        const int m = size_ - 1;  // sizes are powers of two
        return static_cast<size_t>(y & m) * static_cast<size_t>(size_) + static_cast<size_t>(x & m);
    }
    int size_;
    std::vector<double> cells_;
};
