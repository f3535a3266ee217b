#include "fixedgl/glesDriver.h"

GlesDriver gles;

namespace {

// Each entry's address taken as a plain pointer to fill, by the name the driver gives it.
struct Entry {
    const char* name;
    void** slot;
    bool required;
};

#define KESU_GLES_ENTRY(field, Name, Return, Parameters, group) {"gl" #Name, reinterpret_cast<void**>(&gles.field), true},
#define KESU_GLES_ENTRY_ES(field, Name, Return, Parameters, group) {"gl" #Name, reinterpret_cast<void**>(&gles.field), false},
#define KESU_GLES_ENTRY_LAYER(X, ...) KESU_GLES_ENTRY(__VA_ARGS__)
#define KESU_GLES_ENTRY_LAYER_ES(X, ...) KESU_GLES_ENTRY_ES(__VA_ARGS__)
#define KESU_GLES_ENTRY_SHARED(X, ...) KESU_GLES_ENTRY(__VA_ARGS__)
#define KESU_GLES_ENTRY_SHARED_ES(X, ...) KESU_GLES_ENTRY_ES(__VA_ARGS__)
#define KESU_GLES_ENTRY_OWN(X, ...)
const Entry entries[] = {KESU_GL_CALLS(KESU_GLES_ENTRY, unused)};

} // namespace

bool fetchGlesDriver(void* (*lookup)(const char* name), const char*& missing)
{
    for (const Entry& entry : entries) {
        *entry.slot = lookup(entry.name);
        if (!*entry.slot && entry.required) {
            missing = entry.name;
            return false;
        }
    }
    return true;
}
