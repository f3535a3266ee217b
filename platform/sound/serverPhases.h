// The phases of the music's stream on a sound server, as a record of its own: the connection
// (the first one, ready, renewed after the server went away, waiting to try again, closing)
// and the music (not started, restarting after a flush until the new music is heard, playing,
// lost with the wall clock standing in, returning on a new stream, stopped). It is fed what
// happens (the server's callbacks, the caller's start, pause and stop, the output's timer)
// and says what to do next: which report is the clock now, where the wall clock stands in,
// whether to flush and feed the stream anew, cork it, ask for a report, connect again, and
// what to tell the user. Pure bookkeeping, no library and no clock of its own: every time and
// whether the output is paused come with the events, so it can be checked on scripted ones.
#pragma once

#include "platform/sound/audioOutput.h"
#include "platform/sound/pipeWirePacing.h"

#include <cstddef>
#include <cstdint>
#include <string>

enum ServerConnection {
    CONNECTION_FIRST,      // the first connection and its stream are being made; the opener waits
    CONNECTION_REFUSED,    // the first connection failed: the output does not open
    CONNECTION_READY,      // the stream is ready
    CONNECTION_RENEWING,   // the server went away: a new connection and stream are being made
    CONNECTION_WAITING,    // the server went away or the last try failed: the next is due at retryAt
    CONNECTION_CLOSING     // the output closes: nothing is tried again
};

enum ServerMusic {
    MUSIC_UNSTARTED,    // no start yet: the stream is corked and unfed, and its clock stands
    MUSIC_RESTARTING,   // flushed and fed anew from startByte: the queue is empty by design until the
                        // server has asked for the new music and then reported playing
    MUSIC_PLAYING,      // the server's reports are the clock
    MUSIC_LOST,         // no stream plays it: the wall clock stands in
    MUSIC_RETURNING,    // placed on a new stream where the wall clock will be when it is heard; the
                        // wall clock stands in until then
    MUSIC_STOPPED       // silence until the next start
};

enum ServerCork {
    CORK_KEEP,
    CORK_ON,
    CORK_OFF
};

// What to do after an event, in this order.
struct ServerStep {
    bool reconnect = false;      // drop the connection (outside its own callbacks) and start a new one
    bool openStream = false;     // the context is ready: make the stream, corked
    bool refill = false;         // flush the stream and feed it what it takes now, from `handed`
    ServerCork cork = CORK_KEEP;
    bool askTiming = false;      // ask the server for a timing report (and call serverTimingAsked)
    bool publish = false;        // `report` is the clock from now on
    AudioReport report;
    bool standIn = false;        // the wall clock stands in for the music from standInBytes
    double standInBytes = 0.0;
    bool silenceBegins = false;  // the music is not heard from now on
    bool silenceEnds = false;    // it is heard again from silenceEndSeconds on
    double silenceEndSeconds = 0.0;
    bool underrun = false;       // the server found the stream empty
    std::string notice;          // for the user, when not empty
};

// A timing report, as the server gives it: at `seconds` (monotonic) the sink was about to
// take the byte at readIndex from the stream and held sinkBytes not yet played; the stream held
// writeIndex - readIndex, all of it handed over.
struct ServerTiming {
    bool corrupt = false;        // an index the library marks as not to be trusted
    double seconds = 0.0;
    bool playing = false;
    std::uint64_t readIndex = 0;
    std::uint64_t writeIndex = 0;
    double sinkBytes = 0.0;
};

struct ServerPhases {
    ServerConnection connection = CONNECTION_FIRST;
    ServerMusic music = MUSIC_UNSTARTED;
    double retryAt = 0.0;               // CONNECTION_WAITING: when the next connection is tried
    bool onPipeWire = false;
    // The stream's sound, in bytes of the music: where it starts, and the next byte to hand
    // over. What is heard is what was handed less what the stream and the sink still hold.
    std::uint64_t startByte = 0;
    std::uint64_t handed = 0;
    bool requestMetSinceFlush = false;  // the server asked for music since the last flush, and got it
    bool reportAsked = false;           // a timing report is on its way; one at a time
    bool askedAfterRequest = false;     // ... and it was asked after requestMetSinceFlush
    double sinkBytes = 0.0;             // what the sink held at the last report: how late a byte written now is heard
    PipeWirePacing pacing;
};

// The connection.
ServerStep serverContextReady(ServerPhases& phases);
ServerStep serverStreamReady(ServerPhases& phases);
// The context or the stream failed. `heardNow` is the clock's position now, in bytes.
ServerStep serverFailed(ServerPhases& phases, double now, double heardNow);
// The output's timer, every few milliseconds.
ServerStep serverTick(ServerPhases& phases, double now);
void serverClosing(ServerPhases& phases);

// The music, from the caller. `paused` is the output's pause; `heardNow` the clock's
// position now, in bytes.
ServerStep serverStart(ServerPhases& phases, std::uint64_t startByte, bool paused);
ServerStep serverPause(ServerPhases& phases, bool paused, double heardNow);
ServerStep serverStop(ServerPhases& phases, double now);

// From the stream. While the stream is fed the music, what the server asks for is handed
// from `handed` on, and serverHanded says how much went.
bool serverFeeding(const ServerPhases& phases);
void serverHanded(ServerPhases& phases, std::size_t bytes);
// The server asked for music (met: it got some), other than the refill that follows a flush.
ServerStep serverRequested(ServerPhases& phases, bool met);
// A timing report was asked for (false: the request could not be sent).
void serverTimingAsked(ServerPhases& phases, bool sent);
// The report asked for came (null: the server gave none). `wallHeardNow` is where the wall
// clock standing in is now.
ServerStep serverTimingCame(ServerPhases& phases, const ServerTiming* timing, bool paused, double wallHeardNow);
ServerStep serverUnderflow(ServerPhases& phases);
// Playback began or stalled.
ServerStep serverStarted(ServerPhases& phases);
