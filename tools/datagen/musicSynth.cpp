#include "tools/datagen/musicSynth.h"

#include "tools/datagen/music.h"
#include "tools/datagen/stableMath.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double RATE = MUSIC_SAMPLE_RATE;
constexpr double TWO_PI = 2.0 * STABLE_PI;

// Coefficient of a one-pole low-pass with the given corner frequency.
double onePole(double cutoff)
{
    return 1.0 - stableExp(-TWO_PI * cutoff / RATE);
}

// Per-sample factor of an exponential decay with the given time constant.
double decayFactor(double seconds)
{
    return stableExp(-1.0 / (seconds * RATE));
}

double polyBlep(double phase, double step)
{
    if (phase < step) {
        const double t = phase / step;
        return t + t - t * t - 1.0;
    }
    if (phase > 1.0 - step) {
        const double t = (phase - 1.0) / step;
        return t * t + t + t + 1.0;
    }
    return 0.0;
}

// Band-limited sawtooth from a phase in [0, 1).
double sawWave(double phase, double step)
{
    return 2.0 * phase - 1.0 - polyBlep(phase, step);
}

double squareWave(double phase, double step)
{
    double second = phase + 0.5;
    if (second >= 1.0) {
        second -= 1.0;
    }
    double value = phase < 0.5 ? 1.0 : -1.0;
    return value + polyBlep(phase, step) - polyBlep(second, step);
}

// A sine oscillator as a rotating phasor: no transcendental call per sample.
struct Phasor {
    double c = 1.0, s = 0.0, stepC = 1.0, stepS = 0.0;
    explicit Phasor(double frequency)
    {
        stepC = stableCos(TWO_PI * frequency / RATE);
        stepS = stableSin(TWO_PI * frequency / RATE);
    }
    double next()
    {
        const double value = s;
        const double nc = c * stepC - s * stepS;
        s = s * stepC + c * stepS;
        c = nc;
        return value;
    }
};

// Envelope with linear attack and release around a sustained middle.
double envelope(std::size_t i, std::size_t attack, std::size_t hold, std::size_t release)
{
    if (i < attack) {
        return static_cast<double>(i) / static_cast<double>(attack);
    }
    if (i < hold) {
        return 1.0;
    }
    if (i < hold + release) {
        return 1.0 - static_cast<double>(i - hold) / static_cast<double>(release);
    }
    return 0.0;
}

} // namespace

double noteFrequency(double midiNote)
{
    return 440.0 * stablePow(2.0, (midiNote - 69.0) / 12.0);
}

std::size_t toFrame(double seconds)
{
    return static_cast<std::size_t>(std::floor(seconds * RATE + 0.5));
}

// The kick starts on a cosine, so its first sample is at full level.
void addDrumHit(Track& track, std::size_t start, double gain, bool snare, bool crash)
{
    StableRandom random(start * 7 + 3);
    const std::size_t length = toFrame(crash ? 1.6 : 0.6);
    double phase = 0.0;
    double kickLevel = 0.75 * gain;
    double sweep = 1.0;
    double clickLevel = 0.55 * gain;
    double snareLevel = snare ? 0.32 * gain : 0.0;
    double crashLevel = crash ? 0.14 * gain : 0.0;
    const double kickDecay = decayFactor(0.22);
    const double sweepDecay = decayFactor(0.035);
    const double clickDecay = decayFactor(0.0015);
    const double snareDecay = decayFactor(0.11);
    const double crashDecay = decayFactor(0.45);
    double snarePrevious = 0.0;
    Phasor snareTone(185.0);
    for (std::size_t i = 0; i < length && start + i < track.frames(); ++i) {
        const double frequency = 48.0 + 115.0 * sweep;
        const double kick = stableCos(phase) * kickLevel;
        phase += TWO_PI * frequency / RATE;
        const double noise = random.range(-1.0, 1.0);
        const double bright = noise - snarePrevious;   // first difference: a crisp high end
        snarePrevious = noise;
        const double value = kick + noise * clickLevel + (0.6 * bright + 0.5 * snareTone.next()) * snareLevel;
        track.add(start + i, value, 0.0);
        if (crashLevel > 0.0) {
            const double shimmer = bright * crashLevel;
            track.left[start + i] += static_cast<float>(shimmer * 0.9);
            track.right[start + i] += static_cast<float>(-shimmer);
        }
        kickLevel *= kickDecay;
        sweep *= sweepDecay;
        clickLevel *= clickDecay;
        snareLevel *= snareDecay;
        crashLevel *= crashDecay;
    }
}

void addHat(Track& track, std::size_t start, double gain, bool open, double pan)
{
    StableRandom random(start * 13 + 5);
    const std::size_t length = toFrame(open ? 0.25 : 0.07);
    double level = gain * (open ? 0.07 : 0.09);
    const double decay = decayFactor(open ? 0.06 : 0.018);
    double previous = 0.0;
    for (std::size_t i = 0; i < length && start + i < track.frames(); ++i) {
        const double noise = random.range(-1.0, 1.0);
        const double attack = i < 40 ? static_cast<double>(i) / 40.0 : 1.0;
        track.add(start + i, (noise - previous) * level * attack, pan);
        previous = noise;
        level *= decay;
    }
}

