// Connecting to a sound server that speaks the PulseAudio protocol (PulseAudio, or PipeWire's
// PulseAudio service), shared by the server output and the recorder. Every call is made on the
// loop's thread or with the loop's lock held.
#pragma once

#include <pulse/pulseaudio.h>

#include <functional>
#include <string>

// A threaded main loop, started; null with the reason in `problem`.
pa_threaded_mainloop* serverLoopStart(std::string& problem);

// Starts connecting a new context on `loop` to `server` (null: PULSE_SERVER or the user's
// default; a server is never started). `onState` hears each change of the context's state and
// must signal the loop for serverWaitUntil. Null, with the reason in `problem`, when the
// connection cannot even begin.
pa_context* serverConnectStart(pa_threaded_mainloop* loop, const char* server, pa_context_notify_cb_t onState, void* user,
                               std::string& problem);

// With the loop's lock held: waits while the loop's thread runs until `done` holds, or for at
// most 3 s (a server that accepts the socket but never answers); false after the 3 s.
bool serverWaitUntil(pa_threaded_mainloop* loop, const std::function<bool()>& done);

// The context's last error, as the library says it.
std::string serverError(pa_context* context);

// The monotonic time (platformMonotonicSeconds) of a timestamp the server gives on the
// real-time clock.
double serverMonotonicSeconds(const struct timeval& timestamp);

// Drops the reference an asynchronous request returns; the request goes on.
void serverForget(pa_operation* operation);

// Disconnects and releases the stream and the context, either of which may be null, so that
// none of their callbacks is called again; both become null. With the loop's lock held.
void serverDisconnect(pa_context*& context, pa_stream*& stream);
// Stops the loop's thread and frees the loop; without its lock.
void serverLoopEnd(pa_threaded_mainloop* loop);
