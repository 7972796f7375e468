#include "IndentedJsonWriter.h"

#include <QLocale>

#include <cmath>

IndentedJsonWriter::IndentedJsonWriter(qsizetype expectedSize)
{
    m_text.reserve(expectedSize);
}

void IndentedJsonWriter::beginObject()
{
    beginValue();
    m_text += "{\n";
    m_counts.push_back(0);
}

void IndentedJsonWriter::endObject()
{
    const bool empty = m_counts.back() == 0;
    m_counts.pop_back();
    if (!empty)
        m_text += '\n';
    indent();
    m_text += '}';
}

void IndentedJsonWriter::beginArray()
{
    beginValue();
    m_text += "[\n";
    m_counts.push_back(0);
}

void IndentedJsonWriter::endArray()
{
    const bool empty = m_counts.back() == 0;
    m_counts.pop_back();
    if (!empty)
        m_text += '\n';
    indent();
    m_text += ']';
}

void IndentedJsonWriter::key(QLatin1StringView name)
{
    if (m_counts.back()++ > 0)
        m_text += ",\n";
    indent();
    m_text += '"';
    m_text += QByteArrayView(name.data(), name.size());
    m_text += "\": ";
    m_afterKey = true;
}

void IndentedJsonWriter::key(const QString &name)
{
    if (m_counts.back()++ > 0)
        m_text += ",\n";
    indent();
    quoted(name);
    m_text += ": ";
    m_afterKey = true;
}

void IndentedJsonWriter::value(const QString &text)
{
    beginValue();
    quoted(text);
}

void IndentedJsonWriter::null()
{
    beginValue();
    m_text += "null";
}

void IndentedJsonWriter::quoted(const QString &text)
{
    static const char hexDigits[] = "0123456789abcdef";
    const auto escapeUnit = [this](char16_t unit) {
        m_text += "\\u";
        for (int shift = 12; shift >= 0; shift -= 4)
            m_text += hexDigits[(unit >> shift) & 0xf];
    };
    m_text += '"';
    const qsizetype size = text.size();
    const auto *units = reinterpret_cast<const char16_t *>(text.utf16());
    for (qsizetype i = 0; i < size; ++i) {
        const char16_t unit = units[i];
        switch (unit) {
        case u'"':
            m_text += "\\\"";
            break;
        case u'\\':
            m_text += "\\\\";
            break;
        case u'\b':
            m_text += "\\b";
            break;
        case u'\f':
            m_text += "\\f";
            break;
        case u'\n':
            m_text += "\\n";
            break;
        case u'\r':
            m_text += "\\r";
            break;
        case u'\t':
            m_text += "\\t";
            break;
        default:
            const bool pair =
                QChar::isHighSurrogate(unit) && i + 1 < size && QChar::isLowSurrogate(units[i + 1]);
            if (unit < 0x20 || (QChar::isSurrogate(unit) && !pair)) {
                // Control characters, and a lone surrogate, which cannot be put in UTF-8.
                escapeUnit(unit);
            } else if (unit < 0x80) {
                m_text += char(unit);
            } else if (unit < 0x800) {
                m_text += char(0xc0 | (unit >> 6));
                m_text += char(0x80 | (unit & 0x3f));
            } else if (!pair) {
                m_text += char(0xe0 | (unit >> 12));
                m_text += char(0x80 | ((unit >> 6) & 0x3f));
                m_text += char(0x80 | (unit & 0x3f));
            } else {
                const char32_t code = QChar::surrogateToUcs4(unit, units[++i]);
                m_text += char(0xf0 | (code >> 18));
                m_text += char(0x80 | ((code >> 12) & 0x3f));
                m_text += char(0x80 | ((code >> 6) & 0x3f));
                m_text += char(0x80 | (code & 0x3f));
            }
        }
    }
    m_text += '"';
}

void IndentedJsonWriter::value(bool flag)
{
    beginValue();
    m_text += flag ? "true" : "false";
}

void IndentedJsonWriter::value(std::int64_t number)
{
    beginValue();
    m_text += QByteArray::number(qint64(number));
}

void IndentedJsonWriter::value(double number)
{
    beginValue();
    constexpr double exactIntegerLimit = 9007199254740992.0; // 2^53
    if (!std::isfinite(number))
        m_text += "null";
    else if (std::trunc(number) == number && std::fabs(number) <= exactIntegerLimit)
        m_text += QByteArray::number(qint64(number));
    else
        m_text += QByteArray::number(number, 'g', QLocale::FloatingPointShortest);
}

QByteArray IndentedJsonWriter::take()
{
    m_text += '\n';
    return std::move(m_text);
}

void IndentedJsonWriter::beginValue()
{
    if (m_afterKey) {
        m_afterKey = false;
        return;
    }
    if (m_counts.empty())
        return; // the document's root
    if (m_counts.back()++ > 0)
        m_text += ",\n";
    indent();
}

void IndentedJsonWriter::indent()
{
    m_text.append(4 * qsizetype(m_counts.size()), ' ');
}
