#include "platform/display/glContextLayer.h"

#include "fixedgl/fixedGl.h"

bool platformStartGl(int width, int height, std::string& problem)
{
    const char* missing = nullptr;
    if (fixedGlBind(layerDriverProc, width, height, missing)) return true;
    problem = std::string(layerDriverName) + " lacks " + (missing ? missing : "an entry point");
    return false;
}

void* platformGlProc(const char* name) { return fixedGlProc(name); }
