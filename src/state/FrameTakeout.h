#pragma once

#include "support/Result.h"

#include <QFuture>
#include <QImage>
#include <QString>
#include <QUuid>

#include <functional>
#include <optional>

class AppState;

// The finished picture of one captured frame, to take it elsewhere (the clipboard, a drop on another
// program): the very image the merged export writes for it, with the window's style, edge, crop and
// the frame's annotations, cut from the still and mask the window holds. Only a frame whose cut-out
// is ready can be taken. Main thread; the image itself is made on a worker thread.
class FrameTakeout
{
public:
    explicit FrameTakeout(const AppState *state) : m_state(state) {}

    // Why the frame's picture cannot be taken now, in French; none when it can.
    std::optional<QString> refusal(const QUuid &frameId) const;
    // The frame's finished image, made in the background with the settings as they are now; a frame
    // that cannot be taken fails at once with the reason refusal() gives.
    QFuture<Result<QImage>> image(const QUuid &frameId) const;
    // The same work, not started: it makes the image with the settings as they are now when called,
    // on the calling thread, from any thread.
    std::function<Result<QImage>()> imageMaker(const QUuid &frameId) const;
    // The name the merged export gives the frame's image; empty for a frame that does not exist.
    QString fileName(const QUuid &frameId) const;

    // Writes `image` as a PNG file named `fileName` into a folder of its own under the program's
    // temporary folder, which is removed when the program quits; its path, or why it could not be
    // written.
    static Result<QString> writeFile(const QImage &image, const QString &fileName);

private:
    const AppState *m_state;
};
