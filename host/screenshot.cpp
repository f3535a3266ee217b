#include "host/screenshot.h"

#include "host/playerMessages.h"
#include "host/showSurface.h"
#include "platform/files/pictureSaver.h"

#include <cstdint>
#include <cstdio>
#include <vector>

std::string screenshotName(double showSeconds, std::time_t takenAt)
{
    char date[32];
    std::strftime(date, sizeof date, "%Y%m%d-%H%M%S", std::localtime(&takenAt));
    const int minutes = static_cast<int>(showSeconds) / 60;
    char name[96];
    std::snprintf(name, sizeof name, "kesu-tamrick-%dm%05.2fs-%s.png", minutes, showSeconds - minutes * 60, date);
    return name;
}

void takeScreenshot(const ShowSurface& surface, int width, int height, const std::string& folder, double showSeconds)
{
    std::vector<std::uint8_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 4);
    readShowPicture(surface, width, height, pixels.data());
    savePictureLater(folder + screenshotName(showSeconds, std::time(nullptr)), std::move(pixels), width, height,
                     [](const std::string& path, const std::string& problem) {
                         playerSay(problem.empty() ? "screenshot saved: " + path
                                                   : "the screenshot could not be saved: " + problem);
                     });
}
