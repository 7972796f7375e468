#include "ExportMarkdown.h"

#include <QCoreApplication>

#include <algorithm>

namespace {

// `text` with a backslash before each of `special`.
QString escaped(const QString &text, QStringView special)
{
    QString result;
    result.reserve(text.size());
    for (const QChar c : text) {
        if (special.contains(c))
            result += QLatin1Char('\\');
        result += c;
    }
    return result;
}

// The link's text: the name, with the characters that would end the text or open an HTML tag
// escaped.
QString linkText(const QString &fileName)
{
    return escaped(fileName, u"\\[]<");
}

// The link's target: the name as it is, unless a space, a parenthesis, an angle bracket or a
// backslash would end the link or change it; then between angle brackets, where only angle brackets
// and backslashes need escaping.
QString linkTarget(const QString &fileName)
{
    static constexpr QStringView needsBrackets = u" ()<>\\";
    if (std::none_of(fileName.cbegin(), fileName.cend(), [](QChar c) { return needsBrackets.contains(c); }))
        return fileName;
    return QLatin1Char('<') + escaped(fileName, u"\\<>") + QLatin1Char('>');
}

} // namespace

namespace ExportMarkdown {

QString imageLine(const QString &fileName, const MediaTime &time, const QString &note)
{
    QString entry = QStringLiteral("- [") + linkText(fileName) + QStringLiteral("](") + linkTarget(fileName) +
                    QStringLiteral(") ") + QChar(0x2014) + QLatin1Char(' ') + time.displayString();
    const QString oneLine = QString(note).replace(QLatin1Char('\n'), QLatin1Char(' ')).trimmed();
    if (!oneLine.isEmpty())
        entry += QStringLiteral("\n  > ") + oneLine;
    return entry;
}

QString markdown(const QString &groupName, const QString &groupNotes, const QStringList &imageLines)
{
    QString text = QStringLiteral("# ") + groupName + QStringLiteral("\n\n");
    if (!groupNotes.isEmpty())
        text += groupNotes + QStringLiteral("\n\n");
    text += QStringLiteral("## Images\n");
    if (imageLines.isEmpty())
        text += QCoreApplication::translate("ExportMarkdown", "_Aucune image_") + QLatin1Char('\n');
    else
        text += imageLines.join(QLatin1Char('\n')) + QLatin1Char('\n');
    return text;
}

} // namespace ExportMarkdown
