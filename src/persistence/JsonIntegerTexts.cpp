#include "JsonIntegerTexts.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <cstring>
#include <limits>
#include <optional>
#include <utility>
#include <vector>

namespace {

// The member names that matter for finding the integers, and where they may stand.
enum class Key { Other, Groups, Frames, Version, ActiveGroupIndex, TimeValue, TimeScale };
const std::array<QByteArrayView, 2> rootIntegers{"version", "activeGroupIndex"};
const std::array<QByteArrayView, 2> frameIntegers{"timeValue", "timeScale"};

// What an object or array is in a project file.
enum class Role { Root, GroupList, Group, FrameList, Frame, Other };

struct Level
{
    Role role = Role::Other;
    bool isObject = false;
    bool expectingKey = false;
    Key key = Key::Other; // the member being read (objects)
    qsizetype index = 0;  // the element being read (arrays)
    qsizetype group = -1; // the group this level belongs to, if any
};

// A member name as QJsonDocument reads it, escapes resolved; only names that can be one of the
// few known ones are decoded.
Key keyOf(QByteArrayView raw)
{
    static const std::pair<QByteArrayView, Key> known[] = {
        {"groups", Key::Groups},       {"frames", Key::Frames},
        {"version", Key::Version},     {"activeGroupIndex", Key::ActiveGroupIndex},
        {"timeValue", Key::TimeValue}, {"timeScale", Key::TimeScale},
    };
    QByteArray decoded;
    QByteArrayView name = raw;
    if (raw.contains('\\')) {
        // Every character of the longest known name written as \uXXXX: anything longer is none.
        if (raw.size() > qsizetype(6) * 16)
            return Key::Other;
        const QByteArray wrapped = "[\"" + raw.toByteArray() + "\"]";
        decoded = QJsonDocument::fromJson(wrapped).array().at(0).toString().toUtf8();
        name = decoded;
    }
    for (const auto &[text, key] : known) {
        if (name == text)
            return key;
    }
    return Key::Other;
}

// What an object or array opened as the current value of `parent` is.
Role roleOf(const Level *parent, bool isObject)
{
    if (!parent)
        return isObject ? Role::Root : Role::Other;
    if (parent->isObject) {
        if (isObject)
            return Role::Other;
        if (parent->role == Role::Root && parent->key == Key::Groups)
            return Role::GroupList;
        if (parent->role == Role::Group && parent->key == Key::Frames)
            return Role::FrameList;
        return Role::Other;
    }
    if (isObject && parent->role == Role::GroupList)
        return Role::Group;
    if (isObject && parent->role == Role::FrameList)
        return Role::Frame;
    return Role::Other;
}

bool isNumberCharacter(char c)
{
    return (c >= '0' && c <= '9') || c == '-' || c == '+' || c == '.' || c == 'e' || c == 'E';
}

bool isDigit(QByteArrayView text, qsizetype i)
{
    return i < text.size() && text[i] >= '0' && text[i] <= '9';
}

// The place of the closing quote of a string whose text starts at `start`: the first quote not
// escaped by an odd run of backslashes, or `size` when the string is never closed.
qsizetype closingQuote(const char *data, qsizetype size, qsizetype start)
{
    qsizetype i = start;
    for (;;) {
        const void *quote = std::memchr(data + i, '"', size_t(size - i));
        i = quote ? static_cast<const char *>(quote) - data : size;
        qsizetype backslashes = 0;
        while (i - backslashes > start && data[i - backslashes - 1] == '\\')
            ++backslashes;
        if (i >= size || backslashes % 2 == 0)
            return i;
        ++i;
    }
}

// Where a number read at the current place is kept.
struct NumberSlot
{
    bool root = false;
    qsizetype group = -1;
    qsizetype frame = -1;
    std::size_t position = 0; // in the list of names of the root or of a frame
};

// The objects and arrays open at the place being read, the outermost first.
class LevelStack
{
public:
    void open(bool isObject)
    {
        const Level *parent = m_levels.empty() ? nullptr : &m_levels.back();
        Level level;
        level.role = roleOf(parent, isObject);
        level.isObject = isObject;
        level.expectingKey = isObject;
        if (level.role == Role::Group)
            level.group = parent->index;
        else if (parent)
            level.group = parent->group;
        m_levels.push_back(level);
    }

    void close()
    {
        if (!m_levels.empty())
            m_levels.pop_back();
    }

    // A comma: the next member of an object, or the next element of an array.
    void next()
    {
        if (m_levels.empty())
            return;
        Level &level = m_levels.back();
        if (level.isObject)
            level.expectingKey = true;
        else
            ++level.index;
    }

    // A string: the name of the next member where an object expects one, otherwise a value.
    void stringRead(QByteArrayView raw)
    {
        if (m_levels.empty() || !m_levels.back().isObject || !m_levels.back().expectingKey)
            return;
        m_levels.back().key = keyOf(raw);
        m_levels.back().expectingKey = false;
    }

