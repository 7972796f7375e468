#pragma once

#include <QImage>
#include <QString>

// What the background work has made of one captured frame so far: the still grabbed from the
// video, and the cut-out of its subjects with how the lifting ended. Images are implicitly shared,
// so copies are cheap; a null image is one that is not there (yet).
struct FrameImages
{
    enum class Extraction {
        Pending,   // the still or the cut-out is still being made
        Lifted,    // `subject` holds every subject merged, frame-sized, transparent elsewhere
        NoSubject, // the lifting found nothing to cut out
        Failed,    // the still or the lifting could not be made; `failure` says why
    };

    QImage still;
    QImage subject;
    Extraction extraction = Extraction::Pending;
    QString failure;

    bool hasStill() const { return !still.isNull(); }
    bool hasSubject() const { return !subject.isNull(); }
    bool isFinished() const { return extraction != Extraction::Pending; }
    bool hasFailed() const { return extraction == Extraction::Failed; }
};
