#include "BenchRegistry.h"

#include "models/AnnotationShape.h"
#include "models/AnnotationShapes.h"
#include "models/TextShape.h"
#include "services/AnnotationRenderer.h"
#include "services/EdgeProcessingService.h"
#include "services/ExtractRenderer.h"
#include "services/ImageFilterService.h"
#include "views/AnnotationCanvas.h"
#include "views/AnnotationToolSection.h"
#include "views/CanvasToolbox.h"
#include "views/InPlaceTextEditor.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>

#include <algorithm>
#include <cmath>

namespace {

constexpr int runs = 9;

// A 1920×1080 cut-out: one big textured shape with a soft edge, transparent elsewhere.
QImage cutOut()
{
    QImage image(1920, 1080, QImage::Format_RGBA8888_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addEllipse(QRectF(360, 140, 1100, 820));
    shape.addRoundedRect(QRectF(1200, 500, 420, 460), 60, 60);
    painter.setClipPath(shape);
    QLinearGradient sky(0, 0, 1920, 1080);
    sky.setColorAt(0, QColor(250, 200, 120));
    sky.setColorAt(1, QColor(40, 60, 160));
    painter.fillRect(image.rect(), sky);
    for (int i = 0; i < 40; ++i) {
        QRadialGradient spot(QPointF(400 + (i * 173) % 1200, 160 + (i * 97) % 800), 40 + i % 7 * 15);
        spot.setColorAt(0, QColor::fromHsv((i * 37) % 360, 200, 230));
        spot.setColorAt(1, Qt::transparent);
        painter.setBrush(spot);
        painter.setPen(QPen(QColor(20, 20, 20), 2 + i % 4));
        painter.drawEllipse(QPointF(400 + (i * 173) % 1200, 160 + (i * 97) % 800), 40 + i % 7 * 15,
                            30 + i % 5 * 12);
    }
    painter.end();
    return image;
}

QList<Annotation> twentyAnnotations()
{
    QList<Annotation> annotations;
    for (int i = 0; i < 20; ++i) {
        Annotation annotation;
        annotation.kind = AnnotationShapes::all().at(i % 3)->kind();
        annotation.start = QPointF(0.05 + 0.04 * i, 0.1 + 0.03 * (i % 7));
        annotation.end = QPointF(0.9 - 0.03 * i, 0.85 - 0.02 * (i % 5));
        annotation.r = (i % 4) / 3.0;
        annotation.a = i % 2 ? 1.0 : 0.6;
        annotation.lineWidth = 0.002 + 0.0005 * (i % 6);
        annotations << annotation;
    }
    return annotations;
}

// Twenty annotations of every registered kind, each drawn as its tool draws one: a drag through
// 24 points across a good part of the picture, half of the boxes filled, the texts of two lines.
QList<Annotation> twentyOfEveryKind()
{
    QList<Annotation> annotations;
    for (const AnnotationShape *shape : AnnotationShapes::all()) {
        for (int i = 0; i < 20; ++i) {
            const QPointF from(0.05 + 0.04 * i, 0.1 + 0.03 * (i % 7));
            const QPointF to(0.9 - 0.03 * i, 0.85 - 0.02 * (i % 5));
            Annotation annotation = shape->begin(from);
            for (int step = 1; step <= 24; ++step) {
                const double t = step / 24.0;
                const QPointF wobble(0.02 * std::sin(7 * t + i), 0.03 * std::cos(5 * t + i));
                shape->extend(annotation, from + t * (to - from) + wobble);
            }
            annotation.r = (i % 4) / 3.0;
            annotation.a = i % 2 ? 1.0 : 0.6;
            annotation.lineWidth = 0.002 + 0.0005 * (i % 6);
            annotation.filled = i % 2 == 0;
            if (shape->holdsText()) {
                // Two lines typed in place, the box fitted to them.
                annotation.text = QStringLiteral("Repère %1\nmise au point").arg(i + 1);
                TextShape::fit(annotation, 1920.0 / 1080.0);
            }
            annotations << annotation;
        }
    }
    return annotations;
}

template<typename Work>
double medianMilliseconds(const Work &work)
{
    work(); // warm-up
    std::vector<double> samples;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        samples.push_back(timer.nsecsElapsed() / 1e6);
    }
    return BenchRegistry::median(samples);
}

void runPipeline(const QStringList &prefixes)
{
    const ImageFilterService filter;
    const EdgeProcessingService edge;
    const ExtractRenderer renderer{&filter, &edge};
    EdgeOptions params;
    params.shrink = 2;
    params.feather = 2;
    params.outline = true;
    params.outlineWidth = 6;
    const QImage subject = cutOut();
    for (const FilterStyle style : FilterStyles::all()) {
        const QString name = QStringLiteral("render.%1.1080p").arg(FilterStyles::rawValue(style));
        if (!BenchRegistry::wanted(prefixes, name))
            continue;
        QSize size;
        const double median =
            medianMilliseconds([&] { size = renderer.render(subject, style, params).size(); });
        BenchRegistry::print(name, median, QStringLiteral("ms"),
                             QStringLiteral("shrink 2, feather 2, outline 6 → %1×%2, %3 runs")
                                 .arg(size.width())
                                 .arg(size.height())
                                 .arg(runs));
    }

    const QString annotate = QStringLiteral("annotate.20.1080p");
    if (BenchRegistry::wanted(prefixes, annotate)) {
        QImage frame(1920, 1080, QImage::Format_RGBA8888_Premultiplied);
        frame.fill(QColor(90, 120, 150));
        const QList<Annotation> annotations = twentyAnnotations();
        const double median = medianMilliseconds([&] { AnnotationRenderer::draw(frame, annotations); });
        BenchRegistry::print(annotate, median, QStringLiteral("ms"),
                             QStringLiteral("arrows, lines and ellipses, %1 runs").arg(runs));
    }

    const QString annotateAll = QStringLiteral("annotate.all.1080p");
    if (BenchRegistry::wanted(prefixes, annotateAll)) {
        QImage frame(1920, 1080, QImage::Format_RGBA8888_Premultiplied);
        frame.fill(QColor(90, 120, 150));
        const QList<Annotation> annotations = twentyOfEveryKind();
        const double median = medianMilliseconds([&] { AnnotationRenderer::draw(frame, annotations); });
        BenchRegistry::print(annotateAll, median, QStringLiteral("ms"),
                             QStringLiteral("20 of each of %1 kinds (%2 annotations), %3 runs")
                                 .arg(AnnotationShapes::all().size())
                                 .arg(annotations.size())
                                 .arg(runs));
        // Each kind alone, to see where the time goes.
        for (const AnnotationShape *shape : AnnotationShapes::all()) {
            QList<Annotation> ofKind;
            for (const Annotation &annotation : annotations) {
                if (annotation.kind == shape->kind())
                    ofKind << annotation;
            }
            const double kindMedian = medianMilliseconds([&] { AnnotationRenderer::draw(frame, ofKind); });
            BenchRegistry::print(QStringLiteral("annotate.kind.%1.1080p").arg(shape->kind()), kindMedian,
                                 QStringLiteral("ms"), QStringLiteral("20 of them, %1 runs").arg(runs));
        }
    }
}

// Typing a sentence into a new text in place, on a 1080p cut-out shown at 1600×900 under 180
// annotations of every kind: each key from its press to the canvas and its editor painted again.
void runTyping(const QStringList &prefixes)
{
    const QString name = QStringLiteral("annotate.typing.1080p");
    if (!BenchRegistry::wanted(prefixes, name))
        return;
    const QImage frame = cutOut();
    CanvasToolbox toolbox;
    toolbox.addSection(AnnotationToolSection::make());
    AnnotationCanvas canvas;
    canvas.setToolbox(&toolbox);
    canvas.resize(1600, 900);
    canvas.setPictureSize(frame.size());
    canvas.setBackdrop(frame);
    canvas.setAnnotations(twentyOfEveryKind());
    canvas.show();
    canvas.repaint();
    QCoreApplication::processEvents();

    Annotation text = AnnotationShapes::all().at(0)->begin(QPointF(0.4, 0.45));
    for (const AnnotationShape *shape : AnnotationShapes::all()) {
        if (shape->holdsText())
            text = shape->begin(QPointF(0.4, 0.45));
    }
    text.r = 1.0;
    text.lineWidth = 0.004;
    canvas.editText(text);
    QCoreApplication::processEvents();
    InPlaceTextEditor *editor = canvas.textEditor();
    if (!editor)
        qFatal("the text editor did not open");
    const QString typed = QStringLiteral("Le joint fuit ici, voir la vis du bas");
    std::vector<double> keys;
    for (const QChar character : typed) {
        QElapsedTimer timer;
        timer.start();
        QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, QString(character));
        QKeyEvent release(QEvent::KeyRelease, 0, Qt::NoModifier, QString(character));
        QApplication::sendEvent(editor, &press);
        QApplication::sendEvent(editor, &release);
        // What the key changed is painted now, as the window's next frame would.
        canvas.repaint();
        QCoreApplication::processEvents();
        keys.push_back(timer.nsecsElapsed() / 1e6);
    }
    if (editor->toPlainText() != typed)
        qFatal("the text typed did not arrive");
    const double longest = *std::max_element(keys.cbegin(), keys.cend());
    BenchRegistry::print(name, BenchRegistry::median(keys), QStringLiteral("ms"),
                         QStringLiteral("per key, %1 keys, the longest %2 ms; 180 annotations under it")
                             .arg(keys.size())
                             .arg(longest, 0, 'f', 2));
}

} // namespace

QUINTAREL_BENCH(Typing, (QStringList{QStringLiteral("annotate.typing.1080p")}), runTyping)

QUINTAREL_BENCH(Pipeline,
                (QStringList{QStringLiteral("render.none.1080p"), QStringLiteral("render.sketch.1080p"),
                             QStringLiteral("render.comic.1080p"), QStringLiteral("render.poster.1080p"),
                             QStringLiteral("annotate.20.1080p"), QStringLiteral("annotate.all.1080p")}),
                runPipeline)
