#pragma once

#include <QtGlobal>

#include <functional>

// Runs the main thread's event loop until `done` holds, as a window would: the thread sleeps
// between events, so a benchmark of work done on other threads does not compete with a busy wait.
// False after `limitMs` without.
bool waitForEvents(const std::function<bool()> &done, qint64 limitMs = 60000);
