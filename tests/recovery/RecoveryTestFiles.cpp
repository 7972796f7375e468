#include "RecoveryTestFiles.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QSysInfo>

namespace {

// The id of a process that has ended.
qint64 endedProcess()
{
    QProcess process;
    process.start(QStringLiteral("true"), {});
    process.waitForStarted();
    const qint64 pid = process.processId();
    process.waitForFinished();
    return pid;
}

} // namespace

QString RecoveryTestFiles::killedProgramFolder(const QString &root, const QString &name)
{
    const QString folder = QDir(root).filePath(name);
    QDir().mkpath(folder);
    // The lock's own layout: process, program, host, machine and boot identifiers, one a line.
    QFile lock(QDir(folder).filePath(QStringLiteral("lock")));
    if (lock.open(QIODevice::WriteOnly))
        lock.write(QByteArray::number(endedProcess()) + "\nquintarel\n" +
                   QSysInfo::machineHostName().toUtf8() + "\n" + QSysInfo::machineUniqueId() + "\n" +
                   QSysInfo::bootUniqueId() + "\n");
    return folder;
}
