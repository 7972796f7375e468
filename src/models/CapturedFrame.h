#pragma once

#include "models/Annotation.h"
#include "models/CutoutCorrection.h"
#include "support/MediaTime.h"

#include <QList>
#include <QString>
#include <QUuid>

// One still captured from the video: where it is in the video and what the user wrote and drew on
// it. Frames are identified by `id` alone: two frames are equal when their identifiers are, whatever
// their notes. The corrections of its cut-out are kept as the gestures that made them, applied in
// order to the lifting (see CutoutCorrector). The pictures made from a frame in the background are not part
// of it; they are kept by the frame image store under the frame's identifier.
struct CapturedFrame
{
    QUuid id = QUuid::createUuid();
    MediaTime time;
    QString notes;
    QList<Annotation> annotations;
    QList<CutoutCorrection> corrections;

    CapturedFrame() = default;
    explicit CapturedFrame(const MediaTime &frameTime) : time(frameTime) {}

    friend bool operator==(const CapturedFrame &a, const CapturedFrame &b) { return a.id == b.id; }
};

inline size_t qHash(const CapturedFrame &frame, size_t seed = 0)
{
    return qHash(frame.id, seed);
}
