#include "AnnotationTool.h"

#include <QCoreApplication>

QList<AnnotationTool> AnnotationTools::all()
{
    return {AnnotationTool::Select, AnnotationTool::Arrow, AnnotationTool::Line, AnnotationTool::Circle};
}

std::optional<AnnotationKind> AnnotationTools::kind(AnnotationTool tool)
{
    switch (tool) {
    case AnnotationTool::Select:
        return std::nullopt;
    case AnnotationTool::Arrow:
        return AnnotationKind::Arrow;
    case AnnotationTool::Line:
        return AnnotationKind::Line;
    case AnnotationTool::Circle:
        return AnnotationKind::Circle;
    }
    return std::nullopt;
}

QString AnnotationTools::displayName(AnnotationTool tool)
{
    switch (tool) {
    case AnnotationTool::Select:
        return QCoreApplication::translate("AnnotationTool", "Sélection");
    case AnnotationTool::Arrow:
        return QCoreApplication::translate("AnnotationTool", "Flèche");
    case AnnotationTool::Line:
        return QCoreApplication::translate("AnnotationTool", "Ligne");
    case AnnotationTool::Circle:
        return QCoreApplication::translate("AnnotationTool", "Cercle");
    }
    return {};
}

QString AnnotationTools::systemImage(AnnotationTool tool)
{
    switch (tool) {
    case AnnotationTool::Select:
        return QStringLiteral("cursorarrow");
    case AnnotationTool::Arrow:
        return QStringLiteral("arrow.up.right");
    case AnnotationTool::Line:
        return QStringLiteral("line.diagonal");
    case AnnotationTool::Circle:
        return QStringLiteral("circle");
    }
    return {};
}
