#include "AnnotationToolSection.h"

#include "AnnotationSelectionTool.h"
#include "ShapeDrawingTool.h"

QList<CanvasTool *> AnnotationToolSection::make()
{
    QList<CanvasTool *> tools;
    for (AnnotationTool tool : AnnotationTools::all()) {
        if (AnnotationTools::kind(tool))
            tools.append(new ShapeDrawingTool(tool));
        else
            tools.append(new AnnotationSelectionTool);
    }
    return tools;
}
