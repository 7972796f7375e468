#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>

// What is known of one captured frame's pictures: the small pictures of the frames list, the
// lifting's outcome with the mask that rebuilds the cut-outs, and the full-size still and cut-out
// while they are held in memory. Images are implicitly shared, so copies are cheap; a null image is
// one that is not there (yet, or no longer: full-size pictures are let go and made again).
struct FrameImages
{
    enum class Extraction {
        Pending,   // the still or the cut-out is still being made
        Lifted,    // the frame has subjects: `mask` and the thumbnails hold them
        NoSubject, // the lifting found nothing to cut out
        Failed,    // the still or the lifting could not be made; `failure` says why
    };

    QImage still;            // full size
    QImage subject;          // every subject merged, the frame's size, transparent elsewhere
    QImage thumbnail;        // the still, small
    QImage subjectThumbnail; // the merged cut-out, small
    QByteArray mask;         // SubjectMask::encoded(), once lifted (with or without subject)
    Extraction extraction = Extraction::Pending;
    QString failure;

    bool hasStill() const { return !still.isNull(); }
    bool hasSubject() const { return !subject.isNull(); }
    bool hasThumbnail() const { return !thumbnail.isNull(); }
    bool isLifted() const { return extraction == Extraction::Lifted; }
    bool isFinished() const { return extraction != Extraction::Pending; }
    bool hasFailed() const { return extraction == Extraction::Failed; }
};
