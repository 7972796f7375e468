#pragma once

// The state of an export run. Deliberately without equality: every assignment counts as a change.
struct ExportProgress
{
    int completed = 0; // frames processed so far, successful or not
    int total = 0;
    bool isRunning = false;

    double fraction() const { return total >= 1 ? double(completed) / double(total) : 0.0; }
};
