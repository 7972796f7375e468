#pragma once

#include "models/ExportMode.h"
#include "models/ImageFormat.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <optional>

// What `quintarel [FILE…]` asks for: a window for each video or project named, or, for --help,
// --version and mistakes, a text to print and the status to end with. `quintarel export PROJECT …`
// asks for an export of a project without a window.
class CommandLine
{
public:
    // The status of a command-line export that could not start (a mistake on the line, a project
    // or video that cannot be opened); 1 says that some images failed, 0 that all were written.
    static constexpr int exportCannotStart = 2;

    // What `quintarel export` is to do.
    struct Export
    {
        QString projectPath; // absolute
        ExportMode mode = ExportMode::Merged;
        QString outputFolder;              // absolute; empty for the project's own
        std::optional<ImageFormat> format; // the project's own when absent
    };

    // `arguments` starts with the program's name, as QCoreApplication::arguments() gives them.
    // Relative file names are taken from `currentFolder`.
    static CommandLine parse(const QStringList &arguments, const QString &currentFolder);

    // The files to open, in order, as file URLs (other URLs as given).
    const QList<QUrl> &files() const { return m_files; }
    // True when the line is an export command instead of files for windows: the export is
    // `exportRequest`, unless the line `exits` (its help, a mistake).
    bool isExport() const { return m_isExport; }
    const Export &exportRequest() const { return m_export; }
    // True when the program prints `output()` and ends with `exitCode()` instead of opening windows.
    bool exits() const { return m_exits; }
    bool answersHelpOrVersion() const { return m_exits && m_exitCode == 0; }
    QString output() const { return m_output; }
    bool isError() const { return m_exitCode != 0; }
    int exitCode() const { return m_exitCode; }

private:
    static CommandLine parseExport(const QStringList &arguments, const QString &currentFolder);
    void failWith(const QString &message, const QStringList &arguments, int exitCode,
                  const QString &helpCommand);

    QList<QUrl> m_files;
    bool m_isExport = false;
    Export m_export;
    bool m_exits = false;
    QString m_output;
    int m_exitCode = 0;
};
