#include "AnnotationShapes.h"

#include "models/ArrowShape.h"
#include "models/CircleShape.h"
#include "models/HighlighterShape.h"
#include "models/LineShape.h"
#include "models/MarkerShape.h"
#include "models/PenShape.h"
#include "models/PixelateShape.h"
#include "models/RectangleShape.h"
#include "models/TextShape.h"
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
    static const TextShape text;
    static const MarkerShape marker;
    static const PixelateShape pixelate;
    static const QList<const AnnotationShape *> registered{&arrow,       &line, &circle, &rectangle, &pen,
                                                           &highlighter, &text, &marker, &pixelate};
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

QList<int> AnnotationShapes::ranks(const QList<Annotation> &annotations)
{
    QList<int> ranks;
    ranks.reserve(annotations.size());
    QHash<QString, int> counted;
    for (const Annotation &annotation : annotations)
        ranks.append(++counted[annotation.kind]);
    return ranks;
}
