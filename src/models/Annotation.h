#pragma once

#include "models/AnnotationKind.h"

#include <QJsonObject>
#include <QList>
#include <QPointF>
#include <QUuid>

#include <optional>

// One drawing on a captured frame. Points are in normalised image coordinates: (0, 0) is the
// top-left corner, (1, 1) the bottom-right; y grows downwards. Values outside [0, 1] are legal.
// The line width is a fraction of the image width.
struct Annotation
{
    QUuid id = QUuid::createUuid();
    AnnotationKind kind = AnnotationKind::Arrow;
    QPointF start;
    QPointF end;
    double r = 1.0;
    double g = 0.0;
    double b = 0.0;
    double a = 1.0;
    double lineWidth = 0.006;

    QJsonObject toJson() const;
    // Strict: every member is required and typed; on failure `error` describes the first problem.
    static std::optional<Annotation> fromJson(const QJsonValue &json, QString *error = nullptr);

    // Exact comparison of all nine fields (QPointF's own == is fuzzy).
    friend bool operator==(const Annotation &x, const Annotation &y)
    {
        return x.id == y.id && x.kind == y.kind && x.start.x() == y.start.x() && x.start.y() == y.start.y() &&
               x.end.x() == y.end.x() && x.end.y() == y.end.y() && x.r == y.r && x.g == y.g && x.b == y.b &&
               x.a == y.a && x.lineWidth == y.lineWidth;
    }
};

size_t qHash(const Annotation &annotation, size_t seed = 0);
