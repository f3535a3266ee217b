// The instruments of the demo's music: a stereo track of float samples at 44100 Hz and the
// voices that are added into it (drums, hats, bass, pad, pluck, lead, riser, echo), each a
// pure function of its arguments so the piece renders the same on every machine.
#pragma once

#include <cstddef>
#include <vector>

// Left and right samples of the whole piece, summed into by the voices.
struct Track {
    std::vector<float> left, right;
    explicit Track(std::size_t frames) : left(frames, 0.0f), right(frames, 0.0f) {}
    std::size_t frames() const { return left.size(); }
    void add(std::size_t frame, double value, double pan)
    {
        // Linear pan: -1 is left, +1 right; the far side keeps a fifth of the level.
        left[frame] += static_cast<float>(value * (1.0 - 0.5 * (pan + 1.0) * 0.8));
        right[frame] += static_cast<float>(value * (1.0 - 0.5 * (1.0 - pan) * 0.8));
    }
};

// Frequency in Hz of a MIDI note number (69 is A at 440 Hz).
double noteFrequency(double midiNote);

// The sample index nearest to a time in seconds.
std::size_t toFrame(double seconds);

// The drum hit: a pitch-swept kick at full level from its first sample, a noise click on
// top, and on accented beats a snare and a crash.
void addDrumHit(Track& track, std::size_t start, double gain, bool snare, bool crash);
void addHat(Track& track, std::size_t start, double gain, bool open, double pan);
void addBass(Track& track, std::size_t start, double seconds, double midiNote, double gain);
void addPadVoice(Track& track, std::size_t start, double seconds, double midiNote, double gain, double pan);
void addPluck(Track& track, std::size_t start, double midiNote, double gain, double pan);
void addLead(Track& track, std::size_t start, double seconds, double midiNote, double gain);
// A noise swell into the next beat section; it falls silent 60 ms before `to` so the hit
// there stands out.
void addRiser(Track& track, double from, double to, double gain);
// The ping-pong echo that gives the lead its space: source, echoed, summed into destination.
void addEcho(Track& destination, const Track& source, double seconds, double feedback, double wet);

// Soft saturation that keeps the sum inside full scale without hard clipping.
double softClip(double x);
