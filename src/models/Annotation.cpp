#include "Annotation.h"

#include <QCoreApplication>
#include <QHashFunctions>
#include <QJsonArray>

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

QJsonArray pointToJson(const QPointF &point)
{
    return QJsonArray{point.x(), point.y()};
}

// Reports the first problem of a member, naming it, so that a damaged project file can be explained.
class Reader
{
public:
    Reader(const QJsonObject &object, QString *error) : m_object(object), m_error(error) {}

    bool ok() const { return m_ok; }

    QJsonValue member(const char *name)
    {
        QJsonValue value = m_object.value(QLatin1String(name));
        if (value.isUndefined())
            fail(tr("le membre « %1 » est absent").arg(QLatin1String(name)));
        return value;
    }

    double number(const char *name)
    {
        const QJsonValue value = member(name);
        if (m_ok && !value.isDouble())
            fail(tr("le membre « %1 » n'est pas un nombre").arg(QLatin1String(name)));
        return value.toDouble();
    }

    QString string(const char *name)
    {
        const QJsonValue value = member(name);
        if (m_ok && !value.isString())
            fail(tr("le membre « %1 » n'est pas un texte").arg(QLatin1String(name)));
        return value.toString();
    }

    QPointF point(const char *name)
    {
        const QJsonValue value = member(name);
        if (!m_ok)
            return {};
        const QJsonArray array = value.toArray();
        if (!value.isArray() || array.size() != 2 || !array.at(0).isDouble() || !array.at(1).isDouble()) {
            fail(tr("le membre « %1 » n'est pas une paire de nombres").arg(QLatin1String(name)));
            return {};
        }
        return {array.at(0).toDouble(), array.at(1).toDouble()};
    }

    void fail(const QString &message)
    {
        if (m_ok && m_error)
            *m_error = message;
        m_ok = false;
    }

private:
    const QJsonObject &m_object;
    QString *m_error;
    bool m_ok = true;
};

} // namespace

QJsonObject Annotation::toJson() const
{
    return QJsonObject{
        {QStringLiteral("id"), id.toString(QUuid::WithoutBraces).toUpper()},
        {QStringLiteral("kind"), AnnotationKinds::rawValue(kind)},
        {QStringLiteral("start"), pointToJson(start)},
        {QStringLiteral("end"), pointToJson(end)},
        {QStringLiteral("r"), r},
        {QStringLiteral("g"), g},
        {QStringLiteral("b"), b},
        {QStringLiteral("a"), a},
        {QStringLiteral("lineWidth"), lineWidth},
    };
}

std::optional<Annotation> Annotation::fromJson(const QJsonValue &json, QString *error)
{
    if (!json.isObject()) {
        if (error)
            *error = tr("ce n'est pas un objet JSON");
        return std::nullopt;
    }
    const QJsonObject object = json.toObject();
    Reader reader(object, error);
    Annotation annotation;

    const QString idText = reader.string("id");
    if (reader.ok()) {
        // The nil UUID is a UUID like any other: only the form is checked.
        if (isUuidText(idText))
            annotation.id = QUuid::fromString(idText);
        else
            reader.fail(tr("l'identifiant « %1 » n'est pas un UUID").arg(shortened(idText)));
    }
    const QString kindText = reader.string("kind");
    if (reader.ok()) {
        const std::optional<AnnotationKind> kind = AnnotationKinds::fromRawValue(kindText);
        if (kind)
            annotation.kind = *kind;
        else
            reader.fail(tr("le type « %1 » n'est ni arrow, ni line, ni circle").arg(shortened(kindText)));
    }
    annotation.start = reader.point("start");
    annotation.end = reader.point("end");
    annotation.r = reader.number("r");
    annotation.g = reader.number("g");
    annotation.b = reader.number("b");
    annotation.a = reader.number("a");
    annotation.lineWidth = reader.number("lineWidth");

    if (!reader.ok())
        return std::nullopt;
    return annotation;
}

size_t qHash(const Annotation &annotation, size_t seed)
{
    return qHashMulti(seed, annotation.id, int(annotation.kind), annotation.start.x(), annotation.start.y(),
                      annotation.end.x(), annotation.end.y(), annotation.r, annotation.g, annotation.b,
                      annotation.a, annotation.lineWidth);
}
