#pragma once

#include <QString>

// Videos for the window tests, encoded with the ffmpeg command-line tool into a folder that
// lives as long as the test process.
namespace WindowTestMedia {

// A 20 s, 320×240, 30 fps H.264 test pattern with a running frame counter; empty on failure.
QString patternVideo(const QString &fileName = QStringLiteral("pattern.mp4"));
// A plain-text file (not a movie) in the same folder.
QString textFile(const QString &fileName);

} // namespace WindowTestMedia
