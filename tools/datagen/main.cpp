// kesu-datagen OUTDIR: writes the whole OUTDIR/data/ pack, and OUTDIR/kesu.ini where there is none.
// kesu-datagen --icons OUTDIR: writes the program's icons in the hicolor layout.
#include "tools/datagen/dataPack.h"
#include "tools/datagen/icons.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

const char* const usageText = "usage: kesu-datagen OUTDIR\n"
                              "       kesu-datagen --icons OUTDIR\n"
                              "       kesu-datagen --help | --version\n"
                              "Makes the Kesu Tamrick data pack, version " KESU_VERSION ".\n"
                              "  OUTDIR            write the music, the pictures and the scenes into OUTDIR/data/,\n"
                              "                    and OUTDIR/kesu.ini where there is none (1280 720 1)\n"
                              "  --icons OUTDIR    write the program's icons in the hicolor layout under OUTDIR\n"
                              "  --help            this text\n"
                              "  --version         the version\n";

} // namespace

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("kesu-datagen %s\n", KESU_VERSION);
        return 0;
    }
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        std::fputs(usageText, stdout);
        return 0;
    }
    std::string error;
    if (argc == 3 && std::strcmp(argv[1], "--icons") == 0) {
        if (writeIcons(argv[2], error)) return 0;
        std::fprintf(stderr, "kesu-datagen: %s\n", error.c_str());
        return 1;
    }
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "kesu-datagen: %s\n%s", argc < 2 ? "OUTDIR is missing" : "unknown arguments", usageText);
        return 2;
    }
    if (!generateDataPack(argv[1], error)) {
        std::fprintf(stderr, "kesu-datagen: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
