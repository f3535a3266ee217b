#include "tools/datagen/mastering.h"

#include "tools/datagen/music.h"

#include <ebur128.h>

#include <algorithm>
#include <cmath>
#include <deque>
#include <memory>

namespace {

constexpr double RATE = MUSIC_SAMPLE_RATE;
// In-between points per sample at which the true peak is looked for (four times
// oversampling, as the EBU's true-peak meter does), and the reach of the interpolation
// filter on each side.
constexpr int OVERSAMPLE = 4;
constexpr int REACH = 16;
// The drum bus saturates smoothly towards this level (full scale 1): the kicks lose a
// few decibels of peak, the stacked hits of the accents many, and every hit still starts
// at full edge on its sample.
constexpr double DRUM_SATURATION = 0.25;
// The limiter's gain reaches its depth over this many samples before a peak (2 ms) and
// recovers with this time constant afterwards.
constexpr int ATTACK_SAMPLES = 88;
constexpr double RELEASE_SECONDS = 0.05;

double dbToGain(double db) { return std::pow(10.0, db / 20.0); }
double gainToDb(double gain) { return 20.0 * std::log10(gain); }

// Blackman-windowed sinc taps for the points 1/4, 2/4 and 3/4 of the way to the next
// sample, each set scaled to a sum of 1.
struct Interpolator {
    double taps[OVERSAMPLE - 1][2 * REACH];
};

Interpolator makeInterpolator()
{
    const double pi = 3.14159265358979323846;
    Interpolator filter;
    for (int phase = 1; phase < OVERSAMPLE; ++phase) {
        const double fraction = static_cast<double>(phase) / OVERSAMPLE;
        double sum = 0.0;
        for (int k = -REACH + 1; k <= REACH; ++k) {
            const double distance = k - fraction;
            const double sinc = std::sin(pi * distance) / (pi * distance);
            const double window = 0.42 + 0.5 * std::cos(pi * distance / REACH) + 0.08 * std::cos(2.0 * pi * distance / REACH);
            filter.taps[phase - 1][k + REACH - 1] = sinc * window;
            sum += sinc * window;
        }
        for (double& tap : filter.taps[phase - 1]) tap /= sum;
    }
    return filter;
}

// The largest magnitude of either channel at each sample and at the points a quarter, a half
// and three quarters of the way to the next (four times oversampling through the
// interpolator, as true-peak meters do).
std::vector<double> truePeaks(const StereoMix& mix)
{
    static const Interpolator filter = makeInterpolator();
    const std::size_t frames = mix.left.size();
    std::vector<double> peaks(frames, 0.0);
    for (const std::vector<double>* channel : {&mix.left, &mix.right}) {
        // Padded with silence on both sides, so the filter needs no bounds checks.
        std::vector<double> x(REACH, 0.0);
        x.insert(x.end(), channel->begin(), channel->end());
        x.resize(frames + 2 * REACH, 0.0);
        for (std::size_t n = 0; n < frames; ++n) {
            const double* around = x.data() + n + 1;   // x[n - REACH + 1] of the unpadded signal
            double peak = std::fabs(around[REACH - 1]);
            for (int phase = 0; phase < OVERSAMPLE - 1; ++phase) {
                const double* taps = filter.taps[phase];
                double value = 0.0;
                for (int k = 0; k < 2 * REACH; ++k) value += around[k] * taps[k];
                peak = std::max(peak, std::fabs(value));
            }
            peaks[n] = std::max(peaks[n], peak);
        }
    }
    return peaks;
}

// The buffers the secant search's rounds share: each round's arrays are as long as the piece
// (7.6 million samples), and allocating them afresh every round spent half the generator's
// time in the kernel handing zeroed pages over.
struct MasteringWork {
    std::vector<double> needed, held, limiter, gains;
    std::vector<double> plainSum, keptSum;   // running sums of energy, one more than the samples
};

// The limiter's gain for each sample when the mix is raised by gain, into work.limiter: at most
// ceiling / (gain . peak) at every sample. The smallest gain any sample needs within the next
// ATTACK_SAMPLES, averaged over the last ATTACK_SAMPLES, can only lie below what each
// sample needs, and ramps down ahead of each peak; after it the gain recovers exponentially.
void limiterGain(const std::vector<double>& peaks, double gain, double ceiling, MasteringWork& work)
{
    const std::size_t frames = peaks.size();
    std::vector<double>& needed = work.needed;
    needed.resize(frames);
    for (std::size_t n = 0; n < frames; ++n) {
        const double level = gain * peaks[n];
        needed[n] = level > ceiling ? ceiling / level : 1.0;
    }
    // Sliding minimum over [n, n + ATTACK_SAMPLES - 1], with a deque of candidate indices.
    std::vector<double>& held = work.held;
    held.resize(frames);
    std::deque<std::size_t> window;
    std::size_t next = 0;
    for (std::size_t n = 0; n < frames; ++n) {
        for (; next < frames && next < n + ATTACK_SAMPLES; ++next) {
            while (!window.empty() && needed[window.back()] >= needed[next]) window.pop_back();
            window.push_back(next);
        }
        while (window.front() < n) window.pop_front();
        held[n] = needed[window.front()];
    }
    std::vector<double>& result = work.limiter;
    result.resize(frames);
    const double recovery = std::exp(-1.0 / (RELEASE_SECONDS * RATE));
    double sum = 0.0;
    double previous = 1.0;
    for (std::size_t n = 0; n < frames; ++n) {
        sum += held[n];
        if (n >= ATTACK_SAMPLES) sum -= held[n - ATTACK_SAMPLES];
        // Before the first ATTACK_SAMPLES the missing terms count as 1: no reduction.
        const std::size_t terms = std::min<std::size_t>(n + 1, ATTACK_SAMPLES);
        const double averaged = (sum + static_cast<double>(ATTACK_SAMPLES - terms)) / ATTACK_SAMPLES;
        previous = std::min(averaged, 1.0 - (1.0 - previous) * recovery);
        result[n] = previous;
    }
}

// The saturation and the limiter take loudness from the loud, beat-driven stretches and
// little from the quiet ones, which would flatten the piece. The ride gives every stretch
// the loss the loud ones had: over 3-s windows every half second, the loss of the mastered
// mix against the plain sum of the buses (in mean square) is brought up to the 90th
// percentile of all windows' losses by lowering the rest, smoothly between window centres.
// It only ever lowers the gain, so no peak rises. Takes work.plainSum, the running sum of the
// plain mix's energy, as made once for every round.
void rideSections(const StereoMix& shaped, MasteringWork& work)
{
    std::vector<double>& limiter = work.gains;
    const std::size_t frames = limiter.size();
    const std::vector<double>& plainSum = work.plainSum;
    std::vector<double>& keptSum = work.keptSum;
    keptSum.resize(frames + 1);
    keptSum[0] = 0.0;
    for (std::size_t n = 0; n < frames; ++n) {
        const double energy = shaped.left[n] * shaped.left[n] + shaped.right[n] * shaped.right[n];
        keptSum[n + 1] = keptSum[n] + energy * limiter[n] * limiter[n];
    }
    const std::size_t hop = static_cast<std::size_t>(RATE / 2), reach = static_cast<std::size_t>(1.5 * RATE);
    const double silence = 1e-6 * 2.0 * reach;   // below -60 dB full scale the loss is left alone
    std::vector<double> losses;
    for (std::size_t centre = 0; centre < frames; centre += hop) {
        const std::size_t from = centre > reach ? centre - reach : 0, to = std::min(frames, centre + reach);
        const double energy = plainSum[to] - plainSum[from], kept = keptSum[to] - keptSum[from];
        losses.push_back(energy > silence && kept > 0.0 ? std::max(0.0, 10.0 * std::log10(energy / kept)) : -1.0);
    }
    std::vector<double> sorted;
    for (double loss : losses) {
        if (loss >= 0.0) sorted.push_back(loss);
    }
    if (sorted.empty()) return;
    std::sort(sorted.begin(), sorted.end());
    const double reference = sorted[sorted.size() * 9 / 10];
    std::vector<double> ride(losses.size());
    for (std::size_t w = 0; w < losses.size(); ++w) ride[w] = losses[w] < 0.0 ? 0.0 : std::min(0.0, losses[w] - reference);
    // Windows too quiet to measure take the ride of the nearest one that was measured.
    for (std::size_t w = 0; w < losses.size(); ++w) {
        if (losses[w] >= 0.0) continue;
        for (std::size_t d = 1; d < losses.size(); ++d) {
            if (w >= d && losses[w - d] >= 0.0) {
                ride[w] = ride[w - d];
                break;
            }
            if (w + d < losses.size() && losses[w + d] >= 0.0) {
                ride[w] = ride[w + d];
                break;
            }
        }
    }
    for (std::size_t n = 0; n < frames; ++n) {
        const std::size_t w = n / hop;
        const double fraction = static_cast<double>(n % hop) / hop;
        const double db = w + 1 < ride.size() ? ride[w] + (ride[w + 1] - ride[w]) * fraction : ride[w];
        limiter[n] *= dbToGain(db);
    }
}

std::int16_t quantise(double value)
{
    return static_cast<std::int16_t>(std::floor(std::min(1.0, std::max(-1.0, value)) * 32767.0 + 0.5));
}

// The mix raised by gain and by the limiter's gain at each sample, into pcm; null limits leave
// the mix as it is.
void applyGains(const StereoMix& mix, double gain, const std::vector<double>* limiter, std::vector<std::int16_t>& pcm)
{
    pcm.resize(2 * mix.left.size());
    for (std::size_t n = 0; n < mix.left.size(); ++n) {
        const double limit = limiter ? (*limiter)[n] : 1.0;
        pcm[2 * n] = quantise(mix.left[n] * gain * limit);
        pcm[2 * n + 1] = quantise(mix.right[n] * gain * limit);
    }
}

using Meter = std::unique_ptr<ebur128_state, void (*)(ebur128_state*)>;

// A stereo meter at the music's rate measuring what mode asks for; null when it cannot be made.
Meter openMeter(int mode)
{
    return Meter(ebur128_init(2, MUSIC_SAMPLE_RATE, mode), [](ebur128_state* state) { ebur128_destroy(&state); });
}

// The integrated loudness alone, which the gain search needs many times.
bool integratedLoudness(const std::vector<std::int16_t>& pcm, double& loudness, std::string& error)
{
    const Meter meter = openMeter(EBUR128_MODE_I | EBUR128_MODE_HISTOGRAM);
    if (meter && ebur128_add_frames_short(meter.get(), pcm.data(), pcm.size() / 2) == EBUR128_SUCCESS &&
        ebur128_loudness_global(meter.get(), &loudness) == EBUR128_SUCCESS && std::isfinite(loudness)) {
        return true;
    }
    error = meter ? "the loudness meter could not measure the music (libebur128 failed or the mix is silent)"
                  : "the loudness meter cannot be set up";
    return false;
}

} // namespace

