#include "CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

// A path, relative to `currentFolder` or absolute, or a URL ("file:///…") as some launchers pass.
QUrl fileUrl(const QString &argument, const QString &currentFolder)
{
    if (argument.startsWith(QLatin1String("file:")) || argument.contains(QLatin1String("://")))
        return QUrl(argument);
    return QUrl::fromLocalFile(QDir::cleanPath(QDir(currentFolder).absoluteFilePath(argument)));
}

} // namespace

CommandLine CommandLine::parse(const QStringList &arguments, const QString &currentFolder)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QCoreApplication::translate(
        "CommandLine", "Capture des images d'une vidéo, détoure leur sujet et exporte des PNG annotés."));
    // Qt's own help and version options describe themselves in English.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")},
                                  QCoreApplication::translate("CommandLine", "Affiche cette aide."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     QCoreApplication::translate("CommandLine", "Affiche la version."));
    parser.addOption(help);
    parser.addOption(version);
    parser.addPositionalArgument(
        QCoreApplication::translate("CommandLine", "fichiers"),
        QCoreApplication::translate("CommandLine",
                                    "Vidéos ou projets (.quintarel) à ouvrir, chacun dans sa fenêtre."),
        QCoreApplication::translate("CommandLine", "[fichier…]"));

    CommandLine line;
    const bool parsed = parser.parse(arguments);
    // --help and --version answer even beside a mistake, as they are what the user asked for.
    if (parser.isSet(help)) {
        line.m_exits = true;
        line.m_output = parser.helpText();
        return line;
    }
    if (parser.isSet(version)) {
        line.m_exits = true;
        line.m_output = QCoreApplication::applicationName() + QLatin1Char(' ') +
                        QCoreApplication::applicationVersion() + QLatin1Char('\n');
        return line;
    }
    if (!parsed) {
        const QString program =
            arguments.isEmpty() ? QStringLiteral("quintarel") : QFileInfo(arguments.first()).fileName();
        line.m_exits = true;
        line.m_exitCode = 1;
        line.m_output = parser.errorText() + QLatin1Char('\n') +
                        QCoreApplication::translate("CommandLine", "Essayez « %1 --help ».").arg(program) +
                        QLatin1Char('\n');
        return line;
    }
    for (const QString &argument : parser.positionalArguments())
        line.m_files << fileUrl(argument, currentFolder);
    return line;
}
