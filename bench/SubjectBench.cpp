#include "BenchRegistry.h"
#include "OpenCvNetwork.h"

#include "platform/DnnlNetwork.h"
#include "platform/SubjectSegmenter.h"

#include <QColorSpace>
#include <QElapsedTimer>
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

// Times every run of the network it wraps.
class TimedNetwork final : public InferenceNetwork
{
public:
    TimedNetwork(std::unique_ptr<InferenceNetwork> network, std::vector<double> &samples)
        : m_network(std::move(network)), m_samples(samples)
    {}
    InferenceGraph::Shape inputShape() const override { return m_network->inputShape(); }
    InferenceGraph::Shape outputShape() const override { return m_network->outputShape(); }
    void run(const float *input, float *output) override
    {
        QElapsedTimer clock;
        clock.start();
        m_network->run(input, output);
        m_samples.push_back(double(clock.nsecsElapsed()) / 1e6);
    }

private:
    std::unique_ptr<InferenceNetwork> m_network;
    std::vector<double> &m_samples;
};

// One lifting as the export does it: the subjects, then the merged cut-out. Milliseconds, or a
// negative number when it failed.
double liftOnce(SubjectSegmenter &segmenter, const QImage &frame, int *subjects = nullptr)
{
    QElapsedTimer clock;
    clock.start();
    const Result<SubjectMask> mask = segmenter.segment(frame);
    if (!mask.ok() || mask.value().instanceCount() == 0)
        return -1.0;
    QList<int> all;
    for (int i = 0; i < mask.value().instanceCount(); ++i)
        all.append(i);
    if (!mask.value().maskedImage(all, false).ok())
        return -1.0;
    if (subjects)
        *subjects = mask.value().instanceCount();
    return double(clock.nsecsElapsed()) / 1e6;
}

QString failure(const std::shared_ptr<SubjectSegmenter> &segmenter, const QImage &frame)
{
    const Result<SubjectMask> mask = segmenter->segment(frame);
    return mask.ok() ? QStringLiteral("no subject found") : mask.error().errorDescription();
}

void liftingBench(const QStringList &prefixes)
{
    const bool timing = BenchRegistry::wanted(prefixes, QStringLiteral("lift.1080p")) ||
                        BenchRegistry::wanted(prefixes, QStringLiteral("lift.opencv.1080p"));
    const bool memory = BenchRegistry::wanted(prefixes, QStringLiteral("lift.peak"));
    const QImage frame = frameWithSubjects();
    const QString modelPath = SubjectSegmenter::defaultModelPath();
    const double before = BenchRegistry::statusMiB("VmHWM");

    // The engine the program uses, timed; the first lifting also loads the model.
    std::vector<double> inference, referenceInference;
    const auto engine = SubjectSegmenter::withNetwork(modelPath, [&](const QString &path) {
        return std::make_unique<TimedNetwork>(DnnlNetwork::load(path, "output"), inference);
    });
    int subjects = 0;
    const double firstMs = liftOnce(*engine, frame, &subjects);
    if (firstMs < 0) {
        BenchRegistry::print(QStringLiteral("lift.1080p"), 0.0, QStringLiteral("ms"),
                             QStringLiteral("failed: %1").arg(failure(engine, frame)));
        return;
    }
    // Measured before anything else is loaded: the peak of a process that only lifts.
    if (memory) {
        liftOnce(*engine, frame);
        BenchRegistry::print(QStringLiteral("lift.peak"), BenchRegistry::statusMiB("VmHWM"),
                             QStringLiteral("MiB"),
                             QStringLiteral("VmHWM after two liftings; %1 MiB before loading the model")
                                 .arg(before, 0, 'f', 0));
    }

    constexpr int Runs = 5;
    if (timing) {
        // The reference runs in turn with the engine, so that both meet the same machine load.
        const auto reference = SubjectSegmenter::withNetwork(modelPath, [&](const QString &path) {
            return std::make_unique<TimedNetwork>(OpenCvNetwork::segmentation(path), referenceInference);
        });
        const double referenceFirstMs = liftOnce(*reference, frame);
        inference.clear();
        referenceInference.clear();
        std::vector<double> samples, referenceSamples;
        for (int i = 0; i < Runs; ++i) {
            samples.push_back(liftOnce(*engine, frame));
            referenceSamples.push_back(liftOnce(*reference, frame));
        }
        const double median = BenchRegistry::median(samples);
        const double referenceMedian = BenchRegistry::median(referenceSamples);
        BenchRegistry::print(QStringLiteral("lift.1080p"), median, QStringLiteral("ms"),
                             QStringLiteral("oneDNN, %1 runs alternating with the reference, %2× its median; "
                                            "inference alone %3 ms; first with model load %4 ms; %5 subjects")
                                 .arg(Runs)
                                 .arg(median / referenceMedian, 0, 'f', 2)
                                 .arg(BenchRegistry::median(inference), 0, 'f', 0)
                                 .arg(firstMs, 0, 'f', 0)
                                 .arg(subjects));
        BenchRegistry::print(
            QStringLiteral("lift.opencv.1080p"), referenceMedian, QStringLiteral("ms"),
            QStringLiteral("OpenCV dnn (reference), %1 runs; inference alone %2 ms; first with "
                           "model load %3 ms")
                .arg(Runs)
                .arg(BenchRegistry::median(referenceInference), 0, 'f', 0)
                .arg(referenceFirstMs, 0, 'f', 0));
    }
}

} // namespace

QUINTAREL_BENCH(SubjectBench,
                (QStringList{QStringLiteral("lift.1080p"), QStringLiteral("lift.opencv.1080p"),
                             QStringLiteral("lift.peak")}),
                liftingBench)
