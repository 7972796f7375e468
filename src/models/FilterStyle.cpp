#include "FilterStyle.h"

#include <QCoreApplication>

QList<FilterStyle> FilterStyles::all()
{
    return {FilterStyle::None, FilterStyle::Sketch, FilterStyle::Comic, FilterStyle::Poster};
}

QString FilterStyles::rawValue(FilterStyle style)
{
    switch (style) {
    case FilterStyle::None:
        return QStringLiteral("none");
    case FilterStyle::Sketch:
        return QStringLiteral("sketch");
    case FilterStyle::Comic:
        return QStringLiteral("comic");
    case FilterStyle::Poster:
        return QStringLiteral("poster");
    }
    return {};
}

std::optional<FilterStyle> FilterStyles::fromRawValue(const QString &raw)
{
    for (FilterStyle style : all()) {
        if (rawValue(style) == raw)
            return style;
    }
    return std::nullopt;
}

QString FilterStyles::displayName(FilterStyle style)
{
    switch (style) {
    case FilterStyle::None:
        return QCoreApplication::translate("FilterStyle", "Aucun");
    case FilterStyle::Sketch:
        return QCoreApplication::translate("FilterStyle", "Croquis");
    case FilterStyle::Comic:
        return QCoreApplication::translate("FilterStyle", "BD");
    case FilterStyle::Poster:
        return QCoreApplication::translate("FilterStyle", "Postérisation");
    }
    return {};
}
