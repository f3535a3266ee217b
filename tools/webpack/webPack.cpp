// kesu-webpack DATA_FOLDER: writes, as JSON on standard output, the files a page fetches for the
// show in the order it needs them: the music and the wait screen, then each stage of the
// loading with the clock from which the show needs it and its files (a scene's maps as the
// scene names them).
//
//   {"music": "little.mp3", "waitScreen": "w8scr.jpg",
//    "stages": [{"from": 0, "files": ["title.3ds", ...]}, ...]}
#include "platform/files/loadError.h"
#include "timeline/demoSchedule.h"
#include "timeline/demoTimeline.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

// A file name as a JSON string; the pack's names are plain, anything else is escaped.
std::string quoted(const std::string& text)
{
    std::string out = "\"";
    for (const unsigned char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += static_cast<char>(c);
        } else if (c < 0x20) {
            char escape[8];
            std::snprintf(escape, sizeof escape, "\\u%04x", c);
            out += escape;
        } else {
            out += static_cast<char>(c);
        }
    }
    return out + "\"";
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2 || argv[1][0] == '-') {
        std::fputs("usage: kesu-webpack DATA_FOLDER\n"
                   "  writes the pack's files in the order the show's loading reads them, as JSON\n",
                   argc == 2 && std::string(argv[1]) == "--help" ? stdout : stderr);
        return argc == 2 && std::string(argv[1]) == "--help" ? 0 : 2;
    }
    std::string folder = argv[1];
    if (folder.back() != '/') folder += '/';
    std::vector<DemoLoadFiles> order;
    LoadError error;
    if (!demoLoadOrder(folder, order, error)) {
        std::fprintf(stderr, "kesu-webpack: %s\n", formatLoadError(error).c_str());
        return 1;
    }
    std::printf("{\"music\": %s, \"waitScreen\": %s,\n \"stages\": [", quoted(musicFile).c_str(),
                quoted(waitScreenFile).c_str());
    for (std::size_t s = 0; s < order.size(); ++s) {
        std::printf("%s\n  {\"from\": %g, \"files\": [", s ? "," : "", static_cast<double>(order[s].neededFrom));
        for (std::size_t f = 0; f < order[s].names.size(); ++f)
            std::printf("%s%s", f ? ", " : "", quoted(order[s].names[f]).c_str());
        std::printf("]}");
    }
    std::printf("]}\n");
    return 0;
}
