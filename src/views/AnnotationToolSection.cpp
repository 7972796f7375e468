#include "AnnotationToolSection.h"

#include "AnnotationSelectionTool.h"
#include "ShapeDrawingTool.h"
#include "models/AnnotationShapes.h"

QList<CanvasTool *> AnnotationToolSection::make()
{
    QList<CanvasTool *> tools{new AnnotationSelectionTool};
    for (const AnnotationShape *shape : AnnotationShapes::all())
        tools.append(new ShapeDrawingTool(*shape));
    return tools;
}
