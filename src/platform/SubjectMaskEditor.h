#pragma once

#include "SubjectSegmenter.h"

#include <QList>
#include <QPointF>
#include <QRect>
#include <QSize>

#include <memory>

// Changes which parts of a frame are lifted: drops a subject, adds one the model missed, erases or
// restores along a brush stroke. The editor works on its own copy of a mask's planes at the frame's
// full resolution, so that a series of changes costs one copy; result() gives the edited mask and
// the one it started from stays as it was.
//
// Subjects keep their order: one dropped leaves the list, one added comes last. While editing,
// subjects are numbered as they were before the first change plus those added since; result()
// numbers them afresh, leaving out those that no longer show. Every change is deterministic: the
// same mask and the same changes give the same result, byte for byte. One thread at a time.
class SubjectMaskEditor
{
public:
    explicit SubjectMaskEditor(const SubjectMask &mask);
    ~SubjectMaskEditor();
    SubjectMaskEditor(const SubjectMaskEditor &) = delete;
    SubjectMaskEditor &operator=(const SubjectMaskEditor &) = delete;

    QSize frameSize() const;
    // The subject shown at `point`, else the one nearest to it within `reach` pixels; -1 for none.
    int instanceAt(QPoint point, int reach) const;
    // The subject's pixels become background.
    void dropInstance(int instance);

    // Brush strokes: `stroke` is the path of the brush's centre in frame pixels (one point for a
    // dab), `diameter` the brush's width in pixels.
    // Removes what the brush covers, with a soft edge.
    void erase(const QList<QPointF> &stroke, double diameter);
    // Adds what the brush covers of the picture's object under it: a graph cut of the stroke's
    // surroundings, seeded by the stroke and by the subjects around it, keeps the part of the stroke
    // whose colours go with the subjects rather than with what lies outside the stroke. A stroke
    // with nothing around it but subjects restores all it covers. What this editor erased counts as
    // the subjects' own: under the stroke it always comes back. Restored pixels join the subject
    // they were erased from, else the one they touch, or make a new one. False when nothing was
    // added.
    bool restore(const QList<QPointF> &stroke, double diameter);

    // Adds, as a new subject, the figure a graph cut finds in `box` (frame pixels), seeded by the box
    // and by the subjects already found there: one lying inside the box is taken as part of the
    // figure, one reaching far beyond it as probably not. False when nothing is found.
    bool addInBox(const QRect &box);
    // Adds, as a new subject, the subject of `window` (the mask of the frame's part whose top-left
    // corner is `origin`, of the same pixels) shown at `point`, in frame pixels. False when none is
    // shown there or it adds nothing.
    bool addFromWindow(const SubjectMask &window, QPoint origin, QPoint point);

    SubjectMask result() const;

private:
    struct Planes;
    std::unique_ptr<Planes> m;
};
