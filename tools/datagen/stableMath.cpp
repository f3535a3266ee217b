#include "tools/datagen/stableMath.h"

#include <cmath>

namespace {

// Taylor series on [-pi/4, pi/4]; 11 terms keep the error far below one unit of float.
double sinKernel(double x)
{
    const double x2 = x * x;
    double term = x;
    double sum = x;
    for (int n = 1; n < 11; ++n) {
        term = -term * x2 / static_cast<double>((2 * n) * (2 * n + 1));
        sum += term;
    }
    return sum;
}

double cosKernel(double x)
{
    const double x2 = x * x;
    double term = 1.0;
    double sum = 1.0;
    for (int n = 1; n < 11; ++n) {
        term = -term * x2 / static_cast<double>((2 * n - 1) * (2 * n));
        sum += term;
    }
    return sum;
}

} // namespace

double stableSin(double x)
{
    // Quadrant reduction: x = k * pi/2 + r with |r| <= pi/4.
    const double halfPi = STABLE_PI * 0.5;
    const double k = std::floor(x / halfPi + 0.5);
    const double r = x - k * halfPi;
    long long quadrant = static_cast<long long>(k) % 4;
    if (quadrant < 0) {
        quadrant += 4;
    }
    switch (quadrant) {
    case 0: return sinKernel(r);
    case 1: return cosKernel(r);
    case 2: return -sinKernel(r);
    default: return -cosKernel(r);
    }
}

double stableCos(double x)
{
    return stableSin(x + STABLE_PI * 0.5);
}

double stableExp(double x)
{
    if (x < -700.0) {
        return 0.0;
    }
    // x = k ln2 + r, |r| <= ln2 / 2; ldexp scales exactly.
    const double ln2 = 0.69314718055994530942;
    const double k = std::floor(x / ln2 + 0.5);
    const double r = x - k * ln2;
    double term = 1.0;
    double sum = 1.0;
    for (int n = 1; n < 18; ++n) {
        term = term * r / static_cast<double>(n);
        sum += term;
    }
    return std::ldexp(sum, static_cast<int>(k));
}

double stableLog(double x)
{
    // x = m * 2^e with m in [0.5, 1); log m from the atanh series of (m - 1) / (m + 1).
    int exponent = 0;
    const double mantissa = std::frexp(x, &exponent);
    const double s = (mantissa - 1.0) / (mantissa + 1.0);
    const double s2 = s * s;
    double power = s;
    double sum = 0.0;
    for (int n = 0; n < 30; ++n) {
        sum += power / static_cast<double>(2 * n + 1);
        power *= s2;
    }
    return 2.0 * sum + static_cast<double>(exponent) * 0.69314718055994530942;
}

double stableAtan(double x)
{
    if (x < 0.0) {
        return -stableAtan(-x);
    }
    if (x > 1.0) {
        return STABLE_PI * 0.5 - stableAtan(1.0 / x);
    }
    // Two halvings of the angle bring x below 0.2, where the series converges fast.
    const double halved = x / (1.0 + std::sqrt(1.0 + x * x));
    const double quarter = halved / (1.0 + std::sqrt(1.0 + halved * halved));
    const double q2 = quarter * quarter;
    double power = quarter;
    double sum = 0.0;
    for (int n = 0; n < 20; ++n) {
        sum += (n % 2 == 0 ? power : -power) / static_cast<double>(2 * n + 1);
        power *= q2;
    }
    return 4.0 * sum;
}

double stablePow(double base, double exponent)
{
    return stableExp(exponent * stableLog(base));
}

StableRandom::StableRandom(std::uint64_t seed) : state(seed * 0x9E3779B97F4A7C15ull + 0x2545F4914F6CDD1Dull)
{
    if (state == 0) {
        state = 0x2545F4914F6CDD1Dull;
    }
}

std::uint64_t StableRandom::nextBits()
{
    state ^= state >> 12;
    state ^= state << 25;
    state ^= state >> 27;
    return state * 0x2545F4914F6CDD1Dull;
}

double StableRandom::unit()
{
    return static_cast<double>(nextBits() >> 11) * (1.0 / 9007199254740992.0);
}

double StableRandom::range(double low, double high)
{
    return low + (high - low) * unit();
}

int StableRandom::below(int count)
{
    return static_cast<int>(unit() * static_cast<double>(count));
}

double hashUnit(int x, int y, int seed)
{
    std::uint32_t h = static_cast<std::uint32_t>(x) * 0x8DA6B343u ^ static_cast<std::uint32_t>(y) * 0xD8163841u ^
                      static_cast<std::uint32_t>(seed) * 0xCB1AB31Fu;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return static_cast<double>(h) * (1.0 / 4294967296.0);
}
