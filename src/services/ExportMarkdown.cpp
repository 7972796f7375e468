#include "ExportMarkdown.h"

#include <QCoreApplication>

namespace ExportMarkdown {

QString imageLine(const QString &fileName, const MediaTime &time, const QString &note)
{
    QString entry = QStringLiteral("- [") + fileName + QStringLiteral("](") + fileName +
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
