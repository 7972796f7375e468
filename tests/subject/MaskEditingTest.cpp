#include "TestImages.h"
#include "TestRegistry.h"

#include "platform/SubjectMaskEditor.h"
#include "platform/SubjectSegmenter.h"

#include <QPainter>
#include <QPainterPath>
#include <QTest>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

const QSize frameSize(640, 480);

// The model's output for a frame whose subjects are exactly `covered`: certain inside, a two-pixel
// ramp at the border, a faint haze elsewhere.
std::vector<float> probabilityOf(const QPainterPath &covered)
{
    QImage map(frameSize, QImage::Format_Grayscale8);
    map.fill(0);
    QPainter painter(&map);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(covered, Qt::white);
    painter.end();
    std::vector<float> probability(size_t(frameSize.width() * frameSize.height()));
    for (int y = 0; y < frameSize.height(); ++y) {
        const uchar *row = map.constScanLine(y);
        for (int x = 0; x < frameSize.width(); ++x)
            probability[size_t(y * frameSize.width() + x)] = std::max(0.02f, row[x] / 255.0f);
    }
    return probability;
}

SubjectMask maskOf(const QImage &frame, const QPainterPath &covered)
{
    Result<SubjectMask> mask = SubjectMask::fromProbability(frame, probabilityOf(covered));
    return mask.ok() ? mask.value() : SubjectMask();
}

QPainterPath ellipse(const QRectF &rect)
{
    QPainterPath path;
    path.addEllipse(rect);
    return path;
}

QPainterPath rectangle(const QRectF &rect)
{
    QPainterPath path;
    path.addRect(rect);
    return path;
}

// A frame with `shapes` painted in their colours on the pale gradient, with the grain of a camera
// (the same every time).
QImage frameWith(const QList<std::pair<QPainterPath, QColor>> &shapes)
{
    QImage frame = TestImages::gradient(frameSize);
    {
        QPainter painter(&frame);
        painter.setRenderHint(QPainter::Antialiasing);
        for (const auto &[path, color] : shapes)
            painter.fillPath(path, color);
    }
    quint32 seed = 12345;
    for (int y = 0; y < frame.height(); ++y) {
        uchar *row = frame.scanLine(y);
        for (int x = 0; x < 4 * frame.width(); ++x) {
            if (x % 4 == 3)
                continue;
            seed = seed * 1664525u + 1013904223u;
            const int grain = int((seed >> 24) % 25) - 12;
            row[x] = uchar(std::clamp(row[x] + grain, 0, 255));
        }
    }
    return frame;
}

QImage solidOfCutOut(const QImage &cutOut);

// The pixels of a mask's merged cut-out at least half opaque.
QImage solidOf(const SubjectMask &mask)
{
    QList<int> all;
    for (int i = 0; i < mask.instanceCount(); ++i)
        all << i;
    const Result<QImage> cutOut = mask.maskedImage(all, false);
    if (!cutOut.ok() || cutOut.value().isNull()) {
        QImage none(mask.frameSize(), QImage::Format_Grayscale8);
        none.fill(0);
        return none;
    }
    return solidOfCutOut(cutOut.value());
}

// The pixels of a cut-out at least half opaque.
QImage solidOfCutOut(const QImage &cutOut)
{
    QImage solid(cutOut.size(), QImage::Format_Grayscale8);
    for (int y = 0; y < solid.height(); ++y) {
        const uchar *in = cutOut.constScanLine(y);
        uchar *out = solid.scanLine(y);
        for (int x = 0; x < solid.width(); ++x)
            out[x] = in[4 * x + 3] >= 128 ? 255 : 0;
    }
    return solid;
}

QImage solidOf(const QPainterPath &path)
{
    QImage solid(frameSize, QImage::Format_Grayscale8);
    solid.fill(0);
    QPainter painter(&solid);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.fillPath(path, Qt::white);
    painter.end();
    for (int y = 0; y < solid.height(); ++y) {
        uchar *row = solid.scanLine(y);
        for (int x = 0; x < solid.width(); ++x)
            row[x] = row[x] >= 128 ? 255 : 0;
    }
    return solid;
}

int count(const QImage &solid)
{
    int n = 0;
    for (int y = 0; y < solid.height(); ++y) {
        const uchar *row = solid.constScanLine(y);
        for (int x = 0; x < solid.width(); ++x)
            n += row[x] ? 1 : 0;
    }
    return n;
}

