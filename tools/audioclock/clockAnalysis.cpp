#include "tools/audioclock/clockAnalysis.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <sstream>

namespace {

constexpr double frameRate = 44100.0;
// Where the recording stops following the music it is locked on again at the offset whose
// stretch of agreement is longest, up to 93 ms: longer than any period of a steady tone, so a
// repeating waveform cannot lock it a period off. At least 64 frames must agree (1.5 ms;
// bursts of underruns leave stretches not much longer between them).
constexpr std::int64_t lockFrames = 4096;
constexpr std::int64_t leastLockFrames = 64;
// How far from the last lock a recording that stops matching is looked for, and how much of
// the recording after a break may be garbled (spliced by the server) before it locks again.
constexpr std::int64_t searchFrames = 2 * 44100;
constexpr std::int64_t garbledFrames = 44100 / 2;
// The heard-time reports are summed up per half second of recording.
constexpr double bucketFrames = 22050.0;
// Frames taken from the recording to find candidate offsets in the music.
constexpr std::int64_t keyFrames = 16;

// Both channels of a frame as one number, so a frame compares in one step.
std::vector<std::uint32_t> packFrames(const std::vector<std::int16_t>& pcm)
{
    std::vector<std::uint32_t> frames(pcm.size() / 2);
    for (std::size_t i = 0; i < frames.size(); ++i)
        frames[i] = static_cast<std::uint16_t>(pcm[2 * i]) | static_cast<std::uint32_t>(static_cast<std::uint16_t>(pcm[2 * i + 1])) << 16;
    return frames;
}

std::int64_t frameCount(const std::vector<std::uint32_t>& frames) { return static_cast<std::int64_t>(frames.size()); }

// How many frames from `recorded` on agree with the music from `musicFrame` on, up to
// lockFrames; lockFrames also when either ends first after at least leastLockFrames.
std::int64_t agreement(const std::vector<std::uint32_t>& recording, std::int64_t recorded,
                       const std::vector<std::uint32_t>& music, std::int64_t musicFrame)
{
    if (recorded < 0 || musicFrame < 0) return 0;
    const std::int64_t count = std::min({lockFrames, frameCount(recording) - recorded, frameCount(music) - musicFrame});
    if (count <= 0) return 0;
    const auto from = recording.begin() + recorded;
    const std::int64_t agreed = std::mismatch(from, from + count, music.begin() + musicFrame).first - from;
    return agreed == count && agreed >= leastLockFrames ? lockFrames : agreed;
}

// The offset (recorded frame less music frame) that locks the recording from `recorded` on:
// of the music frames within `window` frames of offset `near` where the recording's next
// keyFrames occur, the one agreeing longest, the nearest among equals. False when none agrees
// for leastLockFrames.
bool lockAt(const std::vector<std::uint32_t>& recording, std::int64_t recorded, const std::vector<std::uint32_t>& music,
            std::int64_t near, std::int64_t& shift, std::int64_t window = searchFrames)
{
    if (recorded + keyFrames > frameCount(recording)) return false;
    const std::int64_t from = std::max<std::int64_t>(0, recorded - near - window);
    const std::int64_t to = std::min(frameCount(music), recorded - near + window + keyFrames);
    if (from >= to) return false;
    const auto key = recording.begin() + recorded;
    std::int64_t best = 0, bestShift = 0;
    for (auto at = music.begin() + from;; ++at) {
        at = std::search(at, music.begin() + to, key, key + keyFrames);
        if (at == music.begin() + to) break;
        const std::int64_t candidate = recorded - (at - music.begin());
        const std::int64_t agreed = agreement(recording, recorded, music, at - music.begin());
        if (agreed > best || (agreed == best && std::llabs(candidate - near) < std::llabs(bestShift - near))) {
            best = agreed;
            bestShift = candidate;
        }
    }
    if (best < leastLockFrames) return false;
    shift = bestShift;
    return true;
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
        std::istringstream fields(text);
        std::vector<double> numbers;
        for (double number; numbers.size() < 4 && fields >> number;) numbers.push_back(number);
        fields.clear();
        std::string rest;
        fields >> rest;
        if (numbers.size() < 2 || !rest.empty()) {
            problem = path + ": line " + std::to_string(number) +
                      ": expected \"SWAP POSITION DRAWN READ\" (four numbers) but found \"" + text + "\"";
            return false;
        }
        line.swapSeconds = numbers[0];
        line.position = numbers[1];
        line.drawn = numbers.size() >= 3 ? numbers[2] : numbers[1];
        if (numbers.size() == 4) line.readSeconds = numbers[3];
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
    for (std::size_t i = 0; i < lines.size(); ++i) {
        if (lines[i].readSeconds >= 0.0) samples.push_back({lines[i].readSeconds, lines[i].position});
        else if (i > 0) samples.push_back({lines[i - 1].swapSeconds, lines[i].position});
    }
    return samples;
}

std::vector<ClockSample> pictureShowings(const std::vector<ClockLogLine>& lines, PictureClock clock)
{
    std::vector<ClockSample> samples;
    for (const ClockLogLine& line : lines) {
        samples.push_back({line.swapSeconds, clock == PICTURE_DRAWN ? line.drawn : line.position});
    }
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
    // to take a new stream in at once, and its monitor has already passed on that stretch. Or
    // anywhere in it: a player started late, or a recording of a stream that came back.
    std::int64_t shift = 0;
    if ((!lockAt(recording, recordedStart, music, recordedStart - alignment.musicStart, shift) &&
         !lockAt(recording, recordedStart, music, recordedStart, shift, frameCount(music))) ||
        recordedStart - shift < alignment.musicStart) {
        problem = "the recording's first sound (at " + secondsText(recordedStart / frameRate) +
                  ") is not the music's sample for sample: the sink must take 44100 Hz stereo 16-bit at full volume";
        return false;
    }
    alignment.recordingStart = recordedStart - shift;
    alignment.pieces.push_back({alignment.recordingStart, shift});
    std::int64_t m = alignment.recordingStart;
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
        // The recording left the music at k. Silence there where the music sounds is the
        // server running dry; the music goes on where the silence ends, usually later by the
        // silence (or by a little less where the server cut into what it had).
        std::int64_t silent = 0;
        std::int64_t resume = k;
        if (recording[static_cast<std::size_t>(k)] == 0) {
            std::int64_t runStart = k;
            while (runStart > 0 && recording[static_cast<std::size_t>(runStart - 1)] == 0) --runStart;
            while (resume < frameCount(recording) && recording[static_cast<std::size_t>(resume)] == 0) ++resume;
            if (resume == frameCount(recording)) {
                alignment.heardUntil = m;
                break;
            }
            silent = resume - k;
        }
        std::int64_t next = shift;
        bool locked = false;
        for (const std::int64_t garbledEnd = resume + garbledFrames; resume < garbledEnd && resume < frameCount(recording);
             ++resume) {
            if (recording[static_cast<std::size_t>(resume)] == 0) continue;
            if ((locked = lockAt(recording, resume, music, shift, next))) break;
        }
        if (!locked) {
            problem = "at " + secondsText(k / frameRate) + " of the recording (" + secondsText(m / frameRate) +
                      " of the music) the recording matches no music within 2 s";
            return false;
        }
        if (silent > 0)
            alignment.underruns.push_back({m / frameRate, silent});
        else
            ++alignment.breaks;
        if (next < shift) alignment.framesLost += shift - next;
        shift = next;
        m = std::max(m + 1, resume - shift);   // always forward, so the pieces stay in order
        alignment.pieces.push_back({m, shift});
    }
    return true;
}

