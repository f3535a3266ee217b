#include "tools/datagen/music.h"

#include "timeline/demoSchedule.h"
#include "tools/datagen/musicSynth.h"
#include "tools/datagen/stableMath.h"

#include <algorithm>
#include <cmath>

int musicBeatSample(int index)
{
    return static_cast<int>(std::floor(static_cast<double>(beatTimes[index]) * MUSIC_SAMPLE_RATE + 0.5));
}

namespace {

constexpr double RATE = MUSIC_SAMPLE_RATE;

// The sections of the show, in time order; the drums play only in the beat sections.
enum Section {
    SECTION_INTRO,
    SECTION_TITLE,
    SECTION_PAUSE1,
    SECTION_GRASS,
    SECTION_PAUSE2,
    SECTION_ORBIT,
    SECTION_PAUSE3,
    SECTION_ROBOT,
    SECTION_PAUSE4,
    SECTION_FINALE,
    SECTION_OUTRO,
    SECTION_COUNT
};

// Instrument levels per section.
struct SectionMix {
    double drums, hats, bass, pad, arp, lead;
    bool sustainedBass;   // long notes instead of the pulsing line (pauses)
};

const SectionMix sectionMixes[SECTION_COUNT] = {
    {0.0, 0.0, 0.0, 1.0, 0.5, 0.7, true},   // intro
    {1.0, 0.6, 1.0, 0.8, 0.6, 0.8, false},  // title
    {0.0, 0.0, 0.5, 1.0, 0.8, 1.0, true},   // pause
    {1.0, 1.0, 1.0, 0.8, 0.7, 1.0, false},  // grass
    {0.0, 0.0, 0.4, 1.0, 1.0, 0.8, true},   // pause
    {1.0, 1.0, 1.0, 0.8, 1.0, 1.0, false},  // orbit and factory
    {0.0, 0.3, 0.4, 1.0, 1.0, 1.0, true},   // long pause
    {1.0, 1.0, 1.0, 0.9, 0.8, 1.0, false},  // robot
    {0.0, 0.0, 0.5, 1.0, 1.0, 0.9, true},   // pause
    {1.1, 1.0, 1.0, 1.0, 1.0, 1.0, false},  // finale
    {0.0, 0.0, 0.6, 1.0, 0.6, 0.8, true},   // outro
};

struct Chord {
    int bass;       // MIDI note of the bass root
    int notes[3];   // MIDI notes of the pad voicing
};

const Chord CHORD_AM = {45, {57, 60, 64}};
const Chord CHORD_F = {41, {57, 60, 65}};
const Chord CHORD_C = {48, {55, 60, 64}};
const Chord CHORD_G = {43, {55, 59, 62}};
const Chord CHORD_EM = {40, {55, 59, 64}};
const Chord CHORD_E = {40, {56, 59, 64}};
const Chord CHORD_DM = {38, {57, 62, 65}};

// Eight bars per progression; a bar is two beats of the grid.
const Chord* const progressions[SECTION_COUNT][8] = {
    {&CHORD_AM, &CHORD_AM, &CHORD_F, &CHORD_F, &CHORD_AM, &CHORD_AM, &CHORD_G, &CHORD_G},
    {&CHORD_AM, &CHORD_F, &CHORD_C, &CHORD_G, &CHORD_AM, &CHORD_F, &CHORD_G, &CHORD_E},
    {&CHORD_F, &CHORD_G, &CHORD_EM, &CHORD_AM, &CHORD_F, &CHORD_G, &CHORD_E, &CHORD_E},
    {&CHORD_AM, &CHORD_F, &CHORD_C, &CHORD_G, &CHORD_AM, &CHORD_F, &CHORD_G, &CHORD_E},
    {&CHORD_DM, &CHORD_AM, &CHORD_F, &CHORD_E, &CHORD_DM, &CHORD_AM, &CHORD_G, &CHORD_E},
    {&CHORD_F, &CHORD_G, &CHORD_AM, &CHORD_AM, &CHORD_F, &CHORD_G, &CHORD_C, &CHORD_E},
    {&CHORD_AM, &CHORD_EM, &CHORD_F, &CHORD_C, &CHORD_DM, &CHORD_AM, &CHORD_F, &CHORD_E},
    {&CHORD_AM, &CHORD_EM, &CHORD_F, &CHORD_G, &CHORD_AM, &CHORD_EM, &CHORD_DM, &CHORD_E},
    {&CHORD_F, &CHORD_C, &CHORD_G, &CHORD_AM, &CHORD_F, &CHORD_C, &CHORD_G, &CHORD_E},
    {&CHORD_F, &CHORD_G, &CHORD_EM, &CHORD_AM, &CHORD_F, &CHORD_G, &CHORD_E, &CHORD_AM},
    {&CHORD_AM, &CHORD_AM, &CHORD_F, &CHORD_F, &CHORD_AM, &CHORD_AM, &CHORD_AM, &CHORD_AM},
};

// Lead phrases: which of the bar's eight steps carry a note, and how many scale steps
// each note moves from the one before. A step is a quarter of a beat interval.
struct Motif {
    int noteCount;
    int steps[6];
    int moves[6];
};

const Motif motifs[6] = {
    {5, {0, 2, 3, 4, 6}, {0, 1, -1, 2, -1}},
    {4, {0, 3, 4, 7}, {0, -1, 2, -2}},
    {5, {0, 1, 2, 4, 6}, {0, 1, 1, -1, -2}},
    {3, {0, 4, 6}, {0, 2, -1}},
    {6, {0, 1, 3, 4, 5, 6}, {0, -1, -1, 2, 1, -2}},
    {2, {0, 4}, {0, -2}},
};

// A minor pentatonic, as semitones above A.
const int pentatonic[5] = {0, 3, 5, 7, 10};

int scaleNote(int degree)
{
    const int octave = degree >= 0 ? degree / 5 : -((-degree + 4) / 5);
    const int within = degree - octave * 5;
    return 57 + 12 * octave + pentatonic[within];
}

struct GridBeat {
    double time;
    bool real;     // a beat of the table: the drums hit here
    int section;
};

int sectionAt(double time)
{
    // Section starts: the first beat of each beat run, and the moment after the last
    // beat of the run before it.
    const double runStarts[5] = {beatTimes[0], beatTimes[8], beatTimes[24], beatTimes[52],
                                 beatTimes[75]};
    const double runEnds[5] = {beatTimes[7], beatTimes[23], beatTimes[51], beatTimes[74],
                               beatTimes[107]};
    if (time < runStarts[0] - 0.01) {
        return SECTION_INTRO;
    }
    for (int run = 0; run < 5; ++run) {
        if (time <= runEnds[run] + 0.01) {
            return time >= runStarts[run] - 0.01 ? SECTION_TITLE + 2 * run : SECTION_PAUSE1 + 2 * (run - 1);
        }
    }
    return SECTION_OUTRO;
}

// The musical grid: every beat of the table, with evenly spaced silent beats filling the
// intro, the four pauses and the outro, so bars and chords run on through them.
std::vector<GridBeat> buildGrid()
{
    std::vector<GridBeat> grid;
    const double first = beatTimes[0];
    for (int k = 8; k >= 1; --k) {
        const double time = first - k * first / 8.0;
        grid.push_back({time, false, sectionAt(time)});
    }
    for (int i = 0; i < beatCount; ++i) {
        const double time = beatTimes[i];
        grid.push_back({time, true, sectionAt(time)});
        if (i + 1 < beatCount) {
            const double gap = static_cast<double>(beatTimes[i + 1]) - time;
            if (gap > 2.0) {
                const int fills = static_cast<int>(std::floor(gap / 1.25 + 0.5)) - 1;
                for (int k = 1; k <= fills; ++k) {
                    const double fill = time + gap * k / (fills + 1);
                    grid.push_back({fill, false, sectionAt(fill)});
                }
            }
        }
    }
    for (double time = static_cast<double>(beatTimes[beatCount - 1]) + 1.2; time < MUSIC_SECONDS;
         time += 1.2) {
        grid.push_back({time, false, SECTION_OUTRO});
    }
    return grid;
}

double gridTime(const std::vector<GridBeat>& grid, std::size_t index)
{
    if (index < grid.size()) {
        return grid[index].time;
    }
    return grid.back().time + 1.2 * static_cast<double>(index - grid.size() + 1);
}

// Time of step `step` (0 .. 7) of the bar that starts at grid beat `first`.
double stepTime(const std::vector<GridBeat>& grid, std::size_t first, int step)
{
    const std::size_t beat = first + static_cast<std::size_t>(step / 4);
    const double from = gridTime(grid, beat);
    const double to = gridTime(grid, beat + 1);
    return from + (to - from) * (step % 4) / 4.0;
}

double outroFade(double time)
{
    const double fadeStart = 169.5;
    const double fadeEnd = 175.5;
    if (time <= fadeStart) {
        return 1.0;
    }
    if (time >= fadeEnd) {
        return 0.0;
    }
    const double left = (fadeEnd - time) / (fadeEnd - fadeStart);
    return left * left;
}

} // namespace

