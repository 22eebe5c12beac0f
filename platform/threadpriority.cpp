#include "platform/threadpriority.h"

#include <sys/resource.h>
#include <unistd.h>

void LowerThisThreadPriority()
{
    constexpr int LOWEST_PRIORITY = 19;
    setpriority(PRIO_PROCESS, id_t(gettid()), LOWEST_PRIORITY);
}
