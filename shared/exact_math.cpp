// exact_math.cpp -- reproducible trigonometry, exponentials and rounding from + - * / and sqrt
#include "shared/exact_math.h"

#include <cmath>

double SmoothStep(double e0, double e1, double x) {
    const double t = Clamp((x - e0) / (e1 - e0), 0.0, 1.0);
    return t * t * (3.0 - 2.0 * t);
}

double Floor(double x) {
    // Conversion to an integer truncates exactly; step down for negatives.
    const double t = static_cast<double>(static_cast<int64_t>(x));
    return t > x ? t - 1.0 : t;
}

double Wrap(double x, double m) {
    double r = x - Floor(x / m) * m;
    if (r >= m) r -= m;
    if (r < 0.0) r += m;
    return r;
}

double SinTurns(double turns) {
    // Reduce to [-0.5, 0.5), then fold onto [-0.25, 0.25] by sin(pi - a) = sin(a).
    double t = turns - Floor(turns + 0.5);
    if (t > 0.25) t = 0.5 - t;
    if (t < -0.25) t = -0.5 - t;
    const double x = t * (2.0 * kPi);
    const double x2 = x * x;
    // Taylor series to x^17; |x| <= pi/2 keeps the error below 1e-11.
    double p = 1.0 / 355687428096000.0;  // 1/17!
    p = p * x2 - 1.0 / 1307674368000.0;  // 1/15!
    p = p * x2 + 1.0 / 6227020800.0;     // 1/13!
    p = p * x2 - 1.0 / 39916800.0;       // 1/11!
    p = p * x2 + 1.0 / 362880.0;         // 1/9!
    p = p * x2 - 1.0 / 5040.0;           // 1/7!
    p = p * x2 + 1.0 / 120.0;            // 1/5!
    p = p * x2 - 1.0 / 6.0;              // 1/3!
    p = p * x2 + 1.0;
    return p * x;
}

namespace {

// atan(z) in radians for 0 <= z <= 1.
double AtanUnit(double z) {
    // Two halvings, tan(a/2) = tan(a) / (1 + sqrt(1 + tan(a)^2)), bring z
    // below tan(pi/16) ~ 0.2, where the series converges fast.
    z = z / (1.0 + std::sqrt(1.0 + z * z));
    z = z / (1.0 + std::sqrt(1.0 + z * z));
    const double z2 = z * z;
    double p = 0.0;
    for (int k = 21; k >= 1; k -= 2)
        p = p * z2 + ((k & 2) ? -1.0 : 1.0) / k;
    return 4.0 * p * z;
}

}  // namespace

double Atan2Turns(double y, double x) {
    if (x == 0.0 && y == 0.0) return 0.0;
    const double ax = x < 0 ? -x : x;
    const double ay = y < 0 ? -y : y;
    double a = ay <= ax ? AtanUnit(ay / ax) : kPi / 2.0 - AtanUnit(ax / ay);
    if (x < 0) a = kPi - a;
    if (y < 0) a = -a;
    return a / (2.0 * kPi);
}

double Exp(double x) {
    // e^x = (e^(x / 1024))^1024; the series for the small argument is exact
    // to rounding after a dozen terms.
    const double s = x / 1024.0;
    double term = 1.0, sum = 1.0;
    for (int k = 1; k <= 14; ++k) {
        term = term * s / k;
        sum += term;
    }
    for (int i = 0; i < 10; ++i)
        sum *= sum;
    return sum;
}
