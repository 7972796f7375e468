#include "Annotation.h"

#include "models/AnnotationMembers.h"
#include "models/AnnotationShape.h"
#include "models/AnnotationShapes.h"
#include "models/JsonObjectReader.h"

#include <QCoreApplication>
#include <QHashFunctions>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("Annotation", text);
}

// A text from the file as quoted in a message: at most 40 characters, so that a damaged file
// cannot fill the screen.
QString shortened(const QString &text)
{
    constexpr qsizetype longest = 40;
    return text.size() <= longest ? text : text.left(longest) + QChar(0x2026);
}

bool isAsciiHexDigit(char16_t c)
{
    return (c >= u'0' && c <= u'9') || (c >= u'a' && c <= u'f') || (c >= u'A' && c <= u'F');
}

// The 36-character form 8-4-4-4-12 of hexadecimal digits, in either case.
bool isUuidText(const QString &text)
{
    if (text.size() != 36)
        return false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (c != QLatin1Char('-'))
                return false;
        } else if (!isAsciiHexDigit(c.unicode())) {
            return false;
        }
    }
    return true;
}

bool samePoint(const QPointF &p, const QPointF &q)
{
    return p.x() == q.x() && p.y() == q.y();
}

} // namespace

const AnnotationShape &Annotation::shape() const
{
    return AnnotationShapes::shapeOf(kind);
}

AnnotationMembers Annotation::members() const
{
    AnnotationMembers members;
    members.add(QLatin1StringView("id"), id.toString(QUuid::WithoutBraces).toUpper());
    members.add(QLatin1StringView("kind"), kind);
    shape().write(*this, members);
    return members;
}

QJsonObject Annotation::toJson() const
{
    return isUnread() ? unread : members().toJson();
}

std::optional<Annotation> Annotation::fromJson(const QJsonValue &json, QString *error)
{
    if (!json.isObject()) {
        if (error)
            *error = tr("ce n'est pas un objet JSON");
        return std::nullopt;
    }
    const QJsonObject object = json.toObject();
    JsonObjectReader reader(object, QString(), error);
    Annotation annotation;

    const QString idText = reader.string("id");
    if (reader.ok()) {
        // The nil UUID is a UUID like any other: only the form is checked.
        if (isUuidText(idText))
            annotation.id = QUuid::fromString(idText);
        else
            reader.fail(tr("l'identifiant « %1 » n'est pas un UUID").arg(shortened(idText)));
    }
    annotation.kind = reader.string("kind");
    if (!reader.ok())
        return std::nullopt;
    const AnnotationShape *shape = AnnotationShapes::find(annotation.kind);
    if (!shape) {
        annotation.unread = object;
        return annotation;
    }
    shape->read(reader, annotation);
    if (!reader.ok())
        return std::nullopt;
    return annotation;
}

bool operator==(const Annotation &x, const Annotation &y)
{
    return x.id == y.id && x.kind == y.kind && samePoint(x.start, y.start) && samePoint(x.end, y.end) &&
           std::equal(x.points.begin(), x.points.end(), y.points.begin(), y.points.end(), samePoint) &&
           x.r == y.r && x.g == y.g && x.b == y.b && x.a == y.a && x.lineWidth == y.lineWidth &&
           x.filled == y.filled && x.text == y.text && x.unread == y.unread;
}

size_t qHash(const Annotation &annotation, size_t seed)
{
    seed = qHashMulti(seed, annotation.id, annotation.kind, annotation.start.x(), annotation.start.y(),
                      annotation.end.x(), annotation.end.y(), annotation.r, annotation.g, annotation.b,
                      annotation.a, annotation.lineWidth, annotation.filled, annotation.text);
    for (const QPointF &point : annotation.points)
        seed = qHashMulti(seed, point.x(), point.y());
    return seed;
}
