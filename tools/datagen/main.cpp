// kesu-datagen OUTDIR: writes OUTDIR/kesu.ini and the whole OUTDIR/data/ pack.
#include "tools/datagen/dataPack.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: kesu-datagen OUTDIR\n");
        return 2;
    }
    std::string error;
    if (!generateDataPack(argv[1], error)) {
        std::fprintf(stderr, "kesu-datagen: %s\n", error.c_str());
        return 1;
    }
    return 0;
}
