// A private sound server for measurements and tests: PulseAudio, or PipeWire with its
// PulseAudio service (pipewire, wireplumber on a private session bus, pipewire-pulse),
// started in a runtime folder of its own with one null sink (44100 Hz stereo 16-bit, so what
// a player sends arrives in the sink's monitor sample for sample) and a socket that takes
// anonymous clients. Works as root and as a normal user, with no other audio set-up.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

struct AudioRecorder;

enum SoundServerKind { SOUND_SERVER_PULSEAUDIO, SOUND_SERVER_PIPEWIRE };

struct SoundServer {
    SoundServerKind kind = SOUND_SERVER_PULSEAUDIO;
    std::vector<pid_t> processes;   // what was started, in order
    std::string folder;    // runtime folder; the servers' logs are folder + "/*.log"
    std::string address;   // for PULSE_SERVER: "unix:" + the socket's path
    std::string sink = "kesu";
    std::string monitor = "kesu.monitor";
    int quantum = 0;   // PipeWire: the graph's processing quantum in frames, pinned; 0: the server's choice
};

// "pulseaudio" or "pipewire".
const char* soundServerName(SoundServerKind kind);

// Whether the programs the server needs are installed; false names the first missing one.
bool soundServerInstalled(SoundServerKind kind, std::string& missing);

// Starts the server of server.kind and waits up to 10 s for its socket. With server.folder
// already set (a server stopped with its folder kept), it starts again in that folder, on
// the same socket path. False, with the reason in `message`, when it is not installed or does
// not come up (the reason then quotes its log).
bool startSoundServer(SoundServer& server, std::string& message);
// A null sink without a stream renders 2 s ahead at a time, and takes to the short blocks a
// recorder asks for only after the block under way: a player started before then is first
// heard up to 2 s late. Called after connecting the recorder, this waits that block out:
// until the recording grows a short block at a time, for 2.5 s at most.
void waitForShortBlocks(AudioRecorder* recorder);

// Ends the server's processes and, unless keepFolder, removes its folder.
void stopSoundServer(SoundServer& server, bool keepFolder = false);
