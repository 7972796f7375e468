#include "BenchRegistry.h"
#include "TestImages.h"

#include "platform/ForegroundEstimation.h"
#include "platform/SubjectSegmenter.h"
#include "services/CutoutCorrector.h"
#include "services/SubjectExtractionService.h"

#include <QColorSpace>
#include <QElapsedTimer>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

#include <cmath>
#include <vector>

namespace {

constexpr int Runs = 9;
const QSize FullHd(1920, 1080);

template<typename Work>
double medianMilliseconds(int runs, const Work &work)
{
    work(); // warm-up
    std::vector<double> samples;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        samples.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    return BenchRegistry::median(samples);
}

// A person-sized figure standing in `box`.
QPainterPath figureIn(const QRectF &box)
{
    const double w = box.width(), h = box.height();
    QPainterPath figure;
    figure.addEllipse(QRectF(box.x() + 0.36 * w, box.y(), 0.28 * w, 0.15 * h));
    figure.addRoundedRect(QRectF(box.x() + 0.2 * w, box.y() + 0.14 * h, 0.6 * w, 0.4 * h), 0.1 * w, 0.1 * w);
    figure.addRoundedRect(QRectF(box.x() + 0.24 * w, box.y() + 0.52 * h, 0.22 * w, 0.48 * h), 0.06 * w,
                          0.06 * w);
    figure.addRoundedRect(QRectF(box.x() + 0.54 * w, box.y() + 0.52 * h, 0.22 * w, 0.48 * h), 0.06 * w,
                          0.06 * w);
    figure.addRoundedRect(QRectF(box.x(), box.y() + 0.16 * h, 0.2 * w, 0.34 * h), 0.06 * w, 0.06 * w);
    figure.addRoundedRect(QRectF(box.x() + 0.8 * w, box.y() + 0.16 * h, 0.2 * w, 0.34 * h), 0.06 * w,
                          0.06 * w);
    return figure.simplified();
}

// A 1920×1080 frame to correct, with grain: a large person-like figure and a square the model lifts,
// a small square it leaves out at the frame's scale, and a pale figure it misses.
struct Scene
{
    QImage frame;
    QPainterPath subject;
    QRect square{1300, 200, 300, 300};
    QRect smallSquare{1720, 900, 40, 40};
    QRect figureBox{1000, 480, 300, 500}; // the rough box around the pale figure
};

Scene scene()
{
    Scene scene;
    scene.subject = figureIn(QRectF(200, 120, 560, 900));
    scene.frame = TestImages::gradient(FullHd);
    QPainter painter(&scene.frame);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(scene.subject, QColor(190, 60, 40));
    painter.fillRect(scene.square, QColor(30, 50, 180));
    painter.fillRect(scene.smallSquare, QColor(20, 140, 60));
    painter.fillPath(figureIn(QRectF(scene.figureBox.adjusted(30, 30, -30, -20))), QColor(215, 200, 200));
    painter.end();
    TestImages::addGrain(scene.frame, 20);
    return scene;
}

// The model's output as a map: certain inside `covered`, a soft ramp of a dozen pixels at its border.
std::vector<float> probabilityOf(const QPainterPath &covered)
{
    QImage map(FullHd, QImage::Format_Grayscale8);
    map.fill(0);
    QPainter painter(&map);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(QColor(128, 128, 128), 12));
    painter.setBrush(Qt::white);
    painter.drawPath(covered);
    painter.end();
    std::vector<float> probability(size_t(FullHd.width()) * size_t(FullHd.height()));
    for (int y = 0; y < FullHd.height(); ++y) {
        const uchar *row = map.constScanLine(y);
        for (int x = 0; x < FullHd.width(); ++x)
            probability[size_t(y) * size_t(FullHd.width()) + size_t(x)] = std::max(0.02f, row[x] / 255.0f);
    }
    return probability;
}

QPointF normalised(QPointF pixel)
{
    return CutoutCorrector::normalisedOf(pixel, FullHd);
}

// A cut-out as lifting makes it at 1080p: a figure with a soft edge a dozen pixels wide and strands
// of hair, on the colours of the frame it came from.
QImage softCutOut(const Scene &scene)
{
    QPainterPath covered = scene.subject;
    for (int k = 0; k < 40; ++k) {
        QPainterPath strand(QPointF(420 + 3.0 * k, 150));
        strand.cubicTo(QPointF(400 + 4.0 * k, 100), QPointF(430 + 2.5 * k, 80), QPointF(410 + 3.5 * k, 60));
        covered.addPath(QPainterPathStroker(QPen(Qt::black, 1.5)).createStroke(strand));
    }
    const Result<SubjectMask> mask = SubjectMask::fromProbability(scene.frame, probabilityOf(covered));
    return mask.ok() ? mask.value().maskedImage({0}, false).value() : QImage();
}

