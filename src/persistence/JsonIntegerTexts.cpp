#include "JsonIntegerTexts.h"

#include <QJsonArray>
#include <QJsonDocument>

#include <algorithm>
#include <cstring>
#include <limits>
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

} // namespace

JsonIntegerTexts::JsonIntegerTexts(const QByteArray &json)
{
    const char *data = json.constData();
    const qsizetype size = json.size();
    std::vector<Level> levels;

    const auto open = [&levels](bool isObject) {
        const Level *parent = levels.empty() ? nullptr : &levels.back();
        Level level;
        level.role = roleOf(parent, isObject);
        level.isObject = isObject;
        level.expectingKey = isObject;
        if (level.role == Role::Group)
            level.group = parent->index;
        else if (parent)
            level.group = parent->group;
        levels.push_back(level);
    };

    qsizetype i = 0;
    while (i < size) {
        switch (data[i]) {
        case '{':
            open(true);
            ++i;
            break;
        case '[':
            open(false);
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
                levels.back().key = keyOf(raw);
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
            if (levels.empty())
                break;
            const Level &level = levels.back();
            const QByteArrayView number(data + start, i - start);
            // Every number at a known place is kept, so that a repeated member's last value counts.
            if (level.role == Role::Root && level.key == Key::Version)
                m_root[0] = number;
            else if (level.role == Role::Root && level.key == Key::ActiveGroupIndex)
                m_root[1] = number;
            else if (level.role == Role::Frame && level.key == Key::TimeValue)
                m_frames[{level.group, levels[levels.size() - 2].index}][0] = number;
            else if (level.role == Role::Frame && level.key == Key::TimeScale)
                m_frames[{level.group, levels[levels.size() - 2].index}][1] = number;
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
