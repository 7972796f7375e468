#pragma once

#include <QByteArray>
#include <QImage>
#include <QSize>

class SubjectMask;

// What is kept of a frame once it has been lifted, when its full-size pictures are let go: how the
// lifting ended, the mask that rebuilds its cut-outs exactly, and the small pictures of the frames
// list. A few hundred kilobytes at most for a 1080p frame, against 16 MB for a still and a cut-out.
struct LiftedFrame
{
    // Longest side of the list's pictures, in pixels: sharp at twice the list's size.
    static constexpr int ThumbnailSide = 192;

    bool hasSubject = false;
    QSize frameSize;
    QByteArray mask;         // SubjectMask::encoded(), also when it holds no subject
    QImage thumbnail;        // the still, small
    QImage subjectThumbnail; // every subject merged, small; null without subject

    // The record of a lifting of `still`; `cutOut` is its merged cut-out (null without subject).
    static LiftedFrame of(const QImage &still, const SubjectMask &mask, const QImage &cutOut);
    // `image` scaled down to fit the list's pictures (never up).
    static QImage thumbnailOf(const QImage &image);
};
