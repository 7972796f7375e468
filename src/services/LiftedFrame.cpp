#include "LiftedFrame.h"

#include "platform/SubjectSegmenter.h"

LiftedFrame LiftedFrame::of(const QImage &still, const SubjectMask &mask, const QImage &cutOut)
{
    LiftedFrame frame;
    frame.hasSubject = mask.instanceCount() > 0 && !cutOut.isNull();
    frame.frameSize = still.size();
    frame.mask = mask.encoded();
    frame.thumbnail = thumbnailOf(still);
    if (frame.hasSubject)
        frame.subjectThumbnail = thumbnailOf(cutOut);
    return frame;
}

QImage LiftedFrame::thumbnailOf(const QImage &image)
{
    if (image.isNull() || (image.width() <= ThumbnailSide && image.height() <= ThumbnailSide))
        return image;
    return image.scaled(ThumbnailSide, ThumbnailSide, Qt::KeepAspectRatio, Qt::SmoothTransformation);
}
