// The system's monotonic clock, the one the sound server's timing reports and the clock log
// are in (CLOCK_MONOTONIC on Linux).
#pragma once

// Seconds of the monotonic clock.
double platformMonotonicSeconds();
