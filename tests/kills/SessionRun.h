#pragma once

#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

// One run of the editing session (session/EditingSession.h) as a process of its own, and what it
// has told so far on its standard output.
class SessionRun
{
public:
    // One state of the session's document, as edit `number` left it.
    struct State
    {
        int number = 0;
        // When the edit that made it began (for the first, when the session had taken its work back).
        qint64 startMs = 0;
        // "none", or the document's description.
        QByteArray document;
    };

    SessionRun(const QString &program, const QStringList &arguments, const QProcessEnvironment &environment);
    // Kills the process when it still runs.
    ~SessionRun();
    SessionRun(const SessionRun &) = delete;
    SessionRun &operator=(const SessionRun &) = delete;

    // Reads what the session tells until `done` holds, for at most `timeoutMs`; false when it does
    // not hold by then (the process may have ended).
    bool readUntil(const std::function<bool()> &done, int timeoutMs);
    // Reads what the session tells for `ms`.
    void readFor(int ms);
    // Kills the process with SIGKILL and reads what it had told; returns the time of the kill.
    qint64 kill();
    // Waits for the process to end by itself.
    bool waitForEnd(int timeoutMs);
    bool hasEnded() const { return m_process.state() == QProcess::NotRunning; }
    int exitCode() const { return m_process.exitCode(); }

    std::optional<int> offeredRows;
    int unreadableRows = 0;
    QList<State> states;
    std::optional<QByteArray> settled;
    bool ready = false;
    bool finished = false;
    // State numbers of the writes begun and ended, in order.
    QList<int> writesBegun;
    QList<int> writesEnded;
    // How long the writes took, as seen from here.
    QList<qint64> writeMs;
    QStringList problems;

    // The last lines the process wrote to its standard error, for a failure's message.
    QString errorOutput() const;

private:
    void take(const QByteArray &line);
    void readAvailable();

    QProcess m_process;
    QByteArray m_pending;
    QByteArray m_errors;
    QElapsedTimer m_clock;
    qint64 m_writeBegunAt = -1;
};
