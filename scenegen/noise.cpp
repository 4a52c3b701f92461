// noise.cpp -- tileable gradient noise, fractal and ridged sums
#include "scenegen/noise.h"

#include "shared/exact_math.h"

namespace {

// Sixteen unit gradients, evenly spread round the circle.
struct Gradient {
    double x, y;
};
constexpr Gradient kGradients[16] = {
    {1.0, 0.0},
    {0.92387953251128674, 0.38268343236508978},
    {0.70710678118654757, 0.70710678118654757},
    {0.38268343236508978, 0.92387953251128674},
    {0.0, 1.0},
    {-0.38268343236508978, 0.92387953251128674},
    {-0.70710678118654757, 0.70710678118654757},
    {-0.92387953251128674, 0.38268343236508978},
    {-1.0, 0.0},
    {-0.92387953251128674, -0.38268343236508978},
    {-0.70710678118654757, -0.70710678118654757},
    {-0.38268343236508978, -0.92387953251128674},
    {0.0, -1.0},
    {0.38268343236508978, -0.92387953251128674},
    {0.70710678118654757, -0.70710678118654757},
    {0.92387953251128674, -0.38268343236508978},
};

inline double Fade(double t) {
    return t * t * t * (t * (t * 6.0 - 15.0) + 10.0);
}

inline int WrapIndex(int64_t i, int period) {
    int64_t r = i % period;
    return static_cast<int>(r < 0 ? r + period : r);
}

inline double Corner(int ix, int iy, double fx, double fy, uint32_t salt) {
    const Gradient& g =
        kGradients[Hash3(static_cast<uint32_t>(ix), static_cast<uint32_t>(iy), salt) & 15u];
    return g.x * fx + g.y * fy;
}

double Noise(double x, double y, int periodX, int periodY, uint32_t salt) {
    const double x0 = Floor(x), y0 = Floor(y);
    const double fx = x - x0, fy = y - y0;
    const int64_t ix = static_cast<int64_t>(x0), iy = static_cast<int64_t>(y0);
    const int ax = WrapIndex(ix, periodX), bx = WrapIndex(ix + 1, periodX);
    const int ay = WrapIndex(iy, periodY), by = WrapIndex(iy + 1, periodY);
    const double n00 = Corner(ax, ay, fx, fy, salt);
    const double n10 = Corner(bx, ay, fx - 1.0, fy, salt);
    const double n01 = Corner(ax, by, fx, fy - 1.0, salt);
    const double n11 = Corner(bx, by, fx - 1.0, fy - 1.0, salt);
    const double u = Fade(fx), v = Fade(fy);
    // Gradient noise peaks near +-0.71; scale to about -1..1.
    return 1.41 * Lerp(Lerp(n00, n10, u), Lerp(n01, n11, u), v);
}

}  // namespace

double PeriodicNoise(double x, double y, int period, uint32_t salt) {
    return Noise(x, y, period, period, salt);
}

double PeriodicNoiseX(double x, double y, int periodX, uint32_t salt) {
    return Noise(x, y, periodX, 1 << 30, salt);
}

double Fbm(double x, double y, int mapSize, int basePeriod, int octaves, double gain,
           uint32_t salt) {
    double sum = 0.0, weight = 1.0, total = 0.0;
    int period = basePeriod;
    for (int o = 0; o < octaves; ++o) {
        const double scale = static_cast<double>(period) / mapSize;
        sum += weight * PeriodicNoise(x * scale, y * scale, period, salt + 101u * o);
        total += weight;
        weight *= gain;
        period *= 2;
    }
    return sum / total;
}

double RidgedFbm(double x, double y, int mapSize, int basePeriod, int octaves, uint32_t salt) {
    double sum = 0.0, total = 0.0, weight = 1.0, amplitude = 1.0;
    int period = basePeriod;
    for (int o = 0; o < octaves; ++o) {
        const double scale = static_cast<double>(period) / mapSize;
        double n = PeriodicNoise(x * scale, y * scale, period, salt + 977u * o);
        n = 1.0 - (n < 0 ? -n : n);
        n = n * n;
        const double contribution = n * weight * amplitude;
        sum += contribution;
        total += amplitude;
        weight = Clamp(n * 1.6, 0.0, 1.0);
        amplitude *= 0.5;
        period *= 2;
    }
    return sum / total;
}
