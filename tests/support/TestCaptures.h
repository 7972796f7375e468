#pragma once

#include <QList>

class AppState;

// Captured frames put straight into a window state, without a video, for tests of what is done
// with them. Frame times are in 1/30 s.
namespace TestCaptures {

// Adds groups until there is one per list, then appends to each group a frame at each of its times.
void addFrames(AppState &state, const QList<QList<int>> &timesPerGroup);
// Gives the groups the given numbers of frames, at 1/30 s, 2/30 s, … across all groups in order.
void fill(AppState &state, const QList<int> &framesPerGroup);

} // namespace TestCaptures
