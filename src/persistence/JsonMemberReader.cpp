#include "JsonMemberReader.h"

#include <QCoreApplication>

#include <limits>

namespace {

QString tr(const char *text)
{
    return QCoreApplication::translate("JsonMemberReader", text);
}

} // namespace

JsonMemberReader::JsonMemberReader(const QJsonObject &object, const QString &location,
                                   const JsonIntegerTexts &integers,
                                   std::optional<JsonIntegerTexts::Place> integerPlace, QString *error)
    : m_object(object)
    , m_location(location)
    , m_integers(integers)
    , m_integerPlace(integerPlace)
    , m_error(error)
{}

QString JsonMemberReader::string(const char *name)
{
    const QJsonValue value = required(name);
    if (m_ok && !value.isString())
        failMember(name, tr("n'est pas un texte"));
    return value.toString();
}

bool JsonMemberReader::boolean(const char *name)
{
    const QJsonValue value = required(name);
    if (m_ok && !value.isBool())
        failMember(name, tr("n'est ni true ni false"));
    return value.toBool();
}

double JsonMemberReader::number(const char *name)
{
    const QJsonValue value = required(name);
    if (m_ok && !value.isDouble())
        failMember(name, tr("n'est pas un nombre"));
    return value.toDouble();
}

std::int64_t JsonMemberReader::int64(const char *name)
{
    return integer(name).value_or(0);
}

std::int32_t JsonMemberReader::int32(const char *name)
{
    const std::optional<std::int64_t> value = integer(name);
    if (!value)
        return 0;
    if (*value < std::numeric_limits<std::int32_t>::min() ||
        *value > std::numeric_limits<std::int32_t>::max()) {
        failMember(name, tr("ne tient pas sur 32 bits"));
        return 0;
    }
    return std::int32_t(*value);
}

QJsonObject JsonMemberReader::object(const char *name)
{
    const QJsonValue value = required(name);
    if (m_ok && !value.isObject())
        failMember(name, tr("n'est pas un objet"));
    return value.toObject();
}

QJsonArray JsonMemberReader::array(const char *name)
{
    const QJsonValue value = required(name);
    if (m_ok && !value.isArray())
        failMember(name, tr("n'est pas un tableau"));
    return value.toArray();
}

std::optional<QJsonArray> JsonMemberReader::optionalArray(const char *name)
{
    const QJsonValue value = m_object.value(QLatin1String(name));
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (!value.isArray()) {
        failMember(name, tr("n'est pas un tableau"));
        return std::nullopt;
    }
    return value.toArray();
}

std::optional<QString> JsonMemberReader::optionalString(const char *name)
{
    const QJsonValue value = m_object.value(QLatin1String(name));
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (!value.isString()) {
        failMember(name, tr("n'est pas un texte"));
        return std::nullopt;
    }
    return value.toString();
}

std::optional<QByteArray> JsonMemberReader::optionalBase64(const char *name)
{
    const QJsonValue value = m_object.value(QLatin1String(name));
    if (value.isUndefined() || value.isNull())
        return std::nullopt;
    if (!value.isString()) {
        failMember(name, tr("n'est pas un texte"));
        return std::nullopt;
    }
    // Characters beyond Latin-1 turn into '?', which the strict decoding rejects. That decoding
    // still lets a missing padding through; standard base64 comes in groups of four characters.
    const QByteArray text = value.toString().toLatin1();
    const QByteArray::FromBase64Result decoded =
        QByteArray::fromBase64Encoding(text, QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded || text.size() % 4 != 0) {
        failMember(name, tr("n'est pas du base64 valide"));
        return std::nullopt;
    }
    return decoded.decoded;
}

QString JsonMemberReader::placeOf(const char *name) const
{
    return m_location.isEmpty() ? QString::fromLatin1(name)
                                : m_location + QLatin1Char('.') + QLatin1String(name);
}

QString JsonMemberReader::placeOf(const char *name, qsizetype index) const
{
    return placeOf(name) + QLatin1Char('[') + QString::number(index) + QLatin1Char(']');
}

void JsonMemberReader::fail(const QString &message)
{
    if (m_ok && m_error)
        *m_error = m_location.isEmpty() ? message : m_location + QStringLiteral(" : ") + message;
    m_ok = false;
}

QJsonValue JsonMemberReader::required(const char *name)
{
    QJsonValue value = m_object.value(QLatin1String(name));
    if (value.isUndefined())
        failMember(name, tr("est absent"));
    return value;
}

std::optional<std::int64_t> JsonMemberReader::integer(const char *name)
{
    const QJsonValue value = required(name);
    if (!m_ok)
        return std::nullopt;
    if (!value.isDouble()) {
        failMember(name, tr("n'est pas un nombre"));
        return std::nullopt;
    }
    const QByteArrayView text =
        m_integerPlace ? m_integers.text(*m_integerPlace, QByteArrayView(name)) : QByteArrayView();
    std::int64_t result = 0;
    JsonIntegerTexts::Problem problem = JsonIntegerTexts::Problem::None;
    if (!text.isEmpty()) {
        problem = JsonIntegerTexts::toInt64(text, &result);
    } else {
        // A plain integer that QJsonDocument holds exactly. Comparing with two different
        // defaults also catches anything else it could not give as an integer.
        result = value.toInteger(0);
        if (result != value.toInteger(1))
            problem = JsonIntegerTexts::Problem::NotAnInteger;
    }
    switch (problem) {
    case JsonIntegerTexts::Problem::None:
        return result;
    case JsonIntegerTexts::Problem::NotAnInteger:
        failMember(name, tr("n'est pas un nombre entier"));
        break;
    case JsonIntegerTexts::Problem::OutOfRange:
        failMember(name, tr("ne tient pas sur 64 bits"));
        break;
    }
    return std::nullopt;
}

void JsonMemberReader::failMember(const char *name, const QString &problem)
{
    fail(tr("le membre « %1 » %2").arg(QLatin1String(name), problem));
}
