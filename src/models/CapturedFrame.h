#pragma once

#include "models/Annotation.h"
#include "support/MediaTime.h"

#include <QImage>
#include <QList>
#include <QString>
#include <QUuid>

// One still captured from the video. Frames are identified by `id` alone: two frames are equal
// when their identifiers are, whatever their images or notes. Images are implicitly shared, so
// copying a frame is cheap; a null QImage means the image is not there (yet).
struct CapturedFrame
{
    QUuid id = QUuid::createUuid();
    MediaTime time;
    QImage thumbnail;              // the whole video frame at `time`, full decoded size
    QImage subjectPreview;         // all subjects merged, frame-sized, transparent elsewhere
    bool subjectExtracted = false; // a lifting attempt has finished, whatever its outcome
    QString notes;
    QList<Annotation> annotations;

    CapturedFrame() = default;
    explicit CapturedFrame(const MediaTime &frameTime) : time(frameTime) {}

    bool hasThumbnail() const { return !thumbnail.isNull(); }
    bool hasSubjectPreview() const { return !subjectPreview.isNull(); }

    friend bool operator==(const CapturedFrame &a, const CapturedFrame &b) { return a.id == b.id; }
};

inline size_t qHash(const CapturedFrame &frame, size_t seed = 0)
{
    return qHash(frame.id, seed);
}
