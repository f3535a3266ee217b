// Priority for the threads that carry the sound, so that a busy machine does not starve them.
#pragma once

// The calling thread at real-time priority `realtimePriority` where the system allows it
// (root, or an RLIMIT_RTPRIO grant), else at a higher nice level where RLIMIT_NICE allows;
// otherwise it stays as it is.
void raiseThreadPriority(int realtimePriority);
