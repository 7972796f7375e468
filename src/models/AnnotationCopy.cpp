#include "AnnotationCopy.h"

#include "models/AnnotationShape.h"

#include <algorithm>

namespace {

bool samePoint(const QPointF &p, const QPointF &q)
{
    return p.x() == q.x() && p.y() == q.y();
}

} // namespace

bool AnnotationCopy::sameShape(const Annotation &x, const Annotation &y)
{
    return x.kind == y.kind && samePoint(x.start, y.start) && samePoint(x.end, y.end) &&
           std::equal(x.points.begin(), x.points.end(), y.points.begin(), y.points.end(), samePoint);
}

Annotation AnnotationCopy::placed(const Annotation &annotation, const QList<Annotation> &existing)
{
    Annotation copy = annotation;
    copy.id = QUuid::createUuid();
    // Bounded, so that a frame full of copies cannot hold the window.
    for (qsizetype tries = 0; tries <= existing.size(); ++tries) {
        const bool covered = std::any_of(existing.cbegin(), existing.cend(),
                                         [&copy](const Annotation &other) { return sameShape(copy, other); });
        if (!covered)
            break;
        copy.shape().translate(copy, step);
    }
    return copy;
}
