#include "BenchRegistry.h"

#include "services/SubjectExtractionService.h"

#include <QColorSpace>
#include <QElapsedTimer>
#include <QFile>
#include <QLinearGradient>
#include <QPainter>

#include <vector>

namespace {

// A 1920×1080 frame with two plain shapes on a gradient: two subjects for the model.
QImage frameWithSubjects()
{
    QImage image(1920, 1080, QImage::Format_RGBA8888_Premultiplied);
    image.setColorSpace(QColorSpace::SRgb);
    QPainter painter(&image);
    QLinearGradient fill(0, 0, 1920, 1080);
    fill.setColorAt(0, QColor(184, 196, 212));
    fill.setColorAt(1, QColor(228, 232, 214));
    painter.fillRect(image.rect(), fill);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(200, 30, 30));
    painter.drawEllipse(QRect(200, 220, 560, 640));
    painter.setBrush(QColor(30, 50, 180));
    painter.drawRect(QRect(1240, 360, 380, 380));
    return image;
}

// A line of /proc/self/status in MiB (VmHWM: the peak resident size so far).
double statusMiB(const QByteArray &key)
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

void liftingBench(const QStringList &prefixes)
{
    const bool timing = BenchRegistry::wanted(prefixes, QStringLiteral("lift.1080p"));
    const bool memory = BenchRegistry::wanted(prefixes, QStringLiteral("lift.peak"));
    const QImage frame = frameWithSubjects();
    const double before = statusMiB("VmHWM");

    SubjectExtractionService service;
    // Warm-up: loads the model.
    QElapsedTimer clock;
    clock.start();
    const Result<QList<QImage>> first = service.extractAsync(frame, ExportMode::PerSubject, true).result();
    const qint64 firstMs = clock.elapsed();
    if (!first.ok()) {
        BenchRegistry::print(QStringLiteral("lift.1080p"), 0.0, QStringLiteral("ms"),
                             QStringLiteral("failed: %1").arg(first.error().errorDescription()));
        return;
    }

    std::vector<double> samples;
    const int runs = timing ? 5 : 1;
    for (int i = 0; i < runs; ++i) {
        clock.restart();
        const Result<QList<QImage>> result = service.extractAsync(frame, ExportMode::Merged, false).result();
        samples.push_back(double(clock.nsecsElapsed()) / 1e6);
        Q_UNUSED(result);
    }
    if (timing) {
        BenchRegistry::print(QStringLiteral("lift.1080p"), BenchRegistry::median(samples),
                             QStringLiteral("ms"),
                             QStringLiteral("%1 runs, first with model load %2 ms, %3 subjects")
                                 .arg(runs)
                                 .arg(firstMs)
                                 .arg(first.value().size()));
    }
    if (memory) {
        BenchRegistry::print(QStringLiteral("lift.peak"), statusMiB("VmHWM"), QStringLiteral("MiB"),
                             QStringLiteral("VmHWM; %1 MiB before loading the model").arg(before, 0, 'f', 0));
    }
}

} // namespace

QUINTAREL_BENCH(SubjectBench, (QStringList{QStringLiteral("lift.1080p"), QStringLiteral("lift.peak")}),
                liftingBench)
