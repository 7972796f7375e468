#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <functional>
#include <vector>

// Benchmarks print one tab-separated line per figure: name, median, unit, then any detail.
// Each benchmark file registers a suite with QUINTAREL_BENCH; a suite may print several figures.
namespace BenchRegistry {

using Suite = std::function<void(const QStringList &prefixes)>;

int add(const char *name, QStringList figures, Suite suite);
int runAll(const QStringList &prefixes);

// True when no prefix is given or one of them starts `figure`.
bool wanted(const QStringList &prefixes, const QString &figure);
// Median of the samples (the mean of the middle two for an even count).
double median(std::vector<double> samples);
void print(const QString &name, double median, const QString &unit, const QString &detail = {});
// A size line of /proc/self/status in MiB: "VmRSS" is the resident size now, "VmHWM" its peak so far.
double statusMiB(const QByteArray &key);
// One line naming the machine and how busy it was, printed once before the figures.
QString machineDescription();

} // namespace BenchRegistry

#define QUINTAREL_BENCH(Name, Figures, Function)                                                             \
    static const int registered##Name = BenchRegistry::add(#Name, Figures, Function);
