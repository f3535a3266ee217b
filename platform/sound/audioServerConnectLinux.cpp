#include "platform/sound/audioServerConnect.h"

#include <time.h>

namespace {

// A server that accepts the socket but never answers is given up after this.
constexpr pa_usec_t answerTimeoutUsec = 3 * PA_USEC_PER_SEC;

struct Deadline {
    pa_threaded_mainloop* loop;
    bool passed;
};

void onDeadline(pa_mainloop_api*, pa_time_event*, const struct timeval*, void* user)
{
    Deadline* deadline = static_cast<Deadline*>(user);
    deadline->passed = true;
    pa_threaded_mainloop_signal(deadline->loop, 0);
}

} // namespace

pa_threaded_mainloop* serverLoopStart(std::string& problem)
{
    pa_threaded_mainloop* loop = pa_threaded_mainloop_new();
    if (loop && pa_threaded_mainloop_start(loop) >= 0) return loop;
    problem = "cannot start the PulseAudio main loop";
    if (loop) pa_threaded_mainloop_free(loop);
    return nullptr;
}

pa_context* serverConnectStart(pa_threaded_mainloop* loop, const char* server, pa_context_notify_cb_t onState, void* user,
                               std::string& problem)
{
    pa_context* context = pa_context_new(pa_threaded_mainloop_get_api(loop), "Kesu Tamrick");
    if (!context) {
        problem = "pa_context_new failed";
        return nullptr;
    }
    pa_context_set_state_callback(context, onState, user);
    if (pa_context_connect(context, server, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0) {
        problem = "pa_context_connect: " + serverError(context);
        pa_context_set_state_callback(context, nullptr, nullptr);
        pa_context_unref(context);
        return nullptr;
    }
    return context;
}

bool serverWaitUntil(pa_threaded_mainloop* loop, const std::function<bool()>& done)
{
    pa_mainloop_api* api = pa_threaded_mainloop_get_api(loop);
    Deadline deadline{loop, false};
    timeval when{};
    pa_gettimeofday(&when);
    pa_timeval_add(&when, answerTimeoutUsec);
    pa_time_event* timer = api->time_new(api, &when, onDeadline, &deadline);
    while (!done() && !deadline.passed) pa_threaded_mainloop_wait(loop);
    api->time_free(timer);
    return done();
}

std::string serverError(pa_context* context) { return pa_strerror(pa_context_errno(context)); }

double serverMonotonicSeconds(const struct timeval& timestamp)
{
    timespec real{}, monotonic{};
    clock_gettime(CLOCK_REALTIME, &real);
    clock_gettime(CLOCK_MONOTONIC, &monotonic);
    const double realToMonotonic = static_cast<double>(monotonic.tv_sec - real.tv_sec) +
                                   static_cast<double>(monotonic.tv_nsec - real.tv_nsec) * 1e-9;
    return static_cast<double>(timestamp.tv_sec) + static_cast<double>(timestamp.tv_usec) * 1e-6 + realToMonotonic;
}

void serverForget(pa_operation* operation)
{
    if (operation) pa_operation_unref(operation);
}

void serverDisconnect(pa_context*& context, pa_stream*& stream)
{
    if (stream) {
        pa_stream_set_state_callback(stream, nullptr, nullptr);
        pa_stream_set_write_callback(stream, nullptr, nullptr);
        pa_stream_set_read_callback(stream, nullptr, nullptr);
        pa_stream_set_started_callback(stream, nullptr, nullptr);
        pa_stream_set_underflow_callback(stream, nullptr, nullptr);
        pa_stream_set_overflow_callback(stream, nullptr, nullptr);
        pa_stream_disconnect(stream);
        pa_stream_unref(stream);
        stream = nullptr;
    }
    if (context) {
        pa_context_set_state_callback(context, nullptr, nullptr);
        pa_context_disconnect(context);
        pa_context_unref(context);
        context = nullptr;
    }
}

void serverLoopEnd(pa_threaded_mainloop* loop)
{
    pa_threaded_mainloop_stop(loop);
    pa_threaded_mainloop_free(loop);
}
