#include "ExportNaming.h"

#include <QCoreApplication>

namespace ExportNaming {

QString folderName(const QString &groupName)
{
    QString name = groupName;
    for (QChar &character : name) {
        if (character == QLatin1Char('/') || character == QLatin1Char('\\') || character == QLatin1Char(':'))
            character = QLatin1Char('-');
    }
    // QString::trimmed() removes what QChar::isSpace() accepts: the Unicode white space, including
    // no-break spaces and the line and paragraph separators.
    name = name.trimmed();
    if (name.isEmpty())
        return QCoreApplication::translate("ExportNaming", "Sans-nom");
    return name;
}

QString mergedFileName(const QString &videoName, const MediaTime &time)
{
    return videoName + QLatin1Char('_') + time.fileNameString() + QStringLiteral(".png");
}

QString subjectFileName(const QString &videoName, const MediaTime &time, int subjectNumber)
{
    return videoName + QLatin1Char('_') + time.fileNameString() + QStringLiteral("_s") +
           QString::number(subjectNumber) + QStringLiteral(".png");
}

QString markdownFileName(const QString &groupName)
{
    return folderName(groupName) + QStringLiteral(".md");
}

} // namespace ExportNaming
