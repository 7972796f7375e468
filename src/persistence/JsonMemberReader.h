#pragma once

#include "models/JsonObjectReader.h"
#include "persistence/JsonIntegerTexts.h"

#include <QByteArray>

#include <cstdint>
#include <optional>

// The strict member reader of project files: that of every JSON object, with the integers read from
// their literal text and base64 members.
class JsonMemberReader : public JsonObjectReader
{
public:
    // `integers` holds the literal texts of integer members, found at `integerPlace` for this object.
    JsonMemberReader(const QJsonObject &object, const QString &location, const JsonIntegerTexts &integers,
                     std::optional<JsonIntegerTexts::Place> integerPlace, QString *error);

    // Integers are read from their literal text, so every 64-bit value is exact; an integer
    // written as 2.0 or 2e0 counts, 2.5 does not.
    std::int64_t int64(const char *name);
    std::int32_t int32(const char *name);
    // Standard base64 with padding; absent when the member is missing or null.
    std::optional<QByteArray> optionalBase64(const char *name);

private:
    std::optional<std::int64_t> integer(const char *name);

    const JsonIntegerTexts &m_integers;
    std::optional<JsonIntegerTexts::Place> m_integerPlace;
};
