#pragma once

#include <QList>
#include <QString>

#include <optional>

// The shape of an annotation; stored by its raw value.
enum class AnnotationKind { Arrow, Line, Circle };

namespace AnnotationKinds {

QList<AnnotationKind> all();
QString rawValue(AnnotationKind kind);
// No kind for a text that is none of "arrow", "line" and "circle".
std::optional<AnnotationKind> fromRawValue(const QString &raw);

} // namespace AnnotationKinds
