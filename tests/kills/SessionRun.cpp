#include "SessionRun.h"

#include <QDateTime>
#include <QEventLoop>
#include <QTimer>

#include <algorithm>
#include <csignal>

SessionRun::SessionRun(const QString &program, const QStringList &arguments,
                       const QProcessEnvironment &environment)
{
    m_process.setProcessEnvironment(environment);
    QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &m_process, [this] { readAvailable(); });
    QObject::connect(&m_process, &QProcess::readyReadStandardError, &m_process, [this] { readAvailable(); });
    m_process.start(program, arguments);
    m_clock.start();
}

SessionRun::~SessionRun()
{
    if (!hasEnded()) {
        m_process.kill();
        m_process.waitForFinished(10000);
    }
}

void SessionRun::take(const QByteArray &line)
{
    const QList<QByteArray> words = line.split(' ');
    const QByteArray &kind = words.constFirst();
    if (kind == "state" && words.size() == 4) {
        states << State{words.at(1).toInt(), words.at(2).toLongLong(), words.at(3)};
    } else if (kind == "offered" && words.size() == 3) {
        offeredRows = words.at(1).toInt();
        unreadableRows = words.at(2).toInt();
    } else if (kind == "settled" && words.size() == 2) {
        settled = words.at(1);
    } else if (kind == "ready") {
        ready = true;
    } else if (kind == "writing" && words.size() == 2) {
        writesBegun << words.at(1).toInt();
        m_writeBegunAt = m_clock.elapsed();
    } else if (kind == "written" && words.size() == 2) {
        writesEnded << words.at(1).toInt();
        if (m_writeBegunAt >= 0)
            writeMs << m_clock.elapsed() - m_writeBegunAt;
        m_writeBegunAt = -1;
    } else if (kind == "finished") {
        finished = true;
    } else if (kind == "problem") {
        const QByteArray text = line.mid(8);
        const QByteArray decoded = QByteArray::fromBase64(text, QByteArray::AbortOnBase64DecodingErrors);
        problems << QString::fromUtf8(decoded.isEmpty() ? text : decoded);
    } else {
        problems << QStringLiteral("unknown line: ") + QString::fromUtf8(line.left(200));
    }
}

void SessionRun::readAvailable()
{
    m_pending += m_process.readAllStandardOutput();
    qsizetype end = m_pending.indexOf('\n');
    while (end >= 0) {
        take(m_pending.left(end));
        m_pending.remove(0, end + 1);
        end = m_pending.indexOf('\n');
    }
    // Only the end of the error output is kept: mpv and Qt may say much.
    m_errors += m_process.readAllStandardError();
    if (m_errors.size() > 20000)
        m_errors = m_errors.right(20000);
}

bool SessionRun::readUntil(const std::function<bool()> &done, int timeoutMs)
{
    readAvailable();
    if (done())
        return true;
    // In an event loop, so that the other runs going on are read too: a session whose output is not
    // read would stop at its next line.
    QEventLoop loop;
    const auto check = [&] {
        readAvailable();
        if (done() || hasEnded())
            loop.quit();
    };
    QObject::connect(&m_process, &QProcess::readyReadStandardOutput, &loop, check);
    QObject::connect(&m_process, &QProcess::finished, &loop, check);
    QTimer::singleShot(timeoutMs, &loop, &QEventLoop::quit);
    if (!hasEnded())
        loop.exec();
    readAvailable();
    return done();
}

void SessionRun::readFor(int ms)
{
    readUntil([] { return false; }, ms);
}

qint64 SessionRun::kill()
{
    readAvailable();
    const qint64 at = QDateTime::currentMSecsSinceEpoch();
    ::kill(pid_t(m_process.processId()), SIGKILL);
    m_process.waitForFinished(10000);
    readAvailable();
    return at;
}

bool SessionRun::waitForEnd(int timeoutMs)
{
    const bool ended = readUntil([this] { return hasEnded(); }, timeoutMs);
    readAvailable();
    return ended;
}

QString SessionRun::errorOutput() const
{
    return QString::fromUtf8(m_errors.right(4000));
}
