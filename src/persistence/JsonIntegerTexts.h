#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QList>
#include <QString>

#include <cstdint>

// QJsonDocument keeps a number exactly only when its text is a plain integer that fits 64 bits;
// any other notation becomes a double, so 9007199254740993.0 reads back as ...992 and
// -9223372036854775809 as the smallest 64-bit integer. To read integers exactly, this scans the
// raw document once and keeps the literal text of the numbers stored under the chosen member
// names that QJsonDocument may not hold exactly, keyed by their place in the document
// ("groups[1].frames[0].timeValue"). Plain integers of up to 18 digits are left to QJsonDocument.
class JsonIntegerTexts
{
public:
    enum class Problem { None, NotAnInteger, OutOfRange };

    // `json` must be a document QJsonDocument has accepted, and must outlive this object. Where a
    // member name repeats within one object, the last one counts, as it does for QJsonDocument.
    JsonIntegerTexts(const QByteArray &json, const QList<QByteArray> &memberNames);

    // The literal text of the number at `path`; empty when there is none or QJsonDocument holds it
    // exactly.
    QByteArrayView text(const QString &path) const { return m_texts.value(path); }

    // The exact value of a JSON number text whatever its notation (20, 20.0, 2e1, 200e-1), when it
    // is an integer within the signed 64-bit range.
    static Problem toInt64(QByteArrayView text, std::int64_t *value);

private:
    QHash<QString, QByteArrayView> m_texts;
};
