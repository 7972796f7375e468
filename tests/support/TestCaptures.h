#pragma once

#include <QList>

class AppState;
class CaptureDocument;

// Captured frames put straight into a document, without a video and without undo steps, for tests
// of what is done with them. Frame times are in 1/30 s.
namespace TestCaptures {

// Adds groups until there is one per list, then appends to each group a frame at each of its times.
void addFrames(CaptureDocument &document, const QList<QList<int>> &timesPerGroup);
// Gives the groups the given numbers of frames, at 1/30 s, 2/30 s, … across all groups in order.
void fill(CaptureDocument &document, const QList<int> &framesPerGroup);
// The same into a window's document; the window makes the frames' pictures as it does for captures.
void addFrames(AppState &state, const QList<QList<int>> &timesPerGroup);
void fill(AppState &state, const QList<int> &framesPerGroup);
// As addFrames, into a window whose image store takes the new frames as already being made, so
// that the window does not grab and lift them: for tests of exports, which make their own.
void addFramesWithoutPictures(AppState &state, const QList<QList<int>> &timesPerGroup);
// Waits, by the image store's signals, until every frame of the window has its thumbnail and its
// lifting has ended; false after `timeoutMs`.
bool waitUntilMade(AppState &state, int timeoutMs);

} // namespace TestCaptures
