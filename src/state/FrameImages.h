#pragma once

#include "models/CutoutCorrection.h"

#include <QByteArray>
#include <QImage>
#include <QList>
#include <QString>

// What is known of one captured frame's pictures: the small pictures of the frames list, the
// lifting's outcome with the mask that rebuilds the cut-outs, and the full-size still and cut-out
// while they are held in memory. Images are implicitly shared, so copies are cheap; a null image is
// one that is not there (yet, or no longer: full-size pictures are let go and made again).
//
// `mask` is the lifting as the model gave it (what the disk cache keeps); the cut-out, its thumbnail
// and the outcome follow the frame's corrections once `correctedMask` holds them applied. A mask the
// disk cache keeps is held in memory only while it is among those used last: `lifting` tells that
// there is one, and the store's keptMask() reads it back. Likewise the small pictures of a frame far
// from the list's rows on screen may be let go (`thumbnailsLetGo`); they come back when it nears them.
struct FrameImages
{
    enum class Extraction {
        Pending,   // the still or the cut-out is still being made
        Lifted,    // the frame has subjects: `cutOutMask()` and the thumbnails hold them
        NoSubject, // the lifting, corrections applied, leaves nothing to cut out
        Failed,    // the still or the lifting could not be made; `failure` says why
    };

    QImage still;            // full size
    QImage subject;          // every subject merged, the frame's size, transparent elsewhere
    QImage thumbnail;        // the still, small
    QImage subjectThumbnail; // the merged cut-out, small
    QByteArray mask;         // SubjectMask::encoded(), once lifted (with or without subject), while held
    // Names the frame's lifting, so that work made from one lifting is told from work made from
    // another: 0 until lifted, then a number of its own for every lifting the store receives.
    quint64 lifting = 0;
    bool thumbnailsLetGo = false; // the small pictures are not held now, but can be made again
    // The mask with `corrections` applied (SubjectMask::encoded()); empty while none are.
    QByteArray correctedMask;
    QList<CutoutCorrection> corrections;
    Extraction extraction = Extraction::Pending;
    QString failure;

    // The mask the cut-out is made from: the corrected one when there is one.
    const QByteArray &cutOutMask() const { return correctedMask.isEmpty() ? mask : correctedMask; }
    // Whether the frame has a lifting, held in memory or not.
    bool hasMask() const { return lifting != 0; }
    bool hasStill() const { return !still.isNull(); }
    bool hasSubject() const { return !subject.isNull(); }
    bool hasThumbnail() const { return !thumbnail.isNull(); }
    bool isLifted() const { return extraction == Extraction::Lifted; }
    bool isFinished() const { return extraction != Extraction::Pending; }
    bool hasFailed() const { return extraction == Extraction::Failed; }
};