// Pixels set in `a` and not in `b`, as a mask.
QImage minus(const QImage &a, const QImage &b)
{
    QImage result = a.copy();
    for (int y = 0; y < a.height(); ++y) {
        uchar *row = result.scanLine(y);
        const uchar *other = b.constScanLine(y);
        for (int x = 0; x < a.width(); ++x)
            row[x] = row[x] && !other[x] ? 255 : 0;
    }
    return result;
}

double intersectionOverUnion(const QImage &a, const QImage &b)
{
    int both = 0, either = 0;
    for (int y = 0; y < a.height(); ++y) {
        const uchar *p = a.constScanLine(y);
        const uchar *q = b.constScanLine(y);
        for (int x = 0; x < a.width(); ++x) {
            both += p[x] && q[x] ? 1 : 0;
            either += p[x] || q[x] ? 1 : 0;
        }
    }
    return either ? double(both) / either : 1.0;
}

// A rough stroke: the path through `points`, wobbling across it by `wobble` pixels.
QList<QPointF> roughStroke(const QList<QPointF> &points, double wobble)
{
    QList<QPointF> stroke;
    for (qsizetype i = 0; i + 1 < points.size(); ++i) {
        const QPointF a = points.at(i), b = points.at(i + 1);
        const QPointF along = b - a;
        const double length = std::hypot(along.x(), along.y());
        const QPointF across(-along.y() / length, along.x() / length);
        for (int step = 0; step < 12; ++step) {
            const double t = step / 12.0;
            stroke << a + t * along + across * (wobble * std::sin(step * 1.7 + i));
        }
    }
    stroke << points.last();
    return stroke;
}

