#pragma once

#include "models/Annotation.h"

#include <QColor>
#include <QList>
#include <QPainterPath>
#include <QPen>
#include <QPointF>
#include <QSizeF>
#include <QString>

class AnnotationMembers;
class JsonObjectReader;
class QPainter;

// What one kind of annotation is and does: its name in files, its tool, how a drag draws one, its
// handles, how it is hit, moved and painted, and the members it is stored with. One object per kind,
// registered under its name (AnnotationShapes); the annotation record holds the data, the kind reads
// it. The same painting serves the canvas and the export, so what is drawn is what is exported.
//
// The defaults are those of a shape given by two points (`start` and `end`) stroked in its colour
// and line width; a kind overrides what differs.
class AnnotationShape
{
public:
    virtual ~AnnotationShape() = default;

    // The name it is stored under ("arrow").
    virtual QString kind() const = 0;
    // Its tool's name, shown as help text ("Flèche"), and its symbol in the tool picker.
    virtual QString displayName() const = 0;
    virtual QString systemImage() const = 0;

    // --- Drawing one: a drag from where it was pressed -------------------------------------------

    // A new annotation of this kind pressed at `at` (on the picture, normalised); its colour and
    // width are the caller's.
    virtual Annotation begin(const QPointF &at) const;
    // Whether a click, without a drag, makes one (a marker); else it takes a drag.
    virtual bool madeByClick() const { return false; }
    // Whether its content is words typed in place (a text), rather than drawn.
    virtual bool holdsText() const { return false; }
    // The drag has gone on to `to`.
    virtual void extend(Annotation &draft, const QPointF &to) const;

    // --- Geometry ----------------------------------------------------------------------------------

    // The points the user can take to reshape it, normalised: by default `start` and `end` (the ends
    // of a line or an arrow); a kind drawn in a box gives its corners (AnnotationGeometry::boxCorners).
    // The selection tool shows them on the selected annotation and drags them, one undo step per drag.
    // None: it cannot be reshaped.
    virtual QList<QPointF> handles(const Annotation &annotation) const;
    // Handle `index` (of handles()) taken to `to` (on the picture, clamped to it); the handles keep
    // their indices while one is dragged, so that a drag may go on from the annotation as it began.
    virtual void moveHandle(Annotation &annotation, qsizetype index, const QPointF &to) const;
    // Every point shifted by `offset`.
    virtual void translate(Annotation &annotation, const QPointF &offset) const;
    // Gives it the width setting `lineWidth` (a fraction of the picture's width); a kind whose
    // extent follows it (a text) takes its new extent.
    virtual void setLineWidth(Annotation &annotation, double lineWidth) const;
    // Distance from `p` to what a press picks the annotation by (its outline for most kinds), in
    // normalised units; infinite for what cannot be picked.
    virtual double distance(const Annotation &annotation, const QPointF &p) const = 0;

    // --- Painting ----------------------------------------------------------------------------------

    // What is stroked (or filled), on a surface of `size` pixels.
    virtual QPainterPath path(const Annotation &annotation, const QSizeF &size) const = 0;
    // Paints it in `color` (its own colour, in the surface's colour space).
    virtual void paint(QPainter &painter, const Annotation &annotation, const QSizeF &size,
                       const QColor &color) const;
    // Paints it as the `rank`-th annotation of its kind in its frame's drawing order, counted from 1:
    // the number a marker shows. By default as paint() does.
    virtual void paintRanked(QPainter &painter, const Annotation &annotation, const QSizeF &size,
                             const QColor &color, int rank) const;
    // Whether its painting reads the picture under it (the surface painted so far): it then paints
    // only on an image, and the canvas shows it over the picture rendered with the annotations.
    virtual bool readsPicture() const { return false; }
    // A row of a surface of `size` pixels near `row` across which it may be painted in two bands
    // apart: any row for what paints from its own outline; for what reads the picture, one that
    // parts what it reads.
    virtual int bandEdgeNear(int row, const QSizeF &size) const;
    // The mark of the selection, painted under it: its path stroked two points wider on each side.
    virtual void paintHalo(QPainter &painter, const Annotation &annotation, const QSizeF &size,
                           const QColor &accent) const;

    // --- Storage -----------------------------------------------------------------------------------

    // Adds the members of its kind: all but "id" and "kind".
    virtual void write(const Annotation &annotation, AnnotationMembers &members) const;
    // Reads them; a failure is left in the reader.
    virtual void read(JsonObjectReader &reader, Annotation &annotation) const;

protected:
    // The pen of a stroke of its width in `color`, round caps and joins.
    static QPen strokePen(const Annotation &annotation, const QSizeF &size, const QColor &color);
    // Colour ("r", "g", "b", "a") and width ("lineWidth").
    static void writeStyle(const Annotation &annotation, AnnotationMembers &members);
    static void readStyle(JsonObjectReader &reader, Annotation &annotation);
};
