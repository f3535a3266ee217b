#include "host/playerScreen.h"

#include "host/playerMessages.h"
#include "host/screenshot.h"
#include "host/timeBar.h"
#include "platform/display/window.h"
#include "platform/system/monotonicClock.h"

void presentFrame(PlayerScreen& screen, TimeBar& bar, bool looping, double showSeconds)
{
    if (screen.screenshotAsked) {
        screen.screenshotAsked = false;
        takeScreenshot(screen.surface, screen.width, screen.height, screen.screenshotFolder, showSeconds);
    }
    screen.barOnScreen = timeBarVisible(bar, platformMonotonicSeconds());
    if (screen.barOnScreen) drawTimeBar(bar, showSeconds, looping, screen.width, screen.height);
    presentShow(screen.surface, screen.window);
    removeTimeBar(bar);
}

void presentBarChange(PlayerScreen& screen, TimeBar& bar, bool looping, double showSeconds)
{
    if (timeBarVisible(bar, platformMonotonicSeconds()) != screen.barOnScreen) presentFrame(screen, bar, looping, showSeconds);
}

void switchFullScreen(PlayerScreen& screen)
{
    if (!toggleFullScreen(screen.surface, screen.window, screen.width, screen.height))
        playerSay("the window cannot switch between window and full screen: " + platformLastError());
}
