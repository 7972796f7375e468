#include "LowPriorityWorker.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

LowPriorityWorker::LowPriorityWorker() : m_thread([this] { loop(); }) {}

LowPriorityWorker::~LowPriorityWorker()
{
    {
        const std::lock_guard lock(m_mutex);
        m_stopping = true;
    }
    m_wake.notify_one();
    m_thread.join();
}

void LowPriorityWorker::run(std::function<void()> job)
{
    std::packaged_task<void()> task(std::move(job));
    std::future<void> done = task.get_future();
    {
        const std::lock_guard lock(m_mutex);
        m_jobs.push_back(std::move(task));
    }
    m_wake.notify_one();
    done.get();
}

void LowPriorityWorker::loop()
{
    // On Linux the nice value belongs to each thread, and a new thread starts with its creator's.
    const id_t thread = id_t(::gettid());
    errno = 0;
    const int current = ::getpriority(PRIO_PROCESS, thread);
    if (errno == 0)
        ::setpriority(PRIO_PROCESS, thread, std::min(current + Niceness, 19));

    for (;;) {
        std::packaged_task<void()> task;
        {
            std::unique_lock lock(m_mutex);
            m_wake.wait(lock, [this] { return m_stopping || !m_jobs.empty(); });
            if (m_jobs.empty())
                return;
            task = std::move(m_jobs.front());
            m_jobs.pop_front();
        }
        task();
    }
}