bool fitHeardTimeline(const std::vector<RecordMark>& marks, HeardTimeline& timeline, std::string& problem)
{
    timeline = HeardTimeline();
    std::vector<std::vector<double>> buckets;
    for (const RecordMark& mark : marks) {
        if (mark.frame < 0) continue;
        const std::size_t bucket = static_cast<std::size_t>(mark.frame / bucketFrames);
        if (bucket >= buckets.size()) buckets.resize(bucket + 1);
        buckets[bucket].push_back(mark.monotonicSeconds - mark.frame / frameRate);
    }
    std::vector<double> distances;
    for (std::vector<double>& offsets : buckets) {
        if (offsets.empty()) {
            timeline.offsets.push_back(timeline.offsets.empty() ? NAN : timeline.offsets.back());
            continue;
        }
        std::vector<double> sorted = offsets;
        std::nth_element(sorted.begin(), sorted.begin() + static_cast<std::ptrdiff_t>(sorted.size() / 2), sorted.end());
        const double median = sorted[sorted.size() / 2];
        timeline.offsets.push_back(median);
        for (double offset : offsets) distances.push_back(std::fabs(offset - median));
    }
    if (distances.empty()) {
        problem = "the server gave no timing report for the recording";
        return false;
    }
    // Half seconds before the first report take its offset.
    const auto first = std::find_if(timeline.offsets.begin(), timeline.offsets.end(), [](double o) { return !std::isnan(o); });
    std::fill(timeline.offsets.begin(), first, *first);
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
    return recordedFrameSeconds(timeline, musicFrame + static_cast<double>(piece->shift));
}

double recordedFrameSeconds(const HeardTimeline& timeline, double recorded)
{
    // Each half second's median belongs to its middle.
    const double position = std::clamp(recorded / bucketFrames - 0.5, 0.0, static_cast<double>(timeline.offsets.size() - 1));
    const std::size_t below = static_cast<std::size_t>(position);
    const std::size_t above = std::min(below + 1, timeline.offsets.size() - 1);
    const double offset = timeline.offsets[below] + (timeline.offsets[above] - timeline.offsets[below]) * (position - static_cast<double>(below));
    return recorded / frameRate + offset;
}

double recordedFrameAt(const HeardTimeline& timeline, double seconds)
{
    // The offsets change by parts per million, so a few fixed-point steps settle it.
    double frame = 0.0;
    for (int step = 0; step < 4; ++step) frame += (seconds - recordedFrameSeconds(timeline, frame)) * frameRate;
    return frame;
}

std::int64_t findMusicInRecording(const std::vector<std::int16_t>& musicPcm, const std::vector<std::int16_t>& recordedPcm,
                                  std::int64_t musicFrame, std::int64_t frames, std::int64_t fromRecorded)
{
    const std::vector<std::uint32_t> music = packFrames(musicPcm);
    const std::vector<std::uint32_t> recording = packFrames(recordedPcm);
    if (musicFrame < 0 || musicFrame + frames > frameCount(music)) return -1;
    const auto key = music.begin() + musicFrame;
    for (auto at = recording.begin() + std::clamp<std::int64_t>(fromRecorded, 0, frameCount(recording));;) {
        at = std::search(at, recording.end(), key, key + keyFrames);
        if (recording.end() - at < frames) return -1;
        if (std::equal(key, key + frames, at)) return at - recording.begin();
        ++at;
    }
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
    std::sort(offsets.begin(), offsets.end());
    figures.median = offsets[offsets.size() / 2];
    figures.percentile95 = offsets[std::min(offsets.size() - 1, offsets.size() * 95 / 100)];
    return figures;
}
