#include "tools/audioclock/clockAnalysis.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>

namespace {

constexpr double frameRate = 44100.0;
// A stretch of frames that must agree exactly to lock the recording onto the music: 93 ms,
// longer than any period of a steady tone, so a repeating waveform cannot lock it a period off.
constexpr std::int64_t lockFrames = 4096;
// How far from the last lock a recording that stops matching is looked for.
constexpr std::int64_t searchFrames = 2 * 44100;

// Both channels of a frame as one number, so a frame compares in one step.
std::vector<std::uint32_t> packFrames(const std::vector<std::int16_t>& pcm)
{
    std::vector<std::uint32_t> frames(pcm.size() / 2);
    for (std::size_t i = 0; i < frames.size(); ++i)
        frames[i] = static_cast<std::uint16_t>(pcm[2 * i]) | static_cast<std::uint32_t>(static_cast<std::uint16_t>(pcm[2 * i + 1])) << 16;
    return frames;
}

std::int64_t frameCount(const std::vector<std::uint32_t>& frames) { return static_cast<std::int64_t>(frames.size()); }

// The recording from `recorded` and the music from `music` agree for lockFrames frames, or
// up to the end of either when that comes first (at least 32 frames must remain).
bool locks(const std::vector<std::uint32_t>& recording, std::int64_t recorded, const std::vector<std::uint32_t>& music,
           std::int64_t musicFrame)
{
    if (recorded < 0 || musicFrame < 0) return false;
    const std::int64_t count = std::min({lockFrames, frameCount(recording) - recorded, frameCount(music) - musicFrame});
    if (count < 32) return false;
    return std::equal(recording.begin() + recorded, recording.begin() + recorded + count, music.begin() + musicFrame);
}

std::string secondsText(double seconds)
{
    char text[32];
    std::snprintf(text, sizeof text, "%.3f s", seconds);
    return text;
}

} // namespace

bool readClockLog(const std::string& path, std::vector<ClockLogLine>& lines, std::string& problem)
{
    std::ifstream file(path);
    if (!file) {
        problem = path + ": cannot be opened";
        return false;
    }
    lines.clear();
    std::string text;
    int number = 0;
    while (std::getline(file, text)) {
        ++number;
        ClockLogLine line;
        char rest = 0;
        if (std::sscanf(text.c_str(), "%lf %lf %c", &line.swapSeconds, &line.position, &rest) != 2) {
            problem = path + ": line " + std::to_string(number) + ": expected \"SWAP POSITION\" (two numbers) but found \"" +
                      text + "\"";
            return false;
        }
        lines.push_back(line);
    }
    if (lines.empty()) {
        problem = path + ": holds no frame";
        return false;
    }
    return true;
}

std::vector<ClockSample> clockReadings(const std::vector<ClockLogLine>& lines)
{
    std::vector<ClockSample> samples;
    for (std::size_t i = 1; i < lines.size(); ++i) samples.push_back({lines[i - 1].swapSeconds, lines[i].position});
    return samples;
}

std::vector<ClockSample> pictureShowings(const std::vector<ClockLogLine>& lines)
{
    std::vector<ClockSample> samples;
    for (const ClockLogLine& line : lines) samples.push_back({line.swapSeconds, line.position});
    return samples;
}

