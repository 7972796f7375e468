#pragma once

#include "persistence/JsonIntegerTexts.h"

#include <QByteArray>
#include <QJsonArray>
#include <QJsonObject>
#include <QString>

#include <cstdint>
#include <optional>

// Reads the members of one JSON object strictly: a missing member or a value of the wrong type is
// a failure, described in French with its place in the document, such as
// « groups[1].frames[0] : le membre « timeScale » est absent ». Only the first failure is kept; once a
// reader has failed, ok() stays false and the values it returns are meaningless.
class JsonMemberReader
{
public:
    // `location` is the place of the object itself: empty for the root, else e.g. "groups[1]".
    // `integers` holds the literal texts of integer members, found at `integerPlace` for this object.
    JsonMemberReader(const QJsonObject &object, const QString &location, const JsonIntegerTexts &integers,
                     std::optional<JsonIntegerTexts::Place> integerPlace, QString *error);

    bool ok() const { return m_ok; }

    QString string(const char *name);
    bool boolean(const char *name);
    double number(const char *name);
    // Integers are read from their literal text, so every 64-bit value is exact; an integer
    // written as 2.0 or 2e0 counts, 2.5 does not.
    std::int64_t int64(const char *name);
    std::int32_t int32(const char *name);
    QJsonObject object(const char *name);
    QJsonArray array(const char *name);
    // Absent when the member is missing or null.
    std::optional<QJsonArray> optionalArray(const char *name);
    // Absent when the member is missing or null.
    std::optional<QString> optionalString(const char *name);
    // Standard base64 with padding; absent when the member is missing or null.
    std::optional<QByteArray> optionalBase64(const char *name);

    // The place of a member ("groups[1].frames") and of one of its elements ("groups[1].frames[0]").
    QString placeOf(const char *name) const;
    QString placeOf(const char *name, qsizetype index) const;

    // Records a failure at this object's place.
    void fail(const QString &message);

private:
    QJsonValue required(const char *name);
    std::optional<std::int64_t> integer(const char *name);
    void failMember(const char *name, const QString &problem);

    const QJsonObject &m_object;
    QString m_location;
    const JsonIntegerTexts &m_integers;
    std::optional<JsonIntegerTexts::Place> m_integerPlace;
    QString *m_error;
    bool m_ok = true;
};
