#include "JsonObjectReader.h"

#include <QCoreApplication>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("JsonObjectReader", text);
}

bool isPair(const QJsonValue &value)
{
    if (!value.isArray())
        return false;
    const QJsonArray array = value.toArray();
    return array.size() == 2 && array.at(0).isDouble() && array.at(1).isDouble();
}

QPointF pairToPoint(const QJsonValue &value)
{
    const QJsonArray array = value.toArray();
    return {array.at(0).toDouble(), array.at(1).toDouble()};
}

} // namespace

JsonObjectReader::JsonObjectReader(const QJsonObject &object, const QString &location, QString *error)
    : m_object(object), m_location(location), m_error(error)
{}

QString JsonObjectReader::string(const char *name)
{
    const QJsonValue value = required(name);
    if (m_ok && !value.isString())
        failMember(name, tr("n'est pas un texte"));
    return value.toString();
}

bool JsonObjectReader::boolean(const char *name)
{
    const QJsonValue value = required(name);
    if (m_ok && !value.isBool())
        failMember(name, tr("n'est ni true ni false"));
    return value.toBool();
}

double JsonObjectReader::number(const char *name)
{
    const QJsonValue value = required(name);
    if (m_ok && !value.isDouble())
        failMember(name, tr("n'est pas un nombre"));
    return value.toDouble();
}

QJsonObject JsonObjectReader::object(const char *name)
{
    const QJsonValue value = required(name);
    if (m_ok && !value.isObject())
        failMember(name, tr("n'est pas un objet"));
    return value.toObject();
}

QJsonArray JsonObjectReader::array(const char *name)
{
    const QJsonValue value = required(name);
    if (m_ok && !value.isArray())
        failMember(name, tr("n'est pas un tableau"));
    return value.toArray();
}

QPointF JsonObjectReader::point(const char *name)
{
    const QJsonValue value = required(name);
    if (!m_ok)
        return {};
    if (!isPair(value)) {
        failMember(name, tr("n'est pas une paire de nombres"));
        return {};
    }
    return pairToPoint(value);
}

QList<QPointF> JsonObjectReader::points(const char *name)
{
    const QJsonValue value = required(name);
    if (!m_ok)
        return {};
    const QJsonArray array = value.toArray();
    if (!value.isArray() || array.isEmpty()) {
        failMember(name, tr("n'est pas une liste non vide de points"));
        return {};
    }
    QList<QPointF> points;
    points.reserve(array.size());
    for (qsizetype i = 0; i < array.size(); ++i) {
        const QJsonValue element = array.at(i);
        if (!isPair(element)) {
            fail(tr("l'élément %1 du membre « %2 » n'est pas une paire de nombres")
                     .arg(i)
                     .arg(QLatin1String(name)));
            return {};
        }
        points.append(pairToPoint(element));
    }
    return points;
}

std::optional<QJsonArray> JsonObjectReader::optionalArray(const char *name)
{
    const QJsonValue value = optional(name);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (!value.isArray()) {
        failMember(name, tr("n'est pas un tableau"));
        return std::nullopt;
    }
    return value.toArray();
}

std::optional<QString> JsonObjectReader::optionalString(const char *name)
{
    const QJsonValue value = optional(name);
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (!value.isString()) {
        failMember(name, tr("n'est pas un texte"));
        return std::nullopt;
    }
    return value.toString();
}

QString JsonObjectReader::placeOf(const char *name) const
{
    return m_location.isEmpty() ? QString::fromLatin1(name)
                                : m_location + QLatin1Char('.') + QLatin1String(name);
}

QString JsonObjectReader::placeOf(const char *name, qsizetype index) const
{
    return placeOf(name) + QLatin1Char('[') + QString::number(index) + QLatin1Char(']');
}

void JsonObjectReader::fail(const QString &message)
{
    if (m_ok && m_error)
        *m_error = m_location.isEmpty() ? message : m_location + QStringLiteral(" : ") + message;
    m_ok = false;
}

QJsonValue JsonObjectReader::required(const char *name)
{
    QJsonValue value = m_object.value(QLatin1String(name));
    if (value.isUndefined())
        failMember(name, tr("est absent"));
    return value;
}

QJsonValue JsonObjectReader::optional(const char *name) const
{
    return m_object.value(QLatin1String(name));
}

void JsonObjectReader::failMember(const char *name, const QString &problem)
{
    fail(tr("le membre « %1 » %2").arg(QLatin1String(name), problem));
}
