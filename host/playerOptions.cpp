#include "host/playerOptions.h"

#include "platform/files/fileLookup.h"
#include "platform/system/environment.h"
#include "timeline/demoSchedule.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace {

bool parseSeconds(const std::string& text, double& seconds)
{
    if (text.empty()) return false;
    char* end = nullptr;
    errno = 0;
    seconds = std::strtod(text.c_str(), &end);
    return errno == 0 && end && *end == '\0' && std::isfinite(seconds) && seconds >= 0.0 && seconds < demoLength;
}

std::string valueAfter(int argc, const char* const* argv, int i) { return i + 1 < argc ? argv[i + 1] : ""; }

// The whole number from lowest to highest after option i, which then moves past it.
bool parseWhole(int argc, const char* const* argv, int& i, long lowest, long highest, int& value)
{
    const std::string text = valueAfter(argc, argv, i);
    char* end = nullptr;
    const long number = text.empty() ? -1 : std::strtol(text.c_str(), &end, 10);
    if (text.empty() || !end || *end != '\0' || number < lowest || number > highest) return false;
    value = static_cast<int>(number);
    ++i;
    return true;
}

} // namespace

bool parsePlayerOptions(int argc, const char* const* argv, PlayerOptions& options, std::string& problem)
{
    bool screenGiven = false;
    for (int i = 1; i < argc; ++i) {
        const std::string name = argv[i];
        if (name == "--help" || name == "-h") {
            options.help = true;
        } else if (name == "--version") {
            options.version = true;
        } else if (name == "--window" || name == "--desktop") {
            if (screenGiven) {
                problem = "choose one of --window and --desktop";
                return false;
            }
            screenGiven = true;
            options.screenMode = name == "--window" ? SCREEN_WINDOW : SCREEN_DESKTOP;
        } else if (name == "--from") {
            if (i + 1 >= argc || !parseSeconds(argv[i + 1], options.from)) {
                problem = "--from wants seconds of music from 0 to below 173, not \"" + valueAfter(argc, argv, i) + "\"";
                return false;
            }
            ++i;
        } else if (name == "--loop") {
            options.loop = true;
        } else if (name == "--paused") {
            options.paused = true;
        } else if (name == "--bench") {
            options.bench = true;
        } else if (name == "--volume") {
            if (!parseWhole(argc, argv, i, 0, 100, options.volume)) {
                problem = "--volume wants a level from 0 to 100 percent, not \"" + valueAfter(argc, argv, i) + "\"";
                return false;
            }
        } else if (name == "--display") {
            if (!parseWhole(argc, argv, i, 0, 63, options.display)) {
                problem = "--display wants a monitor number from 0, not \"" + valueAfter(argc, argv, i) + "\"";
                return false;
            }
        } else {
            problem = "unknown option \"" + name + "\"";
            return false;
        }
    }
    return true;
}

void readPlayerEnvironment(PlayerOptions& options)
{
    options.predictFrames = environmentValue("KESU_CLOCK") != "frame-start";
    options.clockLogPath = environmentValue("KESU_CLOCK_LOG");
    options.checkGl = environmentSwitchOn("KESU_CHECK_GL");
    options.immediateDraw = environmentSwitchOn("KESU_IMMEDIATE");
}

std::string playerUsage()
{
    return "usage: kesu [--window | --desktop] [--display N] [--from SECONDS] [--paused] [--loop]\n"
           "            [--volume PERCENT]\n"
           "       kesu [--window | --desktop] [--from SECONDS] --bench\n"
           "       kesu --help | --version\n"
           "Plays the Kesu Tamrick demo, version " KESU_VERSION ".\n"
           "  (no option)      switch the display to the size in kesu.ini and cover the screen\n"
           "  --window         a window of that size next to the others, no display-mode change\n"
           "  --desktop        cover the screen at the desktop's own mode, no display-mode change\n"
           "  --display N      on monitor N (0 is the first)\n"
           "  --from SECONDS   start at that point of the music (0 to below 173)\n"
           "  --paused         start paused, showing the first frame, until Space\n"
           "  --loop           play the show again from its start at its end, until Escape\n"
           "  --volume PERCENT the music's level, 0 to 100 (default 100), as a desktop mixer's\n"
           "                   slider: the gain is the level cubed\n"
           "  --bench          draw every frame from there to the end back to back, silent,\n"
           "                   and print what each part of the show costs a frame\n"
           "  --help           this text\n"
           "  --version        the version\n"
           "Keys: Escape quits, Space pauses and resumes; Left and Right go 5 s back and on, Down\n"
           "and Up 30 s, Home to the start, Page Up and Page Down to the previous and the next\n"
           "part of the show; S or F12 saves a screenshot; F, F11 or Alt+Enter switch between the\n"
           "window and the full screen; L turns looping on or off; O keeps the time bar on;\n"
           "9 and 0 lower and raise the volume in twentieths, M mutes and unmutes.\n"
           "Mouse: a move shows the time bar and the pointer for 2 s; a click on the bar goes to\n"
           "that time (drag along it to choose); a click elsewhere pauses and resumes; a\n"
           "double-click switches the full screen.\n"
           "At the end one line on stdout tells how the run went: frames, seconds, frames per\n"
           "second, frame intervals and slow frames.\n"
           "Files: started in a folder that holds data/, kesu plays that pack with kesu.ini and\n"
           "kesu.log there. " +
           installedFilesHelp();
}
