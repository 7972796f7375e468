#pragma once

#include <QUrl>

class AppState;

// Opening project files in a window state as the user does.
namespace TestProjects {

// Opens the project at `url` in `state` and waits until the window has read it and taken it, or
// refused it; false after 120 s still reading.
bool open(AppState &state, const QUrl &url);

} // namespace TestProjects
