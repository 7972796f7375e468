#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

// What `quintarel [FILE…]` asks for: a window for each video or project named, or, for --help,
// --version and mistakes, a text to print and the status to end with.
class CommandLine
{
public:
    // `arguments` starts with the program's name, as QCoreApplication::arguments() gives them.
    // Relative file names are taken from `currentFolder`.
    static CommandLine parse(const QStringList &arguments, const QString &currentFolder);

    // The files to open, in order, as file URLs (other URLs as given).
    const QList<QUrl> &files() const { return m_files; }
    // True when the program prints `output()` and ends with `exitCode()` instead of opening windows.
    bool exits() const { return m_exits; }
    bool answersHelpOrVersion() const { return m_exits && m_exitCode == 0; }
    QString output() const { return m_output; }
    bool isError() const { return m_exitCode != 0; }
    int exitCode() const { return m_exitCode; }

private:
    QList<QUrl> m_files;
    bool m_exits = false;
    QString m_output;
    int m_exitCode = 0;
};
