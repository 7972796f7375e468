#include "BenchRegistry.h"

#include <QFile>
#include <QSysInfo>
#include <QThread>

#include <algorithm>
#include <cstdio>

namespace {

struct Entry
{
    const char *name;
    QStringList figures;
    BenchRegistry::Suite suite;
};

std::vector<Entry> &entries()
{
    static std::vector<Entry> all;
    return all;
}

} // namespace

int BenchRegistry::add(const char *name, QStringList figures, Suite suite)
{
    entries().push_back({name, std::move(figures), std::move(suite)});
    return int(entries().size());
}

bool BenchRegistry::wanted(const QStringList &prefixes, const QString &figure)
{
    if (prefixes.isEmpty())
        return true;
    return std::any_of(prefixes.cbegin(), prefixes.cend(),
                       [&](const QString &p) { return figure.startsWith(p); });
}

int BenchRegistry::runAll(const QStringList &prefixes)
{
    std::printf("# %s\n", qPrintable(machineDescription()));
    std::printf("# name\tmedian\tunit\tdetail\n");
    std::fflush(stdout);
    for (const Entry &entry : entries()) {
        const bool any = std::any_of(entry.figures.cbegin(), entry.figures.cend(),
                                     [&](const QString &figure) { return wanted(prefixes, figure); });
        if (any)
            entry.suite(prefixes);
    }
    return 0;
}

double BenchRegistry::median(std::vector<double> samples)
{
    if (samples.empty())
        return 0.0;
    std::sort(samples.begin(), samples.end());
    const size_t middle = samples.size() / 2;
    if (samples.size() % 2 == 1)
        return samples[middle];
    return (samples[middle - 1] + samples[middle]) / 2.0;
}

void BenchRegistry::print(const QString &name, double median, const QString &unit, const QString &detail)
{
    std::printf("%s\t%.2f\t%s\t%s\n", qPrintable(name), median, qPrintable(unit), qPrintable(detail));
    std::fflush(stdout);
}

QString BenchRegistry::machineDescription()
{
    QString cpu = QStringLiteral("unknown CPU");
    QFile cpuInfo(QStringLiteral("/proc/cpuinfo"));
    if (cpuInfo.open(QIODevice::ReadOnly)) {
        for (const QByteArray &line : cpuInfo.readAll().split('\n')) {
            if (line.startsWith("model name")) {
                cpu = QString::fromUtf8(line.mid(line.indexOf(':') + 1)).trimmed();
                break;
            }
        }
    }
    // Other programs running change the figures: say how busy the machine was.
    QString load = QStringLiteral("unknown");
    QFile loadAverage(QStringLiteral("/proc/loadavg"));
    if (loadAverage.open(QIODevice::ReadOnly))
        load = QString::fromLatin1(loadAverage.readAll()).section(QLatin1Char(' '), 0, 2);
    return QStringLiteral("%1, %2 cores, %3; load average %4 at start")
        .arg(cpu)
        .arg(QThread::idealThreadCount())
        .arg(QSysInfo::prettyProductName(), load);
}

double BenchRegistry::statusMiB(const QByteArray &key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0.0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key + ':'))
            return line.mid(key.size() + 1).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0.0;
}
