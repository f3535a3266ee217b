#include "render/drawPath.h"

#include <cstdlib>
#include <cstring>

namespace {

DrawPath currentPath = DRAW_PATH_FAST;

} // namespace

void setDrawPath(DrawPath path) { currentPath = path; }

DrawPath drawPath() { return currentPath; }

DrawPath setDrawPathFromEnvironment()
{
    const char* immediate = std::getenv("KESU_IMMEDIATE");
    currentPath = immediate && *immediate && std::strcmp(immediate, "0") != 0 ? DRAW_PATH_IMMEDIATE : DRAW_PATH_FAST;
    return currentPath;
}
