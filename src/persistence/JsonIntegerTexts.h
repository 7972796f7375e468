#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QHash>
#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <utility>

// QJsonDocument keeps a number exactly only when its text is a plain integer that fits 64 bits;
// any other notation becomes a double, so 9007199254740993.0 reads back as ...992 and
// -9223372036854775809 as the smallest 64-bit integer. To read the integers of a project file
// exactly, this scans the raw document once and keeps the literal text of the numbers at the places
// that hold integers: the root's "version" and "activeGroupIndex", and "timeValue" and "timeScale"
// of each frame object in groups[g].frames[f]. Nothing is kept for any other place, so a member the
// program does not know can never change or break one it knows, whatever its name, and the memory
// kept is a few views per frame, whatever the document holds.
class JsonIntegerTexts
{
public:
    enum class Problem { None, NotAnInteger, OutOfRange };

    // The object whose integer members are looked up: the root, or the frame of one group.
    struct Place
    {
        qsizetype group = -1;
        qsizetype frame = -1;
        static Place root() { return {}; }
        static Place frameOf(qsizetype group, qsizetype frame) { return {group, frame}; }
        friend bool operator==(const Place &, const Place &) = default;
    };

    // `json` must be a document QJsonDocument has accepted, and must outlive this object. Where a
    // member name repeats within one object, the last one counts, as it does for QJsonDocument.
    explicit JsonIntegerTexts(const QByteArray &json);

    // The literal text of the number of member `name` at `place`; empty when there is none.
    QByteArrayView text(Place place, QByteArrayView name) const;

    // The exact value of a JSON number text whatever its notation (20, 20.0, 2e1, 200e-1), when it
    // is an integer within the signed 64-bit range.
    static Problem toInt64(QByteArrayView text, std::int64_t *value);

private:
    using Texts = std::array<QByteArrayView, 2>; // by the member's position in its list of names
    Texts m_root;
    QHash<std::pair<qsizetype, qsizetype>, Texts> m_frames;
};
