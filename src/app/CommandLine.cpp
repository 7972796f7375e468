#include "CommandLine.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

namespace {

QString exportCommand()
{
    return QStringLiteral("export");
}

QString tr(const char *text)
{
    return QCoreApplication::translate("CommandLine", text);
}

// A path, relative to `currentFolder` or absolute, or a URL ("file:///…") as some launchers pass.
QUrl fileUrl(const QString &argument, const QString &currentFolder)
{
    if (argument.startsWith(QLatin1String("file:")) || argument.contains(QLatin1String("://")))
        return QUrl(argument);
    return QUrl::fromLocalFile(QDir::cleanPath(QDir(currentFolder).absoluteFilePath(argument)));
}

QString programName(const QStringList &arguments)
{
    return arguments.isEmpty() ? QStringLiteral("quintarel") : QFileInfo(arguments.first()).fileName();
}

// What `quintarel --help` says of the export command, after the options.
QString exportSummary()
{
    return tr("\nCommande :\n"
              "  export PROJET.quintarel [--mode merged|subjects] [--output DOSSIER]\n"
              "         [--format png|webp]\n"
              "      Exporte les images du projet sans ouvrir de fenêtre, comme le bouton\n"
              "      « Exporter » de la fenêtre, en reprenant les détourages déjà faits.\n"
              "      La progression et les échecs s'affichent sur la sortie d'erreur.\n"
              "      Statut de sortie : 0 quand toutes les images sont écrites, 1 quand\n"
              "      certaines ont échoué, 2 quand le projet ou sa vidéo ne peuvent pas être\n"
              "      ouverts. « quintarel export --help » en dit plus.\n");
}

} // namespace

void CommandLine::failWith(const QString &message, const QStringList &arguments, int exitCode,
                           const QString &helpCommand)
{
    m_exits = true;
    m_exitCode = exitCode;
    m_output = message + QLatin1Char('\n') +
               tr("Essayez « %1 --help ».").arg(programName(arguments) + helpCommand) + QLatin1Char('\n');
}

CommandLine CommandLine::parse(const QStringList &arguments, const QString &currentFolder)
{
    if (arguments.size() > 1 && arguments.at(1) == exportCommand())
        return parseExport(arguments, currentFolder);

    QCommandLineParser parser;
    parser.setApplicationDescription(
        tr("Capture des images d'une vidéo, détoure leur sujet et exporte des PNG annotés."));
    // Qt's own help and version options describe themselves in English.
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, tr("Affiche cette aide."));
    const QCommandLineOption version({QStringLiteral("v"), QStringLiteral("version")},
                                     tr("Affiche la version."));
    parser.addOption(help);
    parser.addOption(version);
    parser.addPositionalArgument(tr("fichiers"),
                                 tr("Vidéos ou projets (.quintarel) à ouvrir, chacun dans sa fenêtre."),
                                 tr("[fichier…]"));

    CommandLine line;
    const bool parsed = parser.parse(arguments);
    // --help and --version answer even beside a mistake, as they are what the user asked for.
    if (parser.isSet(help)) {
        line.m_exits = true;
        line.m_output = parser.helpText() + exportSummary();
        return line;
    }
    if (parser.isSet(version)) {
        line.m_exits = true;
        line.m_output = QCoreApplication::applicationName() + QLatin1Char(' ') +
                        QCoreApplication::applicationVersion() + QLatin1Char('\n');
        return line;
    }
    if (!parsed) {
        line.failWith(parser.errorText(), arguments, 1, QString());
        return line;
    }
    for (const QString &argument : parser.positionalArguments())
        line.m_files << fileUrl(argument, currentFolder);
    return line;
}

CommandLine CommandLine::parseExport(const QStringList &arguments, const QString &currentFolder)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        tr("Exporte les images d'un projet sans ouvrir de fenêtre, comme le bouton « Exporter »\n"
           "de la fenêtre : mêmes réglages, mêmes fichiers, les détourages déjà faits étant repris\n"
           "du cache. La progression et les échecs s'affichent sur la sortie d'erreur.\n"
           "Statut de sortie : 0 quand toutes les images sont écrites, 1 quand certaines ont\n"
           "échoué, 2 quand le projet ou sa vidéo ne peuvent pas être ouverts."));
    const QCommandLineOption help({QStringLiteral("h"), QStringLiteral("help")}, tr("Affiche cette aide."));
    const QCommandLineOption mode(QStringLiteral("mode"),
                                  tr("« merged » : une image par capture, tous sujets réunis (par "
                                     "défaut) ; « subjects » : une image par sujet."),
                                  tr("mode"), QStringLiteral("merged"));
    const QCommandLineOption output(QStringLiteral("output"),
                                    tr("Dossier où écrire les images ; par défaut celui du projet."),
                                    tr("dossier"));
    const QCommandLineOption format(QStringLiteral("format"),
                                    tr("« png » ou « webp » (sans perte, avec la transparence) ; par "
                                       "défaut celui du projet."),
                                    tr("format"));
    parser.addOption(help);
    parser.addOption(mode);
    parser.addOption(output);
    parser.addOption(format);
    parser.addPositionalArgument(exportCommand(), tr("La commande d'export."));
    parser.addPositionalArgument(tr("projet"), tr("Le projet (.quintarel) à exporter."));

    CommandLine line;
    line.m_isExport = true;
    const QString helpCommand = QLatin1Char(' ') + exportCommand();
    const bool parsed = parser.parse(arguments);
    if (parser.isSet(help)) {
        line.m_exits = true;
        line.m_output = parser.helpText();
        return line;
    }
    if (!parsed) {
        line.failWith(parser.errorText(), arguments, exportCannotStart, helpCommand);
        return line;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() != 2) {
        line.failWith(positional.size() < 2 ? tr("Nommez le projet à exporter.")
                                            : tr("Un seul projet à la fois."),
                      arguments, exportCannotStart, helpCommand);
        return line;
    }
    line.m_export.projectPath = QDir::cleanPath(QDir(currentFolder).absoluteFilePath(positional.at(1)));

    const QString modeName = parser.value(mode);
    if (modeName == QLatin1String("merged")) {
        line.m_export.mode = ExportMode::Merged;
    } else if (modeName == QLatin1String("subjects")) {
        line.m_export.mode = ExportMode::PerSubject;
    } else {
        line.failWith(tr("Mode inconnu : « %1 » (merged ou subjects).").arg(modeName), arguments,
                      exportCannotStart, helpCommand);
        return line;
    }
    if (parser.isSet(format)) {
        const QString formatName = parser.value(format);
        line.m_export.format = ImageFormats::fromRawValue(formatName);
        if (!line.m_export.format) {
            line.failWith(tr("Format inconnu : « %1 » (png ou webp).").arg(formatName), arguments,
                          exportCannotStart, helpCommand);
            return line;
        }
    }
    if (parser.isSet(output)) {
        const QString folder = parser.value(output);
        if (folder.isEmpty()) {
            line.failWith(tr("Le dossier de sortie est vide."), arguments, exportCannotStart, helpCommand);
            return line;
        }
        line.m_export.outputFolder = QDir::cleanPath(QDir(currentFolder).absoluteFilePath(folder));
    }
    return line;
}
