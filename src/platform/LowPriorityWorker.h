#pragma once

#include "ThreadPriority.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <thread>

// Runs jobs one at a time on a thread of its own whose scheduling priority is below the interface's
// (its nice value is raised by Niceness). Threads that a job starts inherit that priority: this is
// how the OpenMP threads a library creates on its first parallel run end up below the interface too.
class LowPriorityWorker
{
public:
    static constexpr int Niceness = ThreadPriority::backgroundNiceness;

    LowPriorityWorker();
    // Finishes the jobs already given, then ends the thread.
    ~LowPriorityWorker();

    LowPriorityWorker(const LowPriorityWorker &) = delete;
    LowPriorityWorker &operator=(const LowPriorityWorker &) = delete;

    // Runs `job` on the worker thread and waits for it; an exception thrown by the job is thrown here.
    // Must not be called from a job.
    void run(std::function<void()> job);

private:
    void loop();

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<std::packaged_task<void()>> m_jobs;
    bool m_stopping = false;
    std::thread m_thread; // last: started once the members above exist
};
