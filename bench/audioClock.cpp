// Measures the music clock against the wall clock: plays a few seconds of silence through
// the audio device and prints the clock's rate, its largest step between two reads and how
// far it strays from a straight line. Run with SDL_AUDIODRIVER set to the device to test.
#include "platform/display/window.h"
#include "platform/sound/audio.h"
#include "platform/system/monotonicClock.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <vector>

int main(int argc, char** argv)
{
    const double seconds = argc > 1 ? std::atof(argv[1]) : 4.0;
    std::string message;
    AudioOutput* output = audioOpen(message);
    if (!message.empty()) std::printf("%s\n", message.c_str());
    std::vector<std::int16_t> pcm(static_cast<size_t>((seconds + 1.0) * AUDIO_SAMPLE_RATE * 2), 0);
    audioPlay(output, &pcm);

    struct Reading {
        double wall;
        double clock;
    };
    std::vector<Reading> readings;
    const double start = platformMonotonicSeconds();
    std::uint32_t previous = 0;
    double largestStep = 0.0;
    double startStep = 0.0;
    while (platformMonotonicSeconds() - start < seconds) {
        const std::uint32_t position = audioPosition(output);
        const double wall = platformMonotonicSeconds() - start;
        const double step = (position - previous) / static_cast<double>(AUDIO_BYTES_PER_SECOND);
        if (wall > 0.5)
            largestStep = std::max(largestStep, step);
        else
            startStep = std::max(startStep, step);
        previous = position;
        if (readings.empty() || wall - readings.back().wall > 0.0005)
            readings.push_back({wall, position / static_cast<double>(AUDIO_BYTES_PER_SECOND)});
    }
    const bool silent = audioIsSilent(output);
    audioStop(output);
    audioClose(output);

    // Least-squares line through the readings once the clock has started moving.
    std::vector<Reading> moving;
    // The first half second is left out of the fit: the device settles its buffering then.
    for (const Reading& r : readings)
        if (r.clock > 0.0 && r.wall > 0.5) moving.push_back(r);
    if (moving.size() < 2) {
        std::printf("the clock did not move\n");
        return 1;
    }
    double sw = 0, sc = 0, sww = 0, swc = 0;
    for (const Reading& r : moving) {
        sw += r.wall;
        sc += r.clock;
        sww += r.wall * r.wall;
        swc += r.wall * r.clock;
    }
    const double n = static_cast<double>(moving.size());
    const double rate = (n * swc - sw * sc) / (n * sww - sw * sw);
    const double offset = (sc - rate * sw) / n;
    double worst = 0.0;
    for (const Reading& r : moving) worst = std::max(worst, std::fabs(r.clock - (offset + rate * r.wall)));
    std::printf("audio clock over %.1f s (%s):\n", seconds, silent ? "silent, wall clock" : "device");
    std::printf("  rate against wall clock   %.5f\n", rate);
    std::printf("  clock behind wall at 0    %.1f ms\n", -offset / rate * 1000.0);
    std::printf("  largest step between reads %.2f ms (first half second: %.2f ms)\n", largestStep * 1000.0,
                startStep * 1000.0);
    std::printf("  largest distance from line %.2f ms (jitter)\n", worst * 1000.0);
    return 0;
}
