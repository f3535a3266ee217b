// Arithmetic for the data generator that gives the same bits on every machine: sine,
// cosine and exponential built from + - * / only (no libm), and a seeded random generator.
// The generated pack must be byte-identical from run to run and from one C library to
// the next, so nothing in the generator calls std::sin, std::exp or rand.
#pragma once

#include <cstdint>

constexpr double STABLE_PI = 3.14159265358979323846;

double stableSin(double x);
double stableCos(double x);
double stableExp(double x);
// base ^ exponent for base > 0, through stableExp and stableLog.
double stablePow(double base, double exponent);
double stableLog(double x);
double stableAtan(double x);

// xorshift64* with a fixed seed: small, fast and the same everywhere.
struct StableRandom {
    std::uint64_t state;
    explicit StableRandom(std::uint64_t seed);
    std::uint64_t nextBits();
    // Uniform in [0, 1).
    double unit();
    // Uniform in [low, high).
    double range(double low, double high);
    // Uniform integer in [0, count).
    int below(int count);
};

// Hash of integer coordinates to [0, 1), for lattice noise that needs no state.
double hashUnit(int x, int y, int seed);
