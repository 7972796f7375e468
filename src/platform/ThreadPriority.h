#pragma once

// The scheduling priority of the calling thread. On Linux the nice value belongs to each thread,
// and a thread starts with its creator's: threads a library starts from a lowered thread (decoding
// or OpenMP threads) run lowered too.
namespace ThreadPriority {

// How much a background thread's nice value is raised above the interface's.
inline constexpr int backgroundNiceness = 10;
// Raised this much, a thread runs only when nothing else wants the processor.
inline constexpr int idleNiceness = 19;

// Raises the calling thread's nice value by `niceness` (at most to 19). Failing to, the thread keeps
// its priority: nothing is reported.
void lowerCurrentThread(int niceness = backgroundNiceness);

} // namespace ThreadPriority