MusicStems composeMusic()
{
    const std::size_t frames = toFrame(MUSIC_SECONDS);
    Track mix(frames);
    Track lead(frames);
    Track drums(frames);
    const std::vector<GridBeat> grid = buildGrid();

    int realBeat = 0;
    for (std::size_t g = 0; g < grid.size(); ++g) {
        const GridBeat& beat = grid[g];
        const SectionMix& sectionMix = sectionMixes[beat.section];
        if (beat.real) {
            const bool accent = realBeat % 2 == 1;
            const bool crash = beat.section == SECTION_FINALE ? realBeat % 4 == 3 : realBeat % 8 == 0;
            addDrumHit(drums, static_cast<std::size_t>(musicBeatSample(realBeat)), sectionMix.drums, accent, crash);
            ++realBeat;
        }
        // Hats between the beats, never within a fifth of an interval of a hit.
        if (sectionMix.hats > 0.0) {
            const double next = gridTime(grid, g + 1);
            for (int step = 1; step < 4; ++step) {
                const double time = beat.time + (next - beat.time) * step / 4.0;
                const bool open = step == 2;
                addHat(drums, toFrame(time), sectionMix.hats * (open ? 1.0 : 0.6), open, step == 1 ? -0.4 : 0.4);
            }
        }
    }

    // Bars: two grid beats each, counted from the start of their section.
    int sectionBarStart = 0;
    int previousSection = -1;
    StableRandom melodyChoice(2024);
    double pitchCentre = 8.0;
    for (std::size_t g = 0; g < grid.size(); g += 2) {
        const int section = grid[g].section;
        if (section != previousSection) {
            sectionBarStart = static_cast<int>(g / 2);
            previousSection = section;
        }
        const int bar = static_cast<int>(g / 2) - sectionBarStart;
        const SectionMix& sectionMix = sectionMixes[section];
        const Chord& chord = *progressions[section][bar % 8];
        const double barStart = gridTime(grid, g);
        const double barEnd = gridTime(grid, g + 2);
        const double introRamp = barStart < 4.0 ? 0.35 + 0.65 * barStart / 4.0 : 1.0;

        // Pad: the chord held through the bar, the three notes spread across the stereo field.
        for (int voice = 0; voice < 3; ++voice) {
            addPadVoice(mix, toFrame(barStart), barEnd - barStart, chord.notes[voice],
                        0.045 * sectionMix.pad * introRamp, -0.5 + 0.5 * voice);
        }

        // Bass: a pulsing line in the beat sections, long notes in the pauses.
        if (sectionMix.bass > 0.0) {
            if (sectionMix.sustainedBass) {
                addBass(mix, toFrame(barStart), barEnd - barStart - 0.05, chord.bass, 0.22 * sectionMix.bass);
            } else {
                const int bassSteps[6] = {0, 2, 3, 4, 6, 7};
                const int bassOctave[6] = {0, 12, 0, 0, 12, 7};
                for (int k = 0; k < 6; ++k) {
                    const double from = stepTime(grid, g, bassSteps[k]);
                    const double to = k + 1 < 6 ? stepTime(grid, g, bassSteps[k + 1]) : barEnd;
                    addBass(mix, toFrame(from), (to - from) * 0.8, chord.bass + bassOctave[k],
                            0.26 * sectionMix.bass);
                }
            }
        }

        // Arpeggio: chord tones an octave up, one per step.
        if (sectionMix.arp > 0.0 && barStart > 4.5) {
            const int pattern[8] = {0, 1, 2, 1, 0, 2, 1, 2};
            for (int step = 0; step < 8; ++step) {
                const int octaveUp = step >= 4 && section >= SECTION_ORBIT ? 24 : 12;
                addPluck(mix, toFrame(stepTime(grid, g, step)), chord.notes[pattern[step]] + octaveUp,
                         0.05 * sectionMix.arp, step % 2 == 0 ? -0.6 : 0.6);
            }
        }

        // Lead: one motif per bar, starting on a chord tone of the pentatonic scale.
        if (sectionMix.lead > 0.0 && barStart > 5.0 && barStart < 172.0) {
            int degree = static_cast<int>(pitchCentre);
            for (int candidate = 0; candidate < 10; ++candidate) {
                const int note = scaleNote(degree) % 12;
                bool inChord = false;
                for (int n : chord.notes) {
                    inChord = inChord || n % 12 == note;
                }
                if (inChord) {
                    break;
                }
                degree += candidate % 2 == 0 ? candidate + 1 : -(candidate + 1);
            }
            const int motifIndex =
                section == SECTION_INTRO || section == SECTION_OUTRO ? 5 : (bar + melodyChoice.below(3)) % 6;
            const Motif& motif = motifs[motifIndex];
            for (int k = 0; k < motif.noteCount; ++k) {
                degree += motif.moves[k];
                const double from = stepTime(grid, g, motif.steps[k]);
                const double to = k + 1 < motif.noteCount ? stepTime(grid, g, motif.steps[k + 1]) : barEnd;
                addLead(lead, toFrame(from), (to - from) * 0.85, scaleNote(degree), 0.085 * sectionMix.lead);
            }
            // The phrase drifts through the register and comes back.
            pitchCentre += melodyChoice.range(-1.5, 1.5);
            pitchCentre = std::min(11.0, std::max(5.0, pitchCentre));
        }

        // A swell into each run of beats.
        if (!grid[g].real && g + 2 < grid.size()) {
            for (std::size_t k = g + 1; k <= g + 2 && k < grid.size(); ++k) {
                if (grid[k].real && !grid[k - 1].real) {
                    addRiser(mix, grid[k].time - 2.5, grid[k].time, 0.5);
                }
            }
        }
    }

    addEcho(mix, lead, 0.33, 0.38, 0.45);

    MusicStems stems;
    for (StereoMix* bus : {&stems.music, &stems.drums}) {
        bus->left.resize(frames);
        bus->right.resize(frames);
    }
    for (std::size_t i = 0; i < frames; ++i) {
        const double fade = outroFade(static_cast<double>(i) / RATE);
        stems.music.left[i] = softClip(mix.left[i] * 0.9) * 0.6 * fade;
        stems.music.right[i] = softClip(mix.right[i] * 0.9) * 0.6 * fade;
        // Drums go around the music's saturation so every hit starts on its exact sample.
        stems.drums.left[i] = drums.left[i] * 0.55 * fade;
        stems.drums.right[i] = drums.right[i] * 0.55 * fade;
    }
    return stems;
}
