// kesu-datagen OUTDIR: writes the whole OUTDIR/data/ pack, and OUTDIR/kesu.ini where there is none.
// kesu-datagen --icons OUTDIR: writes the program's icons in the hicolor layout.
#include "tools/datagen/dataPack.h"
#include "tools/datagen/icons.h"

#include <cstdio>
#include <cstring>
#include <string>

int main(int argc, char** argv)
{
    if (argc == 2 && std::strcmp(argv[1], "--version") == 0) {
        std::printf("kesu-datagen %s\n", KESU_VERSION);
        return 0;
    }
    std::string error;
    if (argc == 3 && std::strcmp(argv[1], "--icons") == 0) {
        if (writeIcons(argv[2], error)) return 0;
        std::fprintf(stderr, "kesu-datagen: %s\n", error.c_str());
        return 1;
    }
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: kesu-datagen OUTDIR\n       kesu-datagen --icons OUTDIR\n       kesu-datagen --version\n");
        return 2;
    }
    if (!generateDataPack(argv[1], error)) {
        std::fprintf(stderr, "kesu-datagen: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
