#include "PenShape.h"

#include <QCoreApplication>

QString PenShape::displayName() const
{
    return QCoreApplication::translate("AnnotationTool", "Crayon");
}
