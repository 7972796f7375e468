#include "JsonIntegerTexts.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <cstring>
#include <limits>
#include <vector>

namespace {

struct Level
{
    bool isObject = false;
    bool expectingKey = false;
    QByteArray key;      // the member being read, in UTF-8 (objects)
    qsizetype index = 0; // the element being read (arrays)
};

bool isNumberCharacter(char c)
{
    return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
}

// QJsonDocument reads a plain integer of up to 18 digits exactly (it always fits 64 bits).
bool isExactForQt(QByteArrayView number)
{
    const qsizetype digits = number.startsWith('-') ? number.size() - 1 : number.size();
    return digits <= 18 &&
           std::all_of(number.end() - digits, number.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// A member name as written between the quotes, with its escapes resolved. Without escapes it
// refers to the document's own bytes.
QByteArray memberName(QByteArrayView raw)
{
    if (!raw.contains('\\'))
        return QByteArray::fromRawData(raw.data(), raw.size());
    const QByteArray wrapped = "[\"" + raw.toByteArray() + "\"]";
    return QJsonDocument::fromJson(wrapped).array().at(0).toString().toUtf8();
}

QString pathOf(const std::vector<Level> &levels)
{
    QString path;
    for (const Level &level : levels) {
        if (level.isObject) {
            if (!path.isEmpty())
                path += QLatin1Char('.');
            path += QString::fromUtf8(level.key);
        } else {
            path += QLatin1Char('[') + QString::number(level.index) + QLatin1Char(']');
        }
    }
    return path;
}

} // namespace

JsonIntegerTexts::JsonIntegerTexts(const QByteArray &json, const QList<QByteArray> &memberNames)
{
    const char *data = json.constData();
    const qsizetype size = json.size();
    std::vector<Level> levels;

    qsizetype i = 0;
    while (i < size) {
        switch (data[i]) {
        case '{':
            levels.push_back({true, true, {}, 0});
            ++i;
            break;
        case '[':
            levels.push_back({false, false, {}, 0});
            ++i;
            break;
        case '}':
        case ']':
            if (!levels.empty())
                levels.pop_back();
            ++i;
            break;
        case ',':
            if (!levels.empty()) {
                Level &level = levels.back();
                if (level.isObject)
                    level.expectingKey = true;
                else
                    ++level.index;
            }
            ++i;
            break;
        case '"': {
            // The closing quote is the first one not escaped by an odd run of backslashes.
            const qsizetype start = ++i;
            for (;;) {
                const void *quote = std::memchr(data + i, '"', size_t(size - i));
                i = quote ? static_cast<const char *>(quote) - data : size;
                qsizetype backslashes = 0;
                while (i - backslashes > start && data[i - backslashes - 1] == '\\')
                    ++backslashes;
                if (i >= size || backslashes % 2 == 0)
                    break;
                ++i;
            }
            const QByteArrayView raw(data + start, i - start);
            ++i;
            if (!levels.empty() && levels.back().isObject && levels.back().expectingKey) {
                levels.back().key = memberName(raw);
                levels.back().expectingKey = false;
            }
            break;
        }
        case '-':
        case '0':
        case '1':
        case '2':
        case '3':
        case '4':
        case '5':
        case '6':
        case '7':
        case '8':
        case '9': {
            const qsizetype start = i;
            while (i < size && isNumberCharacter(data[i]))
                ++i;
            if (levels.empty() || !levels.back().isObject || !memberNames.contains(levels.back().key))
                break;
            const QByteArrayView number(data + start, i - start);
            if (!isExactForQt(number))
                m_texts.insert(pathOf(levels), number);
            else if (!m_texts.isEmpty()) // an earlier member of the same name no longer counts
                m_texts.remove(pathOf(levels));
            break;
        }
        default: // white space, ':', the letters of true, false and null
            ++i;
            break;
        }
    }
}

JsonIntegerTexts::Problem JsonIntegerTexts::toInt64(QByteArrayView text, std::int64_t *value)
{
    // JSON number: -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?
    qsizetype i = 0;
    const bool negative = i < text.size() && text[i] == '-';
    if (negative)
        ++i;

    QByteArray digits;      // significant digits of integer and fraction part together
    std::int64_t scale = 0; // the value is digits × 10^scale
    for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
        digits += text[i];
    if (i < text.size() && text[i] == '.') {
        for (++i; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
            digits += text[i];
            --scale;
        }
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            negativeExponent = text[i++] == '-';
        std::int64_t exponent = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i)
            exponent = std::min<std::int64_t>(exponent * 10 + (text[i] - '0'), 1'000'000'000);
        scale += negativeExponent ? -exponent : exponent;
    }
    if (i != text.size() || digits.isEmpty())
        return Problem::NotAnInteger;

    qsizetype first = 0;
    while (first < digits.size() && digits[first] == '0')
        ++first;
    digits = digits.mid(first);
    while (!digits.isEmpty() && digits.endsWith('0')) {
        digits.chop(1);
        ++scale;
    }
    if (digits.isEmpty()) {
        *value = 0;
        return Problem::None;
    }
    if (scale < 0)
        return Problem::NotAnInteger;
    if (digits.size() + scale > 19)
        return Problem::OutOfRange;

    // At most 19 digits: below 10^19, which fits an unsigned 64-bit integer.
    std::uint64_t magnitude = 0;
    for (const char digit : digits)
        magnitude = magnitude * 10 + std::uint64_t(digit - '0');
    for (std::int64_t k = 0; k < scale; ++k)
        magnitude *= 10;

    constexpr std::uint64_t largest = std::numeric_limits<std::int64_t>::max();
    if (magnitude > largest + (negative ? 1 : 0))
        return Problem::OutOfRange;
    *value = negative ? std::int64_t(0 - magnitude) : std::int64_t(magnitude);
    return Problem::None;
}
