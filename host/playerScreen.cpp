#include "host/playerScreen.h"

#include "host/playerMessages.h"
#include "host/screenshot.h"
#include "host/timeBar.h"
#include "platform/display/window.h"
#include "platform/system/monotonicClock.h"

void presentFrame(PlayerScreen& screen, TimeBar& bar, double showSeconds)
{
    if (screen.screenshotAsked) {
        screen.screenshotAsked = false;
        takeScreenshot(screen.surface, screen.width, screen.height, screen.screenshotFolder, showSeconds);
    }
    screen.barOnScreen = timeBarVisible(bar, platformMonotonicSeconds());
    if (screen.barOnScreen) drawTimeBar(bar, showSeconds, screen.width, screen.height);
    presentShow(screen.surface, screen.window);
    removeTimeBar(bar);
}

void presentBarChange(PlayerScreen& screen, TimeBar& bar, double showSeconds)
{
    const bool visible = timeBarVisible(bar, platformMonotonicSeconds());
    if (visible != screen.barOnScreen || (visible && bar.changed)) presentFrame(screen, bar, showSeconds);
}

bool pictureAt(const PlayerScreen& screen, double drawableX, double drawableY, double& pictureX, double& pictureY)
{
    int drawableWidth = 0, drawableHeight = 0;
    platformDrawableSize(screen.window, drawableWidth, drawableHeight);
    const ShowArea area = showArea(screen.surface, drawableWidth, drawableHeight, screen.width, screen.height);
    if (area.width <= 0 || area.height <= 0) return false;
    pictureX = (drawableX - area.x) * screen.width / area.width;
    pictureY = (drawableHeight - drawableY - area.y) * screen.height / area.height;
    return pictureX >= 0.0 && pictureX < screen.width && pictureY >= 0.0 && pictureY < screen.height;
}

void switchFullScreen(PlayerScreen& screen)
{
    if (!toggleFullScreen(screen.surface, screen.window, screen.width, screen.height))
        playerSay("the window cannot switch between window and full screen: " + platformLastError());
}