QImage strokeArea(const QList<QPointF> &stroke, double diameter)
{
    QImage solid(frameSize, QImage::Format_Grayscale8);
    solid.fill(0);
    QPainter painter(&solid);
    QPainterPath path(stroke.first());
    for (const QPointF &point : stroke)
        path.lineTo(point);
    painter.strokePath(path, QPen(Qt::white, diameter, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.end();
    return solid;
}

const QColor skin(214, 150, 110);

} // namespace

// Corrections of a lifting at the frame's full resolution, on masks made from known model outputs.
class MaskEditingTest : public QObject
{
    Q_OBJECT

private slots:
    // Dropping the second of two subjects leaves the first one's cut-out byte for byte, and the
    // editor's changes never reach the mask it started from.
    void droppingASubjectKeepsTheOther()
    {
        const QPainterPath disc = ellipse(QRectF(60, 80, 240, 260));
        const QPainterPath square = rectangle(QRectF(400, 150, 150, 150));
        const QImage frame = frameWith({{disc, QColor(200, 30, 30)}, {square, QColor(30, 50, 180)}});
        const SubjectMask mask = maskOf(frame, disc + square);
        QCOMPARE(mask.instanceCount(), 2);
        QCOMPARE(mask.instanceAt(QPoint(470, 220)), 1);
        QCOMPARE(mask.instanceAt(QPoint(350, 220), 10), -1);
        QCOMPARE(mask.instanceAt(QPoint(306, 210), 10), 0); // just off the disc, within reach

        SubjectMaskEditor editor(mask);
        editor.dropInstance(editor.instanceAt(QPoint(470, 220), 0));
        const SubjectMask edited = editor.result();
        QCOMPARE(edited.instanceCount(), 1);
        QCOMPARE(edited.maskedImage({0}, false).value(), mask.maskedImage({0}, false).value());
        QCOMPARE(edited.instanceBounds(0), mask.instanceBounds(0));
        QCOMPARE(mask.instanceCount(), 2);
        QVERIFY(mask.maskedImage({1}, false).value().pixelColor(470, 220).alpha() == 255);

        // No change at all gives the same cut-outs.
        const SubjectMaskEditor untouched(mask);
        QCOMPARE(untouched.result().maskedImage({0, 1}, true).value(),
                 mask.maskedImage({0, 1}, true).value());
        // The outline of a subject runs along its border.
        const QList<QPolygon> outline = mask.instanceOutline(1);
        QCOMPARE(outline.size(), 1);
        QVERIFY(outline.first().boundingRect().adjusted(-2, -2, 2, 2).contains(QRect(401, 151, 148, 148)));
    }

    // An erase stroke removes what it covers, with a soft edge, and nothing else; erasing a whole
    // subject removes it from the list.
    void eraseRemovesWhatTheBrushCovers()
    {
        const QPainterPath disc = ellipse(QRectF(60, 80, 300, 300));
        const QPainterPath square = rectangle(QRectF(430, 150, 120, 120));
        const QImage frame = frameWith({{disc, skin}, {square, QColor(30, 50, 180)}});
        const SubjectMask mask = maskOf(frame, disc + square);

        SubjectMaskEditor editor(mask);
        const QList<QPointF> stroke{{100, 230}, {320, 230}};
        editor.erase(stroke, 40);
        const QImage cutOut = editor.result().maskedImage({0}, false).value();
        QCOMPARE(cutOut.pixelColor(210, 230).alpha(), 0);
        QCOMPARE(cutOut.pixelColor(210, 213).alpha(), 0);
        QCOMPARE(cutOut.pixelColor(210, 180).alpha(), 255);
        QCOMPARE(cutOut.pixelColor(210, 280).alpha(), 255);
        // The brush's edge is soft: somewhere across it alpha is neither 0 nor 255.
        int soft = 0;
        for (int y = 200; y < 260; ++y) {
            const int a = cutOut.pixelColor(210, y).alpha();
            soft += a > 0 && a < 255 ? 1 : 0;
        }
        QVERIFY2(soft >= 2, qPrintable(QString::number(soft)));

        editor.erase({{490, 210}}, 200);
        const SubjectMask erased = editor.result();
        QCOMPARE(erased.instanceCount(), 1);
    }

    // A rough restore stroke over an arm the lifting missed restores the arm, not the stroke: the
    // graph cut follows the arm's edges.
    void restoreFollowsTheEdgesInsideTheStroke_data()
    {
        QTest::addColumn<bool>("attached");
        QTest::newRow("arm of the subject") << true;
        QTest::newRow("object on its own") << false;
    }

    void restoreFollowsTheEdgesInsideTheStroke()
    {
        QFETCH(bool, attached);
        const QPainterPath body = ellipse(QRectF(80, 120, 220, 300));
        QPainterPath arm;
        arm.addRoundedRect(attached ? QRectF(290, 230, 190, 36) : QRectF(360, 90, 36, 230), 10, 10);
        const QImage frame = frameWith({{body, skin}, {arm, skin.darker(110)}});
        const SubjectMask mask = maskOf(frame, body);
        QCOMPARE(mask.instanceCount(), 1);

        const QList<QPointF> axis = attached ? QList<QPointF>{{300, 250}, {390, 246}, {474, 250}}
                                             : QList<QPointF>{{376, 96}, {380, 200}, {376, 314}};
        const QList<QPointF> stroke = roughStroke(axis, 9);
        const double diameter = 80;
        SubjectMaskEditor editor(mask);
        QVERIFY(editor.restore(stroke, diameter));
        const SubjectMask restored = editor.result();
        QCOMPARE(restored.instanceCount(), attached ? 1 : 2);

        const QImage added = minus(solidOf(restored), solidOf(mask));
        const QImage truth = minus(solidOf(arm), solidOf(body));
        const double iou = intersectionOverUnion(added, truth);
        const double outside = double(count(minus(added, truth))) / count(strokeArea(stroke, diameter));
        qInfo("restored: IoU %.3f against the arm, %.2f %% of the stroke outside it", iou, 100 * outside);
        QVERIFY(iou >= 0.95);
        QVERIFY(outside <= 0.05);
        // Nothing beyond the brush: the body stays as it was.
        QCOMPARE(minus(solidOf(mask), solidOf(restored)), QImage(minus(solidOf(mask), solidOf(mask))));
    }

    // A stroke amid subjects only, with no background around it to learn from, restores what it
    // covers; a stroke on subjects only restores nothing.
    void restoreWithoutBackgroundAround()
    {
        const QPainterPath body = rectangle(QRectF(40, 40, 560, 400));
        const QImage frame = frameWith({{body, skin}});
        const SubjectMask mask = maskOf(frame, body);
        SubjectMaskEditor editor(mask);
        QVERIFY(!editor.restore({{320, 240}}, 60));
        editor.erase({{320, 240}}, 40);
        QCOMPARE(editor.result().maskedImage({0}, false).value().pixelColor(320, 240).alpha(), 0);
        QVERIFY(editor.restore({{320, 240}}, 60));
        QCOMPARE(editor.result().maskedImage({0}, false).value().pixelColor(320, 240).alpha(), 255);
        QCOMPARE(editor.result().instanceCount(), 1);
    }

    // A band erased across a subject, subject on both sides of it, comes back under a restore
    // stroke along it, whether the background shows around the stroke or not, and whether the
    // restore brush is as wide as the eraser or narrower.
    void restoreBringsBackAnErasedBand_data()
    {
        QTest::addColumn<QRectF>("body");
        QTest::addColumn<double>("eraseDiameter");
        QTest::addColumn<double>("restoreDiameter");
        QTest::newRow("amid the subject") << QRectF(40, 40, 560, 400) << 48.0 << 48.0;
        QTest::newRow("background near") << QRectF(150, 150, 340, 150) << 48.0 << 48.0;
        QTest::newRow("narrower brush") << QRectF(150, 150, 340, 150) << 60.0 << 40.0;
    }

    void restoreBringsBackAnErasedBand()
    {
        QFETCH(QRectF, body);
        QFETCH(double, eraseDiameter);
        QFETCH(double, restoreDiameter);
        const QPainterPath shape = ellipse(body);
        const QImage frame = frameWith({{shape, skin}});
        const SubjectMask mask = maskOf(frame, shape);
        const QPointF centre = body.center();
        const QList<QPointF> stroke{centre - QPointF(0.2 * body.width(), 0),
                                    centre + QPointF(0.2 * body.width(), 0)};
        SubjectMaskEditor editor(mask);
        editor.erase(stroke, eraseDiameter);
        QCOMPARE(editor.result().maskedImage({0}, false).value().pixelColor(centre.toPoint()).alpha(), 0);
        QVERIFY(editor.restore(stroke, restoreDiameter));
        const SubjectMask restored = editor.result();
        QCOMPARE(restored.instanceCount(), 1);
        const QImage back = minus(strokeArea(stroke, restoreDiameter - 4), solidOf(restored));
        QCOMPARE(count(back), 0);
        // Nothing beyond the subject: the restored pixels lie inside it.
        QCOMPARE(count(minus(solidOf(restored), solidOf(shape))), 0);
    }

    // A rough box around a figure the lifting missed adds the figure, as a new subject, and takes in
    // a part of it the lifting had found; a subject passing behind the box stays its own.
    void boxAddsTheFigureInside()
    {
        QPainterPath figure;
        figure.addEllipse(QRectF(300, 70, 60, 64));                // head
        figure.addRoundedRect(QRectF(280, 130, 100, 150), 18, 18); // torso
        figure.addRoundedRect(QRectF(286, 270, 36, 150), 12, 12);  // legs
        figure.addRoundedRect(QRectF(338, 270, 36, 150), 12, 12);
        figure = figure.simplified();
        const QPainterPath post = rectangle(QRectF(470, 0, 24, 480));
        const QPainterPath head = ellipse(QRectF(300, 70, 60, 64));
        QImage frame = frameWith({{post, QColor(70, 70, 80)}, {figure, QColor(40, 90, 160)}});
        {
            QPainter painter(&frame);
            painter.setRenderHint(QPainter::Antialiasing);
            painter.fillPath(head, skin);
        }
        const SubjectMask mask = maskOf(frame, post + head);
        QCOMPARE(mask.instanceCount(), 2);

        SubjectMaskEditor editor(mask);
        QVERIFY(editor.addInBox(QRect(QPoint(262, 52), QPoint(402, 436))));
        const SubjectMask added = editor.result();
        QCOMPARE(added.instanceCount(), 2); // the post, then the figure with its head
        const QImage cut = added.maskedImage({1}, false).value();
        const QImage mine = solidOfCutOut(cut);
        const double iou = intersectionOverUnion(mine, solidOf(figure));
        qInfo("added by box: IoU %.3f against the figure", iou);
        QVERIFY(iou >= 0.9);
        QCOMPARE(added.maskedImage({0}, false).value(), mask.maskedImage({0}, false).value());

        // The same box twice gives the same cut, byte for byte.
        SubjectMaskEditor again(mask);
        QVERIFY(again.addInBox(QRect(QPoint(262, 52), QPoint(402, 436))));
        QCOMPARE(again.result().maskedImage({1}, false).value(), cut);

        // A box on plain background, and one too small, find nothing.
        SubjectMaskEditor empty(mask);
        QVERIFY(!empty.addInBox(QRect(20, 300, 2, 2)));
    }
};

QUINTAREL_TEST(MaskEditingTest)
#include "MaskEditingTest.moc"