    std::optional<NumberSlot> numberSlot() const
    {
        if (m_levels.empty())
            return std::nullopt;
        const Level &level = m_levels.back();
        if (level.role == Role::Root && level.key == Key::Version)
            return NumberSlot{true, -1, -1, 0};
        if (level.role == Role::Root && level.key == Key::ActiveGroupIndex)
            return NumberSlot{true, -1, -1, 1};
        const qsizetype frame = m_levels.size() > 1 ? m_levels[m_levels.size() - 2].index : -1;
        if (level.role == Role::Frame && level.key == Key::TimeValue)
            return NumberSlot{false, level.group, frame, 0};
        if (level.role == Role::Frame && level.key == Key::TimeScale)
            return NumberSlot{false, level.group, frame, 1};
        return std::nullopt;
    }

private:
    std::vector<Level> m_levels;
};

// A JSON number as its decimal digits: digits × 10^scale, negated when negative.
struct DecimalNumber
{
    bool negative = false;
    QByteArray digits;
    std::int64_t scale = 0;
};

// Reads a JSON number, -?(0|[1-9][0-9]*)(.[0-9]+)?([eE][+-]?[0-9]+)?, with its digits of integer
// and fraction part together; nothing when the text is not a number.
std::optional<DecimalNumber> decimalOf(QByteArrayView text)
{
    DecimalNumber number;
    qsizetype i = 0;
    number.negative = i < text.size() && text[i] == '-';
    if (number.negative)
        ++i;
    for (; isDigit(text, i); ++i)
        number.digits += text[i];
    if (i < text.size() && text[i] == '.') {
        for (++i; isDigit(text, i); ++i) {
            number.digits += text[i];
            --number.scale;
        }
    }
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        ++i;
        bool negativeExponent = false;
        if (i < text.size() && (text[i] == '+' || text[i] == '-'))
            negativeExponent = text[i++] == '-';
        std::int64_t exponent = 0;
        for (; isDigit(text, i); ++i)
            exponent = std::min<std::int64_t>(exponent * 10 + (text[i] - '0'), 1'000'000'000);
        number.scale += negativeExponent ? -exponent : exponent;
    }
    if (i != text.size() || number.digits.isEmpty())
        return std::nullopt;
    return number;
}

// Takes the leading zeros away, and the trailing ones into the scale.
void normalise(DecimalNumber &number)
{
    qsizetype first = 0;
    while (first < number.digits.size() && number.digits[first] == '0')
        ++first;
    number.digits = number.digits.mid(first);
    while (!number.digits.isEmpty() && number.digits.endsWith('0')) {
        number.digits.chop(1);
        ++number.scale;
    }
}

} // namespace

JsonIntegerTexts::JsonIntegerTexts(const QByteArray &json)
{
    const char *data = json.constData();
    const qsizetype size = json.size();
    LevelStack levels;

    qsizetype i = 0;
    while (i < size) {
        switch (data[i]) {
        case '{':
        case '[':
            levels.open(data[i] == '{');
            ++i;
            break;
        case '}':
        case ']':
            levels.close();
            ++i;
            break;
        case ',':
            levels.next();
            ++i;
            break;
        case '"': {
            const qsizetype start = i + 1;
            i = closingQuote(data, size, start);
            levels.stringRead(QByteArrayView(data + start, i - start));
            ++i;
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
            // Every number at a known place is kept, so that a repeated member's last value counts.
            if (const std::optional<NumberSlot> slot = levels.numberSlot()) {
                Texts &texts = slot->root ? m_root : m_frames[{slot->group, slot->frame}];
                texts[slot->position] = QByteArrayView(data + start, i - start);
            }
            break;
        }
        default: // white space, ':', the letters of true, false and null
            ++i;
            break;
        }
    }
}

QByteArrayView JsonIntegerTexts::text(Place place, QByteArrayView name) const
{
    const bool isRoot = place == Place::root();
    const std::array<QByteArrayView, 2> &names = isRoot ? rootIntegers : frameIntegers;
    const auto found = std::find(names.begin(), names.end(), name);
    if (found == names.end())
        return {};
    const std::size_t position = std::size_t(found - names.begin());
    if (isRoot)
        return m_root[position];
    const auto frame = m_frames.constFind({place.group, place.frame});
    return frame == m_frames.cend() ? QByteArrayView() : (*frame)[position];
}

JsonIntegerTexts::Problem JsonIntegerTexts::toInt64(QByteArrayView text, std::int64_t *value)
{
    std::optional<DecimalNumber> number = decimalOf(text);
    if (!number)
        return Problem::NotAnInteger;
    normalise(*number);
    if (number->digits.isEmpty()) {
        *value = 0;
        return Problem::None;
    }
    if (number->scale < 0)
        return Problem::NotAnInteger;
    if (number->digits.size() + number->scale > 19)
        return Problem::OutOfRange;

    // At most 19 digits: below 10^19, which fits an unsigned 64-bit integer.
    std::uint64_t magnitude = 0;
    for (const char digit : std::as_const(number->digits))
        magnitude = magnitude * 10 + std::uint64_t(digit - '0');
    for (std::int64_t k = 0; k < number->scale; ++k)
        magnitude *= 10;

    constexpr std::uint64_t largest = std::numeric_limits<std::int64_t>::max();
    if (magnitude > largest + (number->negative ? 1 : 0))
        return Problem::OutOfRange;
    *value = number->negative ? std::int64_t(0 - magnitude) : std::int64_t(magnitude);
    return Problem::None;
}
