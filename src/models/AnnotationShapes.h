#pragma once

#include "models/Annotation.h"

#include <QList>
#include <QString>

class AnnotationShape;

// The kinds of annotation this version knows, each registered under its name: the renderer, the
// canvas, the tool picker and the project file find a kind's behaviour here.
namespace AnnotationShapes {

// Every kind, in the order of the tool picker.
const QList<const AnnotationShape *> &all();
// The kind registered under `kind`, or null.
const AnnotationShape *find(const QString &kind);
// The same, with the behaviour of an unread annotation for a kind that is not registered.
const AnnotationShape &shapeOf(const QString &kind);

// The rank of each annotation of `annotations` among those of its kind, in list order, from 1.
QList<int> ranks(const QList<Annotation> &annotations);

} // namespace AnnotationShapes
