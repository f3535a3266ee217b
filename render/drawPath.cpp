#include "render/drawPath.h"

namespace {

DrawPath currentPath = DRAW_PATH_FAST;

} // namespace

void setDrawPath(DrawPath path) { currentPath = path; }

DrawPath drawPath() { return currentPath; }