void edgeCleanBench(const Scene &scene)
{
    const QImage cutOut = softCutOut(scene);
    int soft = 0;
    for (int y = 0; y < cutOut.height(); ++y) {
        const uchar *row = cutOut.constScanLine(y);
        for (int x = 0; x < cutOut.width(); ++x)
            soft += row[4 * x + 3] > 0 && row[4 * x + 3] < 255 ? 1 : 0;
    }
    const double ms =
        medianMilliseconds(Runs, [&] { (void)ForegroundEstimation::cleanedEdgeColours(cutOut); });
    BenchRegistry::print(
        QStringLiteral("edge.clean.1080p"), ms, QStringLiteral("ms"),
        QStringLiteral("multilevel foreground estimation of a 1920×1080 cut-out, %1 soft-edge "
                       "pixels; median of %2")
            .arg(soft)
            .arg(Runs));
}

// Ten strokes (five erasing, five restoring) and two subject picks (one dropped, one added from a
// part lifted before) on a lifting of the scene's figure and square.
QList<CutoutCorrection> tenStrokesAndTwoPicks(const Scene &scene, const QRect &window)
{
    QList<CutoutCorrection> corrections;
    corrections << CutoutCorrection::dropSubject(normalised(scene.square.center()));
    for (int i = 0; i < 5; ++i) {
        const double y = 300 + 120 * i;
        corrections << CutoutCorrection::erase(
            {normalised({250.0 + 10 * i, y}), normalised({450.0, y + 30}), normalised({650.0, y - 10})},
            0.03);
        corrections << CutoutCorrection::restore(
            {normalised({300.0, y + 20}), normalised({480.0, y + 40}), normalised({620.0, y + 10})}, 0.035);
    }
    corrections << CutoutCorrection::addSubject(normalised(QPointF(scene.smallSquare.center())),
                                                CutoutCorrector::normalisedWindow(window, FullHd));
    return corrections;
}

void correctionBench(const Scene &scene)
{
    const Result<SubjectMask> lifted =
        SubjectMask::fromProbability(scene.frame, probabilityOf(scene.subject + [&] {
                                         QPainterPath square;
                                         square.addRect(scene.square);
                                         return square;
                                     }()));
    if (!lifted.ok())
        return;
    // The part around the small square as the model would give it, kept from when it was added.
    const QRect window(1560, 760, 360, 320);
    QPainterPath part;
    part.addRect(scene.smallSquare.translated(-window.topLeft()));
    const QImage partFrame = scene.frame.copy(window);
    std::vector<float> partProbability(size_t(window.width()) * size_t(window.height()), 0.02f);
    for (int y = scene.smallSquare.top(); y <= scene.smallSquare.bottom(); ++y) {
        for (int x = scene.smallSquare.left(); x <= scene.smallSquare.right(); ++x)
            partProbability[size_t(y - window.y()) * size_t(window.width()) + size_t(x - window.x())] = 1.0f;
    }
    const SubjectMask partMask = SubjectMask::fromProbability(partFrame, partProbability).value();
    const QList<CutoutCorrection> corrections = tenStrokesAndTwoPicks(scene, window);
    int subjects = 0;
    const double ms = medianMilliseconds(Runs, [&] {
        const Result<SubjectMask> corrected = CutoutCorrector::corrected(
            lifted.value(), corrections, [&](const QRect &) { return Result<SubjectMask>(partMask); });
        subjects = corrected.ok() ? corrected.value().instanceCount() : -1;
        if (corrected.ok())
            (void)SubjectExtractionService::images(corrected.value(), ExportMode::Merged, false);
    });
    BenchRegistry::print(
        QStringLiteral("correction.apply.1080p"), ms, QStringLiteral("ms"),
        QStringLiteral("10 strokes (5 erase, 5 restore, brushes of 3–3.5 % of the width) and 2 "
                       "picks applied to a 1920×1080 lifting, then its merged cut-out; %1 "
                       "subjects after; median of %2")
            .arg(subjects)
            .arg(Runs));
}

