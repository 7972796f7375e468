#include "LowPriorityWorker.h"

#include "ThreadPriority.h"

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
    ThreadPriority::lowerCurrentThread(Niceness);

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
