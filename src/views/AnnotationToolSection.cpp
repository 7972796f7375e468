#include "AnnotationToolSection.h"

#include "AnnotationSelectionTool.h"
#include "ShapeDrawingTool.h"
#include "TextTool.h"
#include "models/AnnotationShape.h"
#include "models/AnnotationShapes.h"

QList<CanvasTool *> AnnotationToolSection::make()
{
    QList<CanvasTool *> tools{new AnnotationSelectionTool};
    for (const AnnotationShape *shape : AnnotationShapes::all()) {
        if (shape->holdsText())
            tools.append(new TextTool(*shape));
        else
            tools.append(new ShapeDrawingTool(*shape));
    }
    return tools;
}
