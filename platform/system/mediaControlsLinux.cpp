// MPRIS, the session bus's interface through which Linux desktops steer media players: the
// player is org.mpris.MediaPlayer2.kesu_tamrick (a second one running beside it takes
// ....instance<PID>), at /org/mpris/MediaPlayer2, with the interface's root and its Player.
// The bus is served from the player's own steps: each published state processes what came
// in, answers it from the last state and queues what it asks for as events; what changed since
// is then signalled (PropertiesChanged, Seeked). Nothing here blocks on the bus, and without
// one, or once it has gone away, the player plays on and nothing is said.
#include "platform/system/mediaControls.h"
#include "platform/system/monotonicClock.h"
#include "platform/system/playerState.h"

#include <systemd/sd-bus.h>
#include <unistd.h>

#include <cmath>
#include <cstdint>
#include <deque>
#include <string>

namespace {

constexpr const char* objectPath = "/org/mpris/MediaPlayer2";
constexpr const char* rootInterface = "org.mpris.MediaPlayer2";
constexpr const char* playerInterface = "org.mpris.MediaPlayer2.Player";
constexpr const char* busName = "org.mpris.MediaPlayer2.kesu_tamrick";
// The one track: the whole show.
constexpr const char* trackId = "/org/kesutamrick/KesuTamrick/show";
constexpr const char* desktopEntry = "org.kesutamrick.KesuTamrick";
#ifdef KESU_INSTALLED_ICON
constexpr const char* installedIcon = KESU_INSTALLED_ICON;
#else
constexpr const char* installedIcon = "";
#endif

struct MediaControls {
    bool opened = false;
    sd_bus* bus = nullptr;
    PlatformPlayerState state;       // the last published
    PlatformPlayerState signalled;   // as the last signals told it
    std::deque<PlatformEvent> asked;
};

MediaControls controls;

std::int64_t microseconds(double seconds) { return static_cast<std::int64_t>(std::llround(seconds * 1e6)); }

void ask(PlatformEventKind kind, PlatformCommand command = PLATFORM_COMMAND_PLAY_PAUSE, double value = 0.0)
{
    PlatformEvent event;
    event.kind = kind;
    event.command = command;
    event.value = value;
    controls.asked.push_back(event);
}

void askCommand(PlatformCommand command, double value = 0.0) { ask(PLATFORM_EVENT_COMMAND, command, value); }

double volumeOf(const PlatformPlayerState& state) { return state.muted ? 0.0 : state.volume / 100.0; }

// The root interface.

int raise(sd_bus_message* call, void*, sd_bus_error*)
{
    askCommand(PLATFORM_COMMAND_RAISE);
    return sd_bus_reply_method_return(call, "");
}

int quit(sd_bus_message* call, void*, sd_bus_error*)
{
    ask(PLATFORM_EVENT_QUIT);
    return sd_bus_reply_method_return(call, "");
}

int trueProperty(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*)
{
    return sd_bus_message_append(reply, "b", 1);
}

int falseProperty(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*)
{
    return sd_bus_message_append(reply, "b", 0);
}

int emptyList(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*)
{
    return sd_bus_message_append(reply, "as", 0);
}

int identity(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*)
{
    return sd_bus_message_append(reply, "s", "Kesu Tamrick");
}

int desktopEntryProperty(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*)
{
    return sd_bus_message_append(reply, "s", desktopEntry);
}

const sd_bus_vtable rootTable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Raise", "", "", raise, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Quit", "", "", quit, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_PROPERTY("CanQuit", "b", trueProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanRaise", "b", trueProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("HasTrackList", "b", falseProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("Identity", "s", identity, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("DesktopEntry", "s", desktopEntryProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("SupportedUriSchemes", "as", emptyList, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("SupportedMimeTypes", "as", emptyList, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_VTABLE_END};

// The player interface.

int commandMethod(sd_bus_message* call, PlatformCommand command)
{
    askCommand(command);
    return sd_bus_reply_method_return(call, "");
}

int play(sd_bus_message* call, void*, sd_bus_error*) { return commandMethod(call, PLATFORM_COMMAND_PLAY); }
int pause(sd_bus_message* call, void*, sd_bus_error*) { return commandMethod(call, PLATFORM_COMMAND_PAUSE); }
int playPause(sd_bus_message* call, void*, sd_bus_error*) { return commandMethod(call, PLATFORM_COMMAND_PLAY_PAUSE); }
int stop(sd_bus_message* call, void*, sd_bus_error*) { return commandMethod(call, PLATFORM_COMMAND_STOP); }
int next(sd_bus_message* call, void*, sd_bus_error*) { return commandMethod(call, PLATFORM_COMMAND_NEXT); }
int previous(sd_bus_message* call, void*, sd_bus_error*) { return commandMethod(call, PLATFORM_COMMAND_PREVIOUS); }

// By an offset in microseconds: past the end it is Next (which at the last part ends the run,
// or starts it again when it loops); before the start, the start.
int seek(sd_bus_message* call, void*, sd_bus_error*)
{
    std::int64_t offset = 0;
    const int read = sd_bus_message_read(call, "x", &offset);
    if (read < 0) return read;
    const double seconds = static_cast<double>(offset) / 1e6;
    if (controls.state.seconds + seconds >= controls.state.length)
        askCommand(PLATFORM_COMMAND_NEXT);
    else
        askCommand(PLATFORM_COMMAND_SEEK_BY, seconds);
    return sd_bus_reply_method_return(call, "");
}

// Another track's id, or a position outside the track, is ignored.
int setPosition(sd_bus_message* call, void*, sd_bus_error*)
{
    const char* track = nullptr;
    std::int64_t position = 0;
    const int read = sd_bus_message_read(call, "ox", &track, &position);
    if (read < 0) return read;
    if (std::string(track) == trackId && position >= 0 && position <= microseconds(controls.state.length))
        askCommand(PLATFORM_COMMAND_SEEK_TO, static_cast<double>(position) / 1e6);
    return sd_bus_reply_method_return(call, "");
}

int openUri(sd_bus_message*, void*, sd_bus_error* error)
{
    return sd_bus_error_set_const(error, SD_BUS_ERROR_NOT_SUPPORTED, "the player plays its own show only");
}

int playbackStatus(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*)
{
    return sd_bus_message_append(reply, "s", controls.state.paused ? "Paused" : "Playing");
}

int rate(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*)
{
    return sd_bus_message_append(reply, "d", 1.0);
}

// The show plays at its own rate only.
int setRate(sd_bus*, const char*, const char*, const char*, sd_bus_message* value, void*, sd_bus_error*)
{
    double asked = 1.0;
    return sd_bus_message_read(value, "d", &asked);
}

int metadata(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*)
{
    const PlatformPlayerState& state = controls.state;
    int r = sd_bus_message_open_container(reply, 'a', "{sv}");
    if (r >= 0) r = sd_bus_message_append(reply, "{sv}", "mpris:trackid", "o", trackId);
    if (r >= 0) r = sd_bus_message_append(reply, "{sv}", "mpris:length", "x", microseconds(state.length));
    if (r >= 0) r = sd_bus_message_append(reply, "{sv}", "xesam:title", "s", "Kesu Tamrick");
    if (r >= 0 && state.parts && state.part >= 0 && state.part < state.partCount)
        r = sd_bus_message_append(reply, "{sv}", "xesam:album", "s", state.parts[state.part].name);
    if (r >= 0 && *installedIcon && access(installedIcon, R_OK) == 0)
        r = sd_bus_message_append(reply, "{sv}", "mpris:artUrl", "s", (std::string("file://") + installedIcon).c_str());
    if (r >= 0) r = sd_bus_message_close_container(reply);
    return r;
}

int volume(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*)
{
    return sd_bus_message_append(reply, "d", volumeOf(controls.state));
}

// Held to 0 to 1, as the player's own level; a level set unmutes.
int setVolume(sd_bus*, const char*, const char*, const char*, sd_bus_message* value, void*, sd_bus_error*)
{
    double level = 0.0;
    const int read = sd_bus_message_read(value, "d", &level);
    if (read < 0) return read;
    askCommand(PLATFORM_COMMAND_SET_VOLUME, std::isnan(level) ? 0.0 : std::fmin(std::fmax(level, 0.0), 1.0));
    return 0;
}

int position(sd_bus*, const char*, const char*, const char*, sd_bus_message* reply, void*, sd_bus_error*)
{
    return sd_bus_message_append(reply, "x", microseconds(controls.state.seconds));
}

constexpr std::uint64_t changes = SD_BUS_VTABLE_PROPERTY_EMITS_CHANGE;

const sd_bus_vtable playerTable[] = {
    SD_BUS_VTABLE_START(0),
    SD_BUS_METHOD("Next", "", "", next, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Previous", "", "", previous, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Pause", "", "", pause, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("PlayPause", "", "", playPause, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Stop", "", "", stop, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Play", "", "", play, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("Seek", "x", "", seek, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("SetPosition", "ox", "", setPosition, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_METHOD("OpenUri", "s", "", openUri, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_SIGNAL("Seeked", "x", 0),
    SD_BUS_PROPERTY("PlaybackStatus", "s", playbackStatus, 0, changes),
    SD_BUS_WRITABLE_PROPERTY("Rate", "d", rate, setRate, 0, SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_PROPERTY("Metadata", "a{sv}", metadata, 0, changes),
    SD_BUS_WRITABLE_PROPERTY("Volume", "d", volume, setVolume, 0, changes | SD_BUS_VTABLE_UNPRIVILEGED),
    SD_BUS_PROPERTY("Position", "x", position, 0, 0),
    SD_BUS_PROPERTY("MinimumRate", "d", rate, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("MaximumRate", "d", rate, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanGoNext", "b", trueProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanGoPrevious", "b", trueProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanPlay", "b", trueProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanPause", "b", trueProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanSeek", "b", trueProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_PROPERTY("CanControl", "b", trueProperty, 0, SD_BUS_VTABLE_PROPERTY_CONST),
    SD_BUS_VTABLE_END};

void closeBus()
{
    if (controls.bus) sd_bus_flush_close_unref(controls.bus);
    controls.bus = nullptr;
}

// The name's reply: taken, or held by another player, which then leaves this one its
// instance's name.
int nameReply(sd_bus_message* reply, void* instanceAsked, sd_bus_error*)
{
    if (sd_bus_message_is_method_error(reply, nullptr)) return 0;
    std::uint32_t result = 0;
    if (sd_bus_message_read(reply, "u", &result) < 0) return 0;
    constexpr std::uint32_t exists = 3;   // DBUS_REQUEST_NAME_REPLY_EXISTS
    if (result == exists && !instanceAsked) {
        const std::string name = std::string(busName) + ".instance" + std::to_string(getpid());
        sd_bus_call_method_async(controls.bus, nullptr, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                 "org.freedesktop.DBus", "RequestName", nameReply, &controls, "su", name.c_str(),
                                 static_cast<std::uint32_t>(4));   // DBUS_NAME_FLAG_DO_NOT_QUEUE
    }
    return 0;
}

void openBus()
{
    controls.opened = true;
    if (sd_bus_open_user(&controls.bus) < 0) {
        controls.bus = nullptr;
        return;
    }
    if (sd_bus_add_object_vtable(controls.bus, nullptr, objectPath, rootInterface, rootTable, nullptr) < 0 ||
        sd_bus_add_object_vtable(controls.bus, nullptr, objectPath, playerInterface, playerTable, nullptr) < 0 ||
        sd_bus_call_method_async(controls.bus, nullptr, "org.freedesktop.DBus", "/org/freedesktop/DBus",
                                 "org.freedesktop.DBus", "RequestName", nameReply, nullptr, "su", busName,
                                 static_cast<std::uint32_t>(4)) < 0)
        closeBus();
}

// What came in, answered; false once the bus has gone.
bool serve()
{
    for (int k = 0; k < 64; ++k) {
        const int r = sd_bus_process(controls.bus, nullptr);
        if (r < 0) return false;
        if (r == 0) break;
    }
    return true;
}

// What changed since the last signals, signalled.
void signalChanges()
{
    const PlatformPlayerState& now = controls.state;
    PlatformPlayerState& told = controls.signalled;
    const bool status = now.paused != told.paused;
    const bool data = now.part != told.part;
    const bool level = volumeOf(now) != volumeOf(told);
    if (status || data || level) {
        const char* names[4] = {};
        int count = 0;
        if (status) names[count++] = "PlaybackStatus";
        if (data) names[count++] = "Metadata";
        if (level) names[count++] = "Volume";
        sd_bus_emit_properties_changed_strv(controls.bus, objectPath, playerInterface, const_cast<char**>(names));
    }
    if (now.moves != told.moves)
        sd_bus_emit_signal(controls.bus, objectPath, playerInterface, "Seeked", "x", microseconds(now.seconds));
    told = now;
}

} // namespace

void platformPublishPlayerState(const PlatformPlayerState& state)
{
    controls.state = state;
    if (!controls.opened) {
        openBus();
        controls.signalled = state;
    }
    if (!controls.bus) return;
    if (!serve()) {
        closeBus();
        return;
    }
    signalChanges();
    if (!serve()) closeBus();
}

bool platformTakeMediaEvent(PlatformEvent& event)
{
    if (controls.asked.empty()) return false;
    event = controls.asked.front();
    event.time = platformMonotonicSeconds();
    controls.asked.pop_front();
    return true;
}
