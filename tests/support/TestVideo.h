#pragma once

#include <QString>

class AppState;

// Opening videos in a window state as the user does, for tests that need one shown.
namespace TestVideo {

// Opens `path` in `state` and waits until the window has taken it; false after 30 s without (a refused
// file, for one). Its first frame may still be on its way to the screen: see settled().
bool open(AppState &state, const QString &path);
// Waits until the player has reached the frame of the last seek or step and the video's frame index
// is complete; false after 30 s.
bool settled(AppState &state);

} // namespace TestVideo
