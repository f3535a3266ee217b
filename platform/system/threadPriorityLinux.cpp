#include "platform/system/threadPriority.h"

#include <pthread.h>
#include <sched.h>
#include <sys/resource.h>
#include <unistd.h>

void raiseThreadPriority(int realtimePriority)
{
    sched_param param{};
    param.sched_priority = realtimePriority;
    if (pthread_setschedparam(pthread_self(), SCHED_FIFO, &param) == 0) return;
    // A nice level belongs to one thread on Linux, named by its own id.
    setpriority(PRIO_PROCESS, static_cast<id_t>(gettid()), -11);
}
