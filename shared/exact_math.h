// exact_math.h -- reproducible arithmetic for generated scenes and planned flights: a seeded PRNG,
// hashing and trigonometry from + - * / sqrt
#pragma once

#include <cstdint>

// Everything the generator computes must come out bit for bit the same on
// every machine, so nothing here calls the C library's transcendental
// functions: sines and arc tangents are polynomials after exact range
// reduction, and all arithmetic is IEEE double with + - * / and sqrt.

// SplitMix64: a small, well-mixed 64-bit generator with a fixed algorithm.
class SceneRandom {
public:
    explicit SceneRandom(uint64_t seed) : state_(seed) {}

    uint64_t Next() {
        uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
        z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
        z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
        return z ^ (z >> 31);
    }
    // Uniform in [0, 1), 53 bits.
    double Uniform() { return static_cast<double>(Next() >> 11) * (1.0 / 9007199254740992.0); }
    // Uniform in [lo, hi).
    double Range(double lo, double hi) { return lo + (hi - lo) * Uniform(); }
    // Uniform integer in [0, n), n > 0.
    uint32_t Below(uint32_t n) { return static_cast<uint32_t>((Next() >> 32) % n); }

private:
    uint64_t state_;
};

// Mixes a value into a 32-bit hash (a murmur-style finaliser).
constexpr uint32_t HashMix(uint32_t x) {
    x ^= x >> 16;
    x *= 0x7FEB352Du;
    x ^= x >> 15;
    x *= 0x846CA68Bu;
    x ^= x >> 16;
    return x;
}
constexpr uint32_t Hash3(uint32_t a, uint32_t b, uint32_t c) {
    return HashMix(a ^ HashMix(b ^ HashMix(c + 0x9E3779B9u)));
}

constexpr double kPi = 3.14159265358979323846;

inline double Clamp(double v, double lo, double hi) {
    return v < lo ? lo : (v > hi ? hi : v);
}
inline double Lerp(double a, double b, double t) {
    return a + (b - a) * t;
}
// 0 below e0, 1 above e1, a smooth cubic between.
double SmoothStep(double e0, double e1, double x);
// The largest whole number not above x, for |x| < 2^52.
double Floor(double x);
// x modulo m into [0, m), m > 0.
double Wrap(double x, double m);

// sin(2 pi turns): a polynomial after reduction to a quarter turn; absolute
// error below 1e-11.
double SinTurns(double turns);
inline double CosTurns(double turns) {
    return SinTurns(turns + 0.25);
}
// The angle of (x, y) in turns, in (-0.5, 0.5]; 0 for (0, 0).
double Atan2Turns(double y, double x);
// e^x for |x| < 700, from repeated squaring of a short series.
double Exp(double x);
