#include "ThreadPriority.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

void ThreadPriority::lowerCurrentThread(int niceness)
{
    const id_t thread = id_t(::gettid());
    errno = 0;
    const int current = ::getpriority(PRIO_PROCESS, thread);
    if (errno == 0)
        ::setpriority(PRIO_PROCESS, thread, std::min(current + niceness, 19));
}
