#include "platform/system/quitSignal.h"

// A page gets no signals: it ends with Escape, or when it is closed.
void platformCatchQuitSignals() {}

bool platformQuitSignalled() { return false; }