void boxBench(const Scene &scene)
{
    const Result<SubjectMask> lifted =
        SubjectMask::fromProbability(scene.frame, probabilityOf(scene.subject));
    if (!lifted.ok())
        return;
    const CutoutCorrection add = CutoutCorrection::addSubjectInBox(
        normalised(scene.figureBox.topLeft()), normalised(scene.figureBox.bottomRight() + QPoint(1, 1)));
    int subjects = 0;
    const double ms = medianMilliseconds(Runs, [&] {
        const Result<SubjectMask> corrected = CutoutCorrector::corrected(lifted.value(), {add}, {});
        subjects = corrected.ok() ? corrected.value().instanceCount() : -1;
    });
    BenchRegistry::print(QStringLiteral("add.by.box.1080p"), ms, QStringLiteral("ms"),
                         QStringLiteral("graph cut seeded by a 300×500 box on a 1920×1080 frame, with the "
                                        "lifting's subject beside it; %1 subjects after; median of %2")
                             .arg(subjects)
                             .arg(Runs));
}

// Lifting around a point as the tool does it, in turn with a lifting of the whole frame so that both
// meet the same load; the model is loaded before either is timed.
void liftAtPointBench(const Scene &scene)
{
    const auto segmenter = SubjectSegmenter::forModel(SubjectSegmenter::defaultModelPath());
    const Result<SubjectMask> lifted = segmenter->segment(scene.frame);
    if (!lifted.ok()) {
        BenchRegistry::print(QStringLiteral("lift.at.point.1080p"), 0.0, QStringLiteral("ms"),
                             QStringLiteral("failed: %1").arg(lifted.error().errorDescription()));
        return;
    }
    constexpr int LiftRuns = 3;
    std::vector<double> atPoint, whole;
    int liftings = 0;
    bool found = false;
    const auto lift = [&](const QRect &window) {
        ++liftings;
        return segmenter->segment(scene.frame.copy(window));
    };
    for (int i = 0; i < LiftRuns; ++i) {
        QElapsedTimer timer;
        timer.start();
        liftings = 0;
        const Result<std::optional<CutoutCorrector::FoundPart>> part =
            CutoutCorrector::findSubjectAt(lifted.value(), scene.smallSquare.center(), lift);
        found = part.ok() && part.value().has_value();
        if (found) {
            const CutoutCorrection add =
                CutoutCorrection::addSubject(normalised(QPointF(scene.smallSquare.center())),
                                             CutoutCorrector::normalisedWindow(part.value()->window, FullHd));
            const Result<SubjectMask> corrected =
                CutoutCorrector::corrected(lifted.value(), {add}, [&](const QRect &) {
                    return Result<SubjectMask>(part.value()->mask);
                });
            if (corrected.ok())
                (void)SubjectExtractionService::images(corrected.value(), ExportMode::Merged, false);
        }
        atPoint.push_back(double(timer.nsecsElapsed()) / 1e6);

        timer.restart();
        const Result<SubjectMask> again = segmenter->segment(scene.frame);
        if (again.ok())
            (void)SubjectExtractionService::images(again.value(), ExportMode::Merged, false);
        whole.push_back(double(timer.nsecsElapsed()) / 1e6);
    }
    const double median = BenchRegistry::median(atPoint);
    BenchRegistry::print(QStringLiteral("lift.at.point.1080p"), median, QStringLiteral("ms"),
                         QStringLiteral("%1; %2 model run(s) each; %3× a lifting of the whole frame timed in "
                                        "turn (%4 ms); median of %5")
                             .arg(found ? QStringLiteral("found") : QStringLiteral("nothing found"))
                             .arg(liftings)
                             .arg(median / BenchRegistry::median(whole), 0, 'f', 2)
                             .arg(BenchRegistry::median(whole), 0, 'f', 0)
                             .arg(LiftRuns));
}

void cutoutBench(const QStringList &prefixes)
{
    const Scene frame = scene();
    if (BenchRegistry::wanted(prefixes, QStringLiteral("edge.clean.1080p")))
        edgeCleanBench(frame);
    if (BenchRegistry::wanted(prefixes, QStringLiteral("correction.apply.1080p")))
        correctionBench(frame);
    if (BenchRegistry::wanted(prefixes, QStringLiteral("add.by.box.1080p")))
        boxBench(frame);
    if (BenchRegistry::wanted(prefixes, QStringLiteral("lift.at.point.1080p")))
        liftAtPointBench(frame);
}

} // namespace

QUINTAREL_BENCH(CutoutBench,
                (QStringList{QStringLiteral("edge.clean.1080p"), QStringLiteral("correction.apply.1080p"),
                             QStringLiteral("add.by.box.1080p"), QStringLiteral("lift.at.point.1080p")}),
                cutoutBench)
