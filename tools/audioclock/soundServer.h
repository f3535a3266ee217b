// A private PulseAudio server for measurements: started in a fresh runtime folder of its own,
// with one null sink (44100 Hz stereo 16-bit, so what a player sends arrives in the sink's
// monitor sample for sample) and a socket that takes anonymous clients. Works as root and as
// a normal user, with no session bus and no other audio set-up.
#pragma once

#include <string>

struct SoundServer {
    int processId = -1;
    std::string folder;    // runtime folder; the server's log is folder + "/server.log"
    std::string address;   // for PULSE_SERVER: "unix:" + folder + "/native"
    std::string sink = "kesu";
    std::string monitor = "kesu.monitor";
};

// Starts `pulseaudio` from PATH and waits up to 10 s for its socket. False, with the reason in
// `message`, when it is not installed or does not come up (the reason then quotes its log).
bool startSoundServer(SoundServer& server, std::string& message);
// A null sink without a stream renders 2 s ahead at a time, and takes to the short blocks a
// recorder asks for only after the block under way: a player started before then is first
// heard up to 2 s late. Called after connecting the recorder, this waits that block out.
void waitForShortBlocks();

// Ends the server and removes its folder.
void stopSoundServer(SoundServer& server);
