#include "PipelineImages.h"
#include "TestRegistry.h"

#include "services/AnnotationGeometry.h"
#include "services/AnnotationRenderer.h"

#include <QColorSpace>
#include <QTest>

using namespace PipelineImages;

namespace {

Annotation annotation(AnnotationKind kind, QPointF start, QPointF end, double lineWidth)
{
    Annotation result;
    result.kind = kind;
    result.start = start;
    result.end = end;
    result.r = 1.0;
    result.g = 0.0;
    result.b = 0.0;
    result.a = 1.0;
    result.lineWidth = lineWidth;
    return result;
}

QImage whiteFrame(const QColorSpace &space = QColorSpace(QColorSpace::SRgb))
{
    QImage frame(1920, 1080, QImage::Format_RGBA8888_Premultiplied);
    frame.fill(Qt::white);
    frame.setColorSpace(space);
    return frame;
}

bool isRed(const QImage &image, int x, int y)
{
    const std::array<int, 4> pixel = raw(image, x, y);
    return pixel[0] > 200 && pixel[1] < 120 && pixel[2] < 120;
}

bool isWhite(const QImage &image, int x, int y)
{
    return raw(image, x, y) == std::array<int, 4>{255, 255, 255, 255};
}

} // namespace

class AnnotationRendererTest : public QObject
{
    Q_OBJECT

private slots:
    void arrowHasShaftAndOpenHead()
    {
        // lw = 0.002 × 1920 = 3.84; head length 3.5 × 3.84 = 13.44; the tip is at (960, 108).
        const QImage drawn = AnnotationRenderer::draw(
            whiteFrame(), {annotation(AnnotationKind::Arrow, {0.1, 0.1}, {0.5, 0.1}, 0.002)});
        QCOMPARE(drawn.size(), QSize(1920, 1080));
        QVERIFY(isRed(drawn, 300, 108));
        QVERIFY(isWhite(drawn, 300, 100));
        // y is measured from the top: nothing near the bottom.
        QVERIFY(isWhite(drawn, 300, 1080 - 108));
        // The head's sides end 13.44 pixels back from the tip, 0.45 rad above and below the shaft.
        QVERIFY(isRed(drawn, 948, 102));
        QVERIFY(isRed(drawn, 948, 113));
        QVERIFY(isWhite(drawn, 950, 98));
        QVERIFY(isWhite(drawn, 950, 118));
        QVERIFY(isWhite(drawn, 944, 96));
        // Nothing beyond the tip's round cap.
        QVERIFY(isWhite(drawn, 964, 108));
    }

    void shortArrowHeadKeepsItsMinimumLength()
    {
        const Annotation arrow = annotation(AnnotationKind::Arrow, {0.1, 0.1}, {0.5, 0.1}, 0.002);
        // 1000 pixels wide: lw = 2, 3.5 × 2 = 7 is below the minimum of 8.
        QCOMPARE(AnnotationGeometry::strokeWidth(arrow, QSizeF(1000, 500)), 2.0);
        QCOMPARE(AnnotationGeometry::headLength(2.0), 8.0);
        const QRectF bounds = AnnotationGeometry::shapePath(arrow, QSizeF(1000, 500)).boundingRect();
        QCOMPARE(bounds.left(), 100.0);
        QCOMPARE(bounds.right(), 500.0);
        QVERIFY(qAbs(bounds.top() - (50 - 8 * std::sin(0.45))) < 1e-9);
        QVERIFY(qAbs(bounds.bottom() - (50 + 8 * std::sin(0.45))) < 1e-9);
    }

    void circleIsInscribedInTheBoxOfItsPoints_data()
    {
        QTest::addColumn<QPointF>("start");
        QTest::addColumn<QPointF>("end");
        QTest::newRow("top-left to bottom-right") << QPointF(0.4, 0.4) << QPointF(0.6, 0.6);
        QTest::newRow("bottom-right to top-left") << QPointF(0.6, 0.6) << QPointF(0.4, 0.4);
        QTest::newRow("bottom-left to top-right") << QPointF(0.4, 0.6) << QPointF(0.6, 0.4);
    }

