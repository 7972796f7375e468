#include "AnnotationShapes.h"

#include "models/ArrowShape.h"
#include "models/CircleShape.h"
#include "models/HighlighterShape.h"
#include "models/LineShape.h"
#include "models/PenShape.h"
#include "models/RectangleShape.h"
#include "models/UnreadShape.h"

#include <QHash>

namespace {

const QHash<QString, const AnnotationShape *> &byName()
{
    static const QHash<QString, const AnnotationShape *> table = [] {
        QHash<QString, const AnnotationShape *> names;
        for (const AnnotationShape *shape : AnnotationShapes::all())
            names.insert(shape->kind(), shape);
        return names;
    }();
    return table;
}

} // namespace

const QList<const AnnotationShape *> &AnnotationShapes::all()
{
    // The registration of every kind: one line each.
    static const ArrowShape arrow;
    static const LineShape line;
    static const CircleShape circle;
    static const RectangleShape rectangle;
    static const PenShape pen;
    static const HighlighterShape highlighter;
    static const QList<const AnnotationShape *> registered{&arrow,     &line, &circle,
                                                           &rectangle, &pen,  &highlighter};
    return registered;
}

const AnnotationShape *AnnotationShapes::find(const QString &kind)
{
    return byName().value(kind, nullptr);
}

const AnnotationShape &AnnotationShapes::shapeOf(const QString &kind)
{
    static const UnreadShape unread;
    const AnnotationShape *shape = find(kind);
    return shape ? *shape : unread;
}