void addBass(Track& track, std::size_t start, double seconds, double midiNote, double gain)
{
    const double frequency = noteFrequency(midiNote);
    const double step = frequency / RATE;
    const std::size_t attack = toFrame(0.004);
    const std::size_t hold = std::max(attack + 1, toFrame(seconds));
    const std::size_t release = toFrame(0.03);
    double phase = 0.0;
    double filtered = 0.0;
    double cutoff = 1.0;
    const double cutoffDecay = decayFactor(0.12);
    Phasor sub(frequency);
    for (std::size_t i = 0; i < hold + release && start + i < track.frames(); ++i) {
        const double saw = sawWave(phase, step);
        phase += step;
        if (phase >= 1.0) {
            phase -= 1.0;
        }
        filtered += onePole(250.0 + 900.0 * cutoff) * (saw - filtered);
        cutoff *= cutoffDecay;
        const double value = (0.55 * filtered + 0.6 * sub.next()) * envelope(i, attack, hold, release) * gain;
        track.add(start + i, value, 0.0);
    }
}

void addPadVoice(Track& track, std::size_t start, double seconds, double midiNote, double gain, double pan)
{
    const double frequencyA = noteFrequency(midiNote + 0.07);
    const double frequencyB = noteFrequency(midiNote - 0.07);
    const double stepA = frequencyA / RATE;
    const double stepB = frequencyB / RATE;
    const std::size_t attack = toFrame(0.25);
    const std::size_t hold = std::max(attack + 1, toFrame(seconds));
    const std::size_t release = toFrame(0.6);
    double phaseA = 0.0;
    double phaseB = 0.37;
    double filteredA = 0.0;
    double filteredB = 0.0;
    const double coefficient = onePole(1400.0);
    for (std::size_t i = 0; i < hold + release && start + i < track.frames(); ++i) {
        filteredA += coefficient * (sawWave(phaseA, stepA) - filteredA);
        filteredB += coefficient * (sawWave(phaseB, stepB) - filteredB);
        phaseA += stepA;
        phaseB += stepB;
        if (phaseA >= 1.0) {
            phaseA -= 1.0;
        }
        if (phaseB >= 1.0) {
            phaseB -= 1.0;
        }
        const double level = envelope(i, attack, hold, release) * gain;
        track.add(start + i, filteredA * level, pan - 0.5);
        track.add(start + i, filteredB * level, pan + 0.5);
    }
}

void addPluck(Track& track, std::size_t start, double midiNote, double gain, double pan)
{
    const double step = noteFrequency(midiNote) / RATE;
    const std::size_t length = toFrame(0.5);
    const std::size_t attack = toFrame(0.002);
    double phase = 0.0;
    double level = gain;
    double filtered = 0.0;
    const double decay = decayFactor(0.14);
    const double coefficient = onePole(2600.0);
    for (std::size_t i = 0; i < length && start + i < track.frames(); ++i) {
        filtered += coefficient * (squareWave(phase, step) - filtered);
        phase += step;
        if (phase >= 1.0) {
            phase -= 1.0;
        }
        const double attackLevel = i < attack ? static_cast<double>(i) / static_cast<double>(attack) : 1.0;
        track.add(start + i, filtered * level * attackLevel, pan);
        level *= decay;
    }
}

void addLead(Track& track, std::size_t start, double seconds, double midiNote, double gain)
{
    const double frequency = noteFrequency(midiNote);
    const std::size_t attack = toFrame(0.01);
    const std::size_t hold = std::max(attack + 1, toFrame(seconds));
    const std::size_t release = toFrame(0.08);
    const std::size_t vibratoStart = toFrame(0.18);
    Phasor vibrato(5.5);
    double phase = 0.0;
    double filtered = 0.0;
    const double coefficient = onePole(2800.0);
    for (std::size_t i = 0; i < hold + release && start + i < track.frames(); ++i) {
        const double wobble = i > vibratoStart ? 0.005 * vibrato.next() : 0.0;
        const double step = frequency * (1.0 + wobble) / RATE;
        const double raw = 0.6 * sawWave(phase, step) + 0.4 * squareWave(phase, step);
        phase += step;
        if (phase >= 1.0) {
            phase -= 1.0;
        }
        filtered += coefficient * (raw - filtered);
        track.add(start + i, filtered * envelope(i, attack, hold, release) * gain, 0.0);
    }
}

void addRiser(Track& track, double from, double to, double gain)
{
    const std::size_t start = toFrame(from);
    const std::size_t peak = toFrame(to - 0.06);
    StableRandom random(start + 11);
    double previous = 0.0;
    double smooth = 0.0;
    for (std::size_t frame = start; frame < peak && frame < track.frames(); ++frame) {
        const double progress = static_cast<double>(frame - start) / static_cast<double>(peak - start);
        const double noise = random.range(-1.0, 1.0);
        smooth += onePole(300.0 + 5000.0 * progress * progress) * (noise - smooth);
        const double value = (smooth - 0.3 * previous) * progress * progress * gain;
        previous = smooth;
        track.add(frame, value, stableSin(progress * 9.0) * 0.5);
    }
}

void addEcho(Track& destination, const Track& source, double seconds, double feedback, double wet)
{
    const std::size_t delay = toFrame(seconds);
    std::vector<float> echoLeft(source.frames(), 0.0f), echoRight(source.frames(), 0.0f);
    for (std::size_t i = 0; i < source.frames(); ++i) {
        float left = source.left[i];
        float right = source.right[i];
        if (i >= delay) {
            left += static_cast<float>(feedback) * echoRight[i - delay];
            right += static_cast<float>(feedback) * echoLeft[i - delay];
        }
        echoLeft[i] = left;
        echoRight[i] = right;
        destination.left[i] += source.left[i] + static_cast<float>(wet) * (echoLeft[i] - source.left[i]);
        destination.right[i] += source.right[i] + static_cast<float>(wet) * (echoRight[i] - source.right[i]);
    }
}

double softClip(double x)
{
    if (x > 3.0) {
        return 1.0;
    }
    if (x < -3.0) {
        return -1.0;
    }
    return x * (27.0 + x * x) / (27.0 + 9.0 * x * x);
}
