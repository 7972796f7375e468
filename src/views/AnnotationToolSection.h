#pragma once

#include <QList>

class CanvasTool;

// The annotation tools of a canvas, in the order of the tool picker: the selection, then one drawing
// tool per kind of annotation.
namespace AnnotationToolSection {

QList<CanvasTool *> make();

} // namespace AnnotationToolSection
