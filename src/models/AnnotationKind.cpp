#include "AnnotationKind.h"

QList<AnnotationKind> AnnotationKinds::all()
{
    return {AnnotationKind::Arrow, AnnotationKind::Line, AnnotationKind::Circle};
}

QString AnnotationKinds::rawValue(AnnotationKind kind)
{
    switch (kind) {
    case AnnotationKind::Arrow:
        return QStringLiteral("arrow");
    case AnnotationKind::Line:
        return QStringLiteral("line");
    case AnnotationKind::Circle:
        return QStringLiteral("circle");
    }
    return {};
}

std::optional<AnnotationKind> AnnotationKinds::fromRawValue(const QString &raw)
{
    for (AnnotationKind kind : all()) {
        if (rawValue(kind) == raw)
            return kind;
    }
    return std::nullopt;
}
