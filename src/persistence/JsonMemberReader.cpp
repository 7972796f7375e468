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
    : JsonObjectReader(object, location, error), m_integers(integers), m_integerPlace(integerPlace)
{}

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

std::optional<QByteArray> JsonMemberReader::optionalBase64(const char *name)
{
    const QJsonValue value = optional(name);
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

std::optional<std::int64_t> JsonMemberReader::integer(const char *name)
{
    const QJsonValue value = required(name);
    if (!ok())
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