    void circleIsInscribedInTheBoxOfItsPoints()
    {
        QFETCH(QPointF, start);
        QFETCH(QPointF, end);
        // Box x 768..1152, y 432..648: an ellipse wider than tall.
        const QImage drawn =
            AnnotationRenderer::draw(whiteFrame(), {annotation(AnnotationKind::Circle, start, end, 0.003)});
        QVERIFY(isRed(drawn, 768, 540));
        QVERIFY(isRed(drawn, 1151, 540));
        QVERIFY(isRed(drawn, 960, 432));
        QVERIFY(isRed(drawn, 960, 647));
        QVERIFY(isWhite(drawn, 960, 540));
        QVERIFY(isWhite(drawn, 780, 540));
        QVERIFY(isWhite(drawn, 960, 445));
        // The box's corner lies off the ellipse.
        QVERIFY(isWhite(drawn, 770, 434));
    }

    void zeroWidthStillDrawsOnePixel()
    {
        const double y = 540.5 / 1080.0; // the middle of row 540
        const QImage drawn = AnnotationRenderer::draw(
            whiteFrame(), {annotation(AnnotationKind::Line, {0.1, y}, {0.9, y}, 0.0)});
        QVERIFY(isRed(drawn, 960, 540));
        QVERIFY(isWhite(drawn, 960, 538));
        QVERIFY(isWhite(drawn, 960, 542));
        QVERIFY(isWhite(drawn, 150, 540));
    }

    void laterAnnotationsCoverEarlierOnesAndKeepOpacity()
    {
        QImage clear(200, 100, QImage::Format_RGBA8888_Premultiplied);
        clear.fill(Qt::transparent);
        Annotation under = annotation(AnnotationKind::Line, {0.0, 0.5}, {1.0, 0.5}, 0.05);
        Annotation over = under;
        over.id = QUuid::createUuid();
        over.r = 0.0;
        over.b = 1.0;
        over.a = 0.5;
        over.start = {0.5, 0.0};
        over.end = {0.5, 1.0};
        const QImage drawn = AnnotationRenderer::draw(clear, {under, over});
        QCOMPARE(raw(drawn, 20, 50), (std::array<int, 4>{255, 0, 0, 255}));
        const std::array<int, 4> half = raw(drawn, 100, 10);
        QVERIFY(std::abs(half[3] - 128) <= 1 && std::abs(half[2] - 128) <= 1 && half[0] == 0);
        // Where they cross, blue at half opacity over red.
        const std::array<int, 4> crossing = raw(drawn, 100, 50);
        QVERIFY(std::abs(crossing[0] - 127) <= 2 && std::abs(crossing[2] - 128) <= 2 && crossing[3] == 255);
    }

    void keepsTheImagesColourSpace()
    {
        const QImage frame = whiteFrame(QColorSpace(QColorSpace::DisplayP3));
        const QImage drawn =
            AnnotationRenderer::draw(frame, {annotation(AnnotationKind::Line, {0.1, 0.5}, {0.9, 0.5}, 0.01)});
        QCOMPARE(drawn.colorSpace(), QColorSpace(QColorSpace::DisplayP3));
        QCOMPARE(drawn.size(), frame.size());
        // sRGB red is inside Display P3: its P3 values have some green and blue.
        const std::array<int, 4> red = raw(drawn, 960, 540);
        QVERIFY2(red[0] > 200 && red[1] > 30 && red[1] < 80, qPrintable(QString::number(red[1])));
    }

    void noAnnotationsGiveTheInput()
    {
        const QImage frame = whiteFrame();
        QCOMPARE(AnnotationRenderer::draw(frame, {}).cacheKey(), frame.cacheKey());
    }
};

QUINTAREL_TEST(AnnotationRendererTest)
#include "AnnotationRendererTest.moc"
