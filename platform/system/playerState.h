// What the player is doing, as the controls outside the program show it: the page's own
// buttons and time bar and its media session, the desktop's media controls (MPRIS on Linux).
// The player fills the record as it goes; the platform shows it where it has somewhere to.
// Plain data: the platform knows nothing of the player that fills it. What those controls ask
// for comes back as the window's events (PLATFORM_EVENT_COMMAND).
#pragma once

#include <string>

struct PlatformPart {
    const char* name;
    double start;   // seconds
};

struct PlatformPlayerState {
    double seconds = 0.0;            // the show's time
    double length = 0.0;             // the run's length, seconds
    bool paused = false;
    bool waiting = false;            // held until the files of the part it stands at are loaded
    bool looping = false;
    int volume = 100;                // percent
    bool muted = false;
    int moves = 0;                   // times the show was moved (seeks, a loop's restarts)
    std::string timeText;            // the time as the player's time bar writes it
    int part = 0;                    // the part playing, an index into parts
    const PlatformPart* parts = nullptr;   // the show's parts in order, alive for the run
    int partCount = 0;
    std::string (*formatTime)(double seconds) = nullptr;   // any time as timeText writes it
};

// The record as it stands now; cheap to call every frame (only a change is passed on).
void platformPublishPlayerState(const PlatformPlayerState& state);
