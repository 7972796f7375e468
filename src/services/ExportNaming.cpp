#include "ExportNaming.h"

#include <QCoreApplication>
#include <QSet>

namespace {

// Longest file name most Linux file systems take, in bytes.
constexpr qsizetype maxNameBytes = 255;
// Room kept for the ".md" of a group's Markdown file, which bears the folder's name.
constexpr qsizetype maxFolderNameBytes = maxNameBytes - 3;

// `base` cut at a character boundary so that it and `suffix` fit the longest folder name.
QString fitted(const QString &base, const QString &suffix)
{
    const qsizetype room = maxFolderNameBytes - suffix.toUtf8().size();
    QString name = base;
    while (name.toUtf8().size() > room) {
        name.chop(1);
        if (!name.isEmpty() && name.back().isHighSurrogate())
            name.chop(1);
    }
    return name + suffix;
}

// Names that differ only in letter case meet on file systems that ignore it (memory sticks).
QString caseKey(const QString &name)
{
    return name.toCaseFolded();
}

} // namespace

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

QStringList distinctFolderNames(const QStringList &groupNames)
{
    QStringList bases;
    bases.reserve(groupNames.size());
    for (const QString &groupName : groupNames) {
        QString base = folderName(groupName);
        base.replace(QChar(0), QLatin1Char('-'));
        // "." and ".." name the output folder and its parent, not a folder of the group's own.
        if (base == QLatin1String(".") || base == QLatin1String(".."))
            base = folderName(QString());
        bases << fitted(base, QString());
    }

    // Every group's own name stays reserved, so that a later group keeps its name when an earlier
    // duplicate needs a number.
    QSet<QString> taken;
    for (const QString &base : bases)
        taken.insert(caseKey(base));
    QSet<QString> given;
    QStringList names;
    names.reserve(bases.size());
    for (const QString &base : bases) {
        QString name = base;
        for (int number = 2; given.contains(caseKey(name)); ++number) {
            name = fitted(base, QStringLiteral(" (%1)").arg(number));
            if (taken.contains(caseKey(name)))
                name = base; // keep looking
        }
        given.insert(caseKey(name));
        names << name;
    }
    return names;
}

QString mergedFileName(const QString &videoName, const MediaTime &time, ImageFormat format)
{
    return videoName + QLatin1Char('_') + time.fileNameString() + ImageFormats::extension(format);
}

QString subjectFileName(const QString &videoName, const MediaTime &time, int subjectNumber,
                        ImageFormat format)
{
    return videoName + QLatin1Char('_') + time.fileNameString() + QStringLiteral("_s") +
           QString::number(subjectNumber) + ImageFormats::extension(format);
}

QString numbered(const QString &fileName, int number)
{
    if (number <= 1)
        return fileName;
    const qsizetype dot = fileName.lastIndexOf(QLatin1Char('.'));
    const qsizetype end = dot > 0 ? dot : fileName.size();
    return fileName.left(end) + QStringLiteral(" (%1)").arg(number) + fileName.mid(end);
}

QString markdownFileName(const QString &folder)
{
    return folder + QStringLiteral(".md");
}

} // namespace ExportNaming