bool measureLoudness(const std::vector<std::int16_t>& pcm, LoudnessFigures& figures, std::string& error)
{
    const Meter meter = openMeter(EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_TRUE_PEAK);
    if (!meter) {
        error = "the loudness meter cannot be set up";
        return false;
    }
    double left = 0.0, right = 0.0;
    if (ebur128_add_frames_short(meter.get(), pcm.data(), pcm.size() / 2) != EBUR128_SUCCESS ||
        ebur128_loudness_global(meter.get(), &figures.integrated) != EBUR128_SUCCESS ||
        ebur128_loudness_range(meter.get(), &figures.range) != EBUR128_SUCCESS ||
        ebur128_true_peak(meter.get(), 0, &left) != EBUR128_SUCCESS ||
        ebur128_true_peak(meter.get(), 1, &right) != EBUR128_SUCCESS || !std::isfinite(figures.integrated)) {
        error = "the music cannot be measured (too short or silent)";
        return false;
    }
    figures.truePeakDb = gainToDb(std::max(left, right));
    return true;
}

bool masterMix(const MusicStems& stems, double targetLufs, double ceilingDbtp, std::vector<std::int16_t>& pcm,
               MasteringReport& report, std::string& error)
{
    const std::size_t frames = stems.music.left.size();
    StereoMix plain, shaped;
    for (StereoMix* mix : {&plain, &shaped}) {
        mix->left.resize(frames);
        mix->right.resize(frames);
    }
    for (std::size_t n = 0; n < frames; ++n) {
        plain.left[n] = stems.music.left[n] + stems.drums.left[n];
        plain.right[n] = stems.music.right[n] + stems.drums.right[n];
        shaped.left[n] = stems.music.left[n] + DRUM_SATURATION * std::tanh(stems.drums.left[n] / DRUM_SATURATION);
        shaped.right[n] = stems.music.right[n] + DRUM_SATURATION * std::tanh(stems.drums.right[n] / DRUM_SATURATION);
    }
    const std::vector<double> peaks = truePeaks(shaped);
    applyGains(shaped, 1.0, nullptr, pcm);
    MasteringWork work;
    work.plainSum.resize(frames + 1);
    work.plainSum[0] = 0.0;
    for (std::size_t n = 0; n < frames; ++n)
        work.plainSum[n + 1] = work.plainSum[n] + plain.left[n] * plain.left[n] + plain.right[n] * plain.right[n];
    // The limiter and the ride take loudness back as the gain rises, so the gain is found by
    // the secant method on the measured loudness, starting from the unlimited mix's.
    double loudness = 0.0;
    if (!integratedLoudness(pcm, loudness, error)) return false;
    double gainDb = targetLufs - loudness;
    double previousGainDb = 0.0, previousMiss = 0.0;
    for (int round = 0; round < 10; ++round) {
        limiterGain(peaks, dbToGain(gainDb), dbToGain(ceilingDbtp), work);
        work.gains = work.limiter;
        rideSections(shaped, work);
        applyGains(shaped, dbToGain(gainDb), &work.gains, pcm);
        if (!integratedLoudness(pcm, loudness, error)) return false;
        const double miss = targetLufs - loudness;
        if (std::fabs(miss) <= 0.03) break;
        double step = miss;
        if (round > 0 && miss != previousMiss) step = miss * (gainDb - previousGainDb) / (previousMiss - miss);
        previousGainDb = gainDb;
        previousMiss = miss;
        gainDb += std::max(-6.0, std::min(6.0, step));
    }
    const std::vector<double>& limiter = work.limiter;
    const std::vector<double>& gains = work.gains;
    report.gainDb = gainDb;
    const double deepest = *std::min_element(limiter.begin(), limiter.end());
    report.largestReductionDb = -gainToDb(deepest);
    report.limitedSeconds =
        static_cast<double>(std::count_if(limiter.begin(), limiter.end(), [](double g) { return g < 0.999; })) / RATE;
    double lowestRide = 1.0;
    for (std::size_t n = 0; n < frames; ++n) lowestRide = std::min(lowestRide, gains[n] / limiter[n]);
    report.deepestRideDb = -gainToDb(lowestRide);
    return true;
}
