#pragma once

#include <QList>
#include <QString>

#include <optional>

// The drawing style applied to a cut-out; stored by its raw value.
enum class FilterStyle { None, Sketch, Comic, Poster };

namespace FilterStyles {

// In the order the style picker shows them.
QList<FilterStyle> all();
QString rawValue(FilterStyle style);
// No style for a text that is none of the four raw values (the comparison is case-sensitive).
std::optional<FilterStyle> fromRawValue(const QString &raw);
QString displayName(FilterStyle style);

} // namespace FilterStyles