bool alignRecording(const std::vector<std::int16_t>& musicPcm, const std::vector<std::int16_t>& recordedPcm,
                    SoundAlignment& alignment, std::string& problem)
{
    alignment = SoundAlignment();
    const std::vector<std::uint32_t> music = packFrames(musicPcm);
    const std::vector<std::uint32_t> recording = packFrames(recordedPcm);
    const auto firstSound = [](const std::vector<std::uint32_t>& frames) {
        return static_cast<std::int64_t>(std::find_if(frames.begin(), frames.end(), [](std::uint32_t f) { return f != 0; }) -
                                         frames.begin());
    };
    alignment.musicStart = firstSound(music);
    if (alignment.musicStart == frameCount(music)) {
        problem = "the music is silent throughout";
        return false;
    }
    alignment.musicEnd = frameCount(music);
    while (music[static_cast<std::size_t>(alignment.musicEnd - 1)] == 0) --alignment.musicEnd;
    const std::int64_t recordedStart = firstSound(recording);
    if (recordedStart == frameCount(recording)) {
        problem = "the recording is silent throughout: nothing reached the sink";
        return false;
    }
    // The recording may begin a little into the music: a sink that had rendered ahead rewinds
    // to take a new stream in at once, and its monitor has already passed on that stretch.
    std::int64_t firstHeard = alignment.musicStart;
    while (firstHeard < alignment.musicStart + searchFrames && !locks(recording, recordedStart, music, firstHeard)) ++firstHeard;
    if (firstHeard == alignment.musicStart + searchFrames) {
        problem = "the recording's first sound (at " + secondsText(recordedStart / frameRate) +
                  ") is not the music's sample for sample: the sink must take 44100 Hz stereo 16-bit at full volume";
        return false;
    }
    alignment.recordingStart = firstHeard;
    std::int64_t shift = recordedStart - firstHeard;
    alignment.pieces.push_back({firstHeard, shift});
    std::int64_t m = firstHeard;
    alignment.heardUntil = alignment.musicEnd;
    while (m < alignment.musicEnd) {
        const std::int64_t k = m + shift;
        if (k >= frameCount(recording)) {
            alignment.heardUntil = m;
            break;
        }
        if (recording[static_cast<std::size_t>(k)] == music[static_cast<std::size_t>(m)]) {
            ++m;
            continue;
        }
        // Silence where the music sounds: the server ran dry and went on with the music after
        // a gap, so the music reappears where the silent run ends, later by the gap.
        std::int64_t next = -1;
        std::int64_t resumeRecorded = k;
        if (recording[static_cast<std::size_t>(k)] == 0) {
            std::int64_t runStart = k, runEnd = k;
            while (runStart > 0 && recording[static_cast<std::size_t>(runStart - 1)] == 0) --runStart;
            while (runEnd < frameCount(recording) && recording[static_cast<std::size_t>(runEnd)] == 0) ++runEnd;
            if (runEnd == frameCount(recording)) {
                alignment.heardUntil = m;
                break;
            }
            for (std::int64_t gap = 1; gap <= runEnd - runStart; ++gap) {
                if (locks(recording, runEnd, music, runEnd - shift - gap)) {
                    alignment.underruns.push_back({m / frameRate, gap});
                    next = shift + gap;
                    resumeRecorded = runEnd;
                    break;
                }
            }
        }
        // Anything else: look for the recording nearby in the music, nearest first; music the
        // recording skips was lost on the recording side.
        if (next < 0) {
            for (std::int64_t distance = 1; distance <= searchFrames && next < 0; ++distance) {
                for (const std::int64_t candidate : {shift - distance, shift + distance}) {
                    if (locks(recording, k, music, k - candidate)) {
                        next = candidate;
                        break;
                    }
                }
            }
            if (next < 0) {
                problem = "at " + secondsText(k / frameRate) + " of the recording (" + secondsText(m / frameRate) +
                          " of the music) the recording matches no music within 2 s";
                return false;
            }
            if (next < shift)
                alignment.framesLost += shift - next;
            else
                alignment.underruns.push_back({m / frameRate, next - shift});
        }
        shift = next;
        m = std::max(m + 1, resumeRecorded - shift);   // always forward, so the pieces stay in order
        alignment.pieces.push_back({m, shift});
    }
    return true;
}

bool fitHeardTimeline(const std::vector<RecordMark>& marks, HeardTimeline& timeline, std::string& problem)
{
    if (marks.empty()) {
        problem = "the server gave no timing report for the recording";
        return false;
    }
    std::vector<double> offsets;
    for (const RecordMark& mark : marks) offsets.push_back(mark.monotonicSeconds - mark.frame / frameRate);
    std::vector<double> sorted = offsets;
    std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2), sorted.end());
    timeline.offset = sorted[sorted.size() / 2];
    std::vector<double> distances;
    for (double offset : offsets) distances.push_back(std::fabs(offset - timeline.offset));
    const std::size_t at = distances.size() * 99 / 100;
    std::nth_element(distances.begin(), distances.begin() + static_cast<std::ptrdiff_t>(at), distances.end());
    timeline.spread = distances[at];
    return true;
}

double heardSeconds(const SoundAlignment& alignment, const HeardTimeline& timeline, double musicFrame)
{
    auto piece = std::upper_bound(alignment.pieces.begin(), alignment.pieces.end(), musicFrame,
                                  [](double frame, const AlignedPiece& p) { return frame < static_cast<double>(p.musicFrame); });
    if (piece != alignment.pieces.begin()) --piece;
    return (musicFrame + static_cast<double>(piece->shift)) / frameRate + timeline.offset;
}

OffsetFigures offsetsFromSound(const std::vector<ClockSample>& samples, const SoundAlignment& alignment,
                               const HeardTimeline& timeline)
{
    OffsetFigures figures;
    if (alignment.pieces.empty()) return figures;
    const double first = static_cast<double>(alignment.recordingStart);
    const double last = static_cast<double>(std::min(alignment.musicEnd, alignment.heardUntil));
    std::vector<double> offsets;
    for (const ClockSample& sample : samples) {
        const double frame = sample.position * frameRate;
        if (frame < first || frame >= last) continue;
        const double offset = sample.readSeconds - heardSeconds(alignment, timeline, frame);
        offsets.push_back(offset);
        if (std::fabs(offset) > std::fabs(figures.worst)) figures.worst = offset;
    }
    figures.count = offsets.size();
    if (offsets.empty()) return figures;
    std::nth_element(offsets.begin(), offsets.begin() + static_cast<std::ptrdiff_t>(offsets.size() / 2), offsets.end());
    figures.median = offsets[offsets.size() / 2];
    return figures;
}
