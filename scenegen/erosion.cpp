// erosion.cpp -- droplet erosion, thermal settling and smoothing on the wrapping height field
#include "scenegen/erosion.h"

#include <cmath>

#include "shared/exact_math.h"

namespace {

// The height and its gradient at a real position, from the four cells around it.
struct Surface {
    double height, gx, gy;
};

Surface SampleSurface(const WrapGrid& h, double x, double y) {
    const double x0 = Floor(x), y0 = Floor(y);
    const int ix = static_cast<int>(static_cast<int64_t>(x0)),
              iy = static_cast<int>(static_cast<int64_t>(y0));
    const double u = x - x0, v = y - y0;
    const double h00 = h.At(ix, iy), h10 = h.At(ix + 1, iy);
    const double h01 = h.At(ix, iy + 1), h11 = h.At(ix + 1, iy + 1);
    Surface s;
    s.gx = (h10 - h00) * (1.0 - v) + (h11 - h01) * v;
    s.gy = (h01 - h00) * (1.0 - u) + (h11 - h10) * u;
    s.height =
        h00 * (1.0 - u) * (1.0 - v) + h10 * u * (1.0 - v) + h01 * (1.0 - u) * v + h11 * u * v;
    return s;
}

void AddAt(WrapGrid& h, double x, double y, double amount) {
    const double x0 = Floor(x), y0 = Floor(y);
    const int ix = static_cast<int>(static_cast<int64_t>(x0)),
              iy = static_cast<int>(static_cast<int64_t>(y0));
    const double u = x - x0, v = y - y0;
    h.At(ix, iy) += amount * (1.0 - u) * (1.0 - v);
    h.At(ix + 1, iy) += amount * u * (1.0 - v);
    h.At(ix, iy + 1) += amount * (1.0 - u) * v;
    h.At(ix + 1, iy + 1) += amount * u * v;
}

// Takes `amount` from the cells within a radius of 2 around (x, y), more
// from the nearer ones, so that droplets cut smooth channels, not pits.
void TakeAround(WrapGrid& h, double x, double y, double amount) {
    constexpr int kRadius = 2;
    double weights[5][5];
    double total = 0.0;
    const int cx = static_cast<int>(static_cast<int64_t>(Floor(x)));
    const int cy = static_cast<int>(static_cast<int64_t>(Floor(y)));
    for (int dy = -kRadius; dy <= kRadius; ++dy)
        for (int dx = -kRadius; dx <= kRadius; ++dx) {
            const double ex = cx + dx + 0.5 - x, ey = cy + dy + 0.5 - y;
            const double w = kRadius + 0.5 - std::sqrt(ex * ex + ey * ey);
            weights[dy + kRadius][dx + kRadius] = w > 0 ? w : 0;
            total += w > 0 ? w : 0;
        }
    for (int dy = -kRadius; dy <= kRadius; ++dy)
        for (int dx = -kRadius; dx <= kRadius; ++dx)
            h.At(cx + dx, cy + dy) -= amount * weights[dy + kRadius][dx + kRadius] / total;
}

}  // namespace

void ErodeByRain(WrapGrid& height, int droplets, uint64_t seed) {
    constexpr int kLifetime = 48;
    constexpr double kInertia = 0.1;
    constexpr double kCapacity = 6.0;
    constexpr double kMinCapacity = 0.01;
    constexpr double kErodeRate = 0.3;
    constexpr double kDepositRate = 0.25;
    constexpr double kEvaporation = 0.03;
    constexpr double kGravity = 4.0;
    SceneRandom random(seed);
    const double size = height.Size();
    for (int d = 0; d < droplets; ++d) {
        double x = random.Range(0.0, size), y = random.Range(0.0, size);
        double dirX = 0.0, dirY = 0.0, speed = 1.0, water = 1.0, sediment = 0.0;
        for (int life = 0; life < kLifetime; ++life) {
            const Surface here = SampleSurface(height, x, y);
            dirX = dirX * kInertia - here.gx * (1.0 - kInertia);
            dirY = dirY * kInertia - here.gy * (1.0 - kInertia);
            const double length = std::sqrt(dirX * dirX + dirY * dirY);
            if (length < 1e-9) break;  // a flat spot: the droplet soaks away
            dirX /= length;
            dirY /= length;
            const double nx = x + dirX, ny = y + dirY;
            const double drop = here.height - SampleSurface(height, nx, ny).height;
            const double capacity =
                (drop > 0 ? drop : 0) * speed * water * kCapacity + kMinCapacity;
            if (drop < 0) {
                // Uphill: fill the hollow behind with what it carries.
                const double put = sediment < -drop ? sediment : -drop;
                sediment -= put;
                AddAt(height, x, y, put);
            } else if (sediment > capacity) {
                const double put = (sediment - capacity) * kDepositRate;
                sediment -= put;
                AddAt(height, x, y, put);
            } else {
                double take = (capacity - sediment) * kErodeRate;
                if (take > drop) take = drop;
                TakeAround(height, x, y, take);
                sediment += take;
            }
            const double v2 = speed * speed + drop * kGravity;
            speed = v2 > 0 ? std::sqrt(v2) : 0.0;
            water *= 1.0 - kEvaporation;
            x = nx;
            y = ny;
        }
    }
}

void SettleSlopes(WrapGrid& height, int iterations, double talus, double rate) {
    const int n = height.Size();
    constexpr int kDx[4] = {1, -1, 0, 0};
    constexpr int kDy[4] = {0, 0, 1, -1};
    for (int it = 0; it < iterations; ++it) {
        WrapGrid change(n);
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                const double h = height.At(x, y);
                for (int k = 0; k < 4; ++k) {
                    const double diff = h - height.At(x + kDx[k], y + kDy[k]);
                    if (diff > talus) {
                        const double move = (diff - talus) * rate * 0.25;
                        change.At(x, y) -= move;
                        change.At(x + kDx[k], y + kDy[k]) += move;
                    }
                }
            }
        for (size_t i = 0; i < height.Cells().size(); ++i)
            height.Cells()[i] += change.Cells()[i];
    }
}

void Smooth(WrapGrid& height, double amount) {
    const int n = height.Size();
    WrapGrid out(n);
    for (int y = 0; y < n; ++y)
        for (int x = 0; x < n; ++x) {
            double s = 0.0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    s += height.At(x + dx, y + dy) * ((dx == 0 ? 2 : 1) * (dy == 0 ? 2 : 1));
            out.At(x, y) = Lerp(height.At(x, y), s / 16.0, amount);
        }
    height = out;
}
