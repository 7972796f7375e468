#include "PipelineImages.h"
#include "PixelBlocks.h"
#include "TestRegistry.h"

#include "models/AnnotationGeometry.h"
#include "models/AnnotationShape.h"
#include "models/AnnotationShapes.h"
#include "models/TextShape.h"
#include "services/AnnotationRenderer.h"

#include <QColorSpace>
#include <QJsonObject>
#include <QSemaphore>
#include <QTest>
#include <QThreadPool>

using namespace PipelineImages;

namespace {

Annotation annotation(const QString &kind, QPointF start, QPointF end, double lineWidth)
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
            whiteFrame(), {annotation(QStringLiteral("arrow"), {0.1, 0.1}, {0.5, 0.1}, 0.002)});
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
        const Annotation arrow = annotation(QStringLiteral("arrow"), {0.1, 0.1}, {0.5, 0.1}, 0.002);
        // 1000 pixels wide: lw = 2, 3.5 × 2 = 7 is below the minimum of 8.
        QCOMPARE(AnnotationGeometry::strokeWidth(arrow, QSizeF(1000, 500)), 2.0);
        QCOMPARE(AnnotationGeometry::headLength(2.0), 8.0);
        const QRectF bounds = arrow.shape().path(arrow, QSizeF(1000, 500)).boundingRect();
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
            AnnotationRenderer::draw(whiteFrame(), {annotation(QStringLiteral("circle"), start, end, 0.003)});
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
            whiteFrame(), {annotation(QStringLiteral("line"), {0.1, y}, {0.9, y}, 0.0)});
        QVERIFY(isRed(drawn, 960, 540));
        QVERIFY(isWhite(drawn, 960, 538));
        QVERIFY(isWhite(drawn, 960, 542));
        QVERIFY(isWhite(drawn, 150, 540));
    }

    void laterAnnotationsCoverEarlierOnesAndKeepOpacity()
    {
        QImage clear(200, 100, QImage::Format_RGBA8888_Premultiplied);
        clear.fill(Qt::transparent);
        Annotation under = annotation(QStringLiteral("line"), {0.0, 0.5}, {1.0, 0.5}, 0.05);
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
        const QImage drawn = AnnotationRenderer::draw(
            frame, {annotation(QStringLiteral("line"), {0.1, 0.5}, {0.9, 0.5}, 0.01)});
        QCOMPARE(drawn.colorSpace(), QColorSpace(QColorSpace::DisplayP3));
        QCOMPARE(drawn.size(), frame.size());
        // sRGB red is inside Display P3: its P3 values have some green and blue.
        const std::array<int, 4> red = raw(drawn, 960, 540);
        QVERIFY2(red[0] > 200 && red[1] > 30 && red[1] < 80, qPrintable(QString::number(red[1])));
    }

    void rectanglesAreOutlinedOrFilledAtTheirOpacity()
    {
        // 200 × 100: lw = 0.02 × 200 = 4 pixels, centred on the box from (40, 20) to (160, 80).
        QImage clear(200, 100, QImage::Format_RGBA8888_Premultiplied);
        clear.fill(Qt::transparent);
        Annotation outline = annotation(QStringLiteral("rectangle"), {0.8, 0.8}, {0.2, 0.2}, 0.02);
        QImage drawn = AnnotationRenderer::draw(clear, {outline});
        QCOMPARE(raw(drawn, 40, 50), (std::array<int, 4>{255, 0, 0, 255}));
        QCOMPARE(raw(drawn, 100, 79), (std::array<int, 4>{255, 0, 0, 255}));
        QCOMPARE(alphaAt(drawn, 100, 50), 0);
        QCOMPARE(alphaAt(drawn, 35, 50), 0);

        Annotation filled = outline;
        filled.filled = true;
        filled.a = 0.5;
        drawn = AnnotationRenderer::draw(clear, {filled});
        const std::array<int, 4> inside = raw(drawn, 100, 50);
        QVERIFY(std::abs(inside[3] - 128) <= 1 && std::abs(inside[0] - 128) <= 1 && inside[1] == 0);
        // The fill covers the box, not a stroke's width beyond it.
        QCOMPARE(alphaAt(drawn, 38, 50), 0);
        QCOMPARE(alphaAt(drawn, 100, 82), 0);
    }

    void aPenFollowsItsPathSmoothly()
    {
        // An L through (20, 20), (180, 20), (180, 80): the corner is rounded off, the ends are kept.
        QImage clear(200, 100, QImage::Format_RGBA8888_Premultiplied);
        clear.fill(Qt::transparent);
        Annotation stroke = AnnotationShapes::find(QStringLiteral("pen"))->begin({0.1, 0.2});
        stroke.points << QPointF(0.9, 0.2) << QPointF(0.9, 0.8);
        stroke.lineWidth = 0.02;
        const QImage drawn = AnnotationRenderer::draw(clear, {stroke});
        QCOMPARE(raw(drawn, 20, 20), (std::array<int, 4>{255, 0, 0, 255}));
        QCOMPARE(raw(drawn, 180, 79), (std::array<int, 4>{255, 0, 0, 255}));
        // The middle of the first segment is on the curve; the sharp corner is not.
        QCOMPARE(alphaAt(drawn, 60, 20), 255);
        QCOMPARE(alphaAt(drawn, 180, 20), 0);
        QCOMPARE(alphaAt(drawn, 100, 60), 0);
    }

    void aHighlighterLetsWhatIsUnderItShow()
    {
        // Black text on white under a yellow highlighter: the white turns yellowish, the black stays
        // black, and the transparent part of a cut-out gets the highlighter's own colour.
        QImage frame(200, 100, QImage::Format_RGBA8888_Premultiplied);
        frame.fill(Qt::white);
        for (int y = 40; y < 60; ++y)
            for (int x = 90; x < 110; ++x)
                frame.setPixelColor(x, y, Qt::black);
        for (int y = 40; y < 60; ++y)
            for (int x = 0; x < 20; ++x)
                frame.setPixelColor(x, y, Qt::transparent);
        Annotation band = AnnotationShapes::find(QStringLiteral("highlighter"))->begin({0.0, 0.5});
        band.points << QPointF(1.0, 0.5);
        band.r = 1.0;
        band.g = 1.0;
        band.b = 0.0;
        band.lineWidth = 0.02; // 4 pixels of line width: a band 20 pixels high
        const QImage drawn = AnnotationRenderer::draw(frame, {band});
        QCOMPARE(raw(drawn, 100, 50), (std::array<int, 4>{0, 0, 0, 255}));
        const std::array<int, 4> lit = raw(drawn, 50, 50);
        QVERIFY(lit[0] == 255 && lit[1] == 255 && lit[2] < 200 && lit[2] > 100);
        QCOMPARE(raw(drawn, 50, 30), (std::array<int, 4>{255, 255, 255, 255}));
        const std::array<int, 4> alone = raw(drawn, 10, 50);
        QVERIFY(alone[3] > 80 && alone[3] < 120 && alone[2] == 0);
    }

    // The box becomes squares of 1/40 of the width on a grid anchored at the picture's corner, each
    // of one colour, at full size and at a preview's; nothing beyond the box changes.
    void aPixelatedBoxHidesTheWordsUnderIt_data()
    {
        QTest::addColumn<QSize>("size");
        QTest::newRow("full size") << QSize(800, 200);
        QTest::newRow("preview") << QSize(200, 50);
        QTest::newRow("odd width") << QSize(333, 77);
    }

    void aPixelatedBoxHidesTheWordsUnderIt()
    {
        QFETCH(QSize, size);
        const QImage typed = PixelBlocks::typedLine(size);
        // From a sixteenth of the width, in the middle of a block.
        const Annotation box = annotation(QStringLiteral("pixelate"), {0.0625, 0.1}, {0.94, 0.9}, 0.006);
        const QImage drawn = AnnotationRenderer::draw(typed, {box});
        const QRect area = box.shape().path(box, size).boundingRect().toRect();
        const double block = size.width() / 40.0;
        QVERIFY(PixelBlocks::colourCount(typed, area) > 2);
        const QRect mixed = PixelBlocks::firstMixedCell(drawn, area, block);
        QVERIFY2(mixed.isEmpty(), qPrintable(QStringLiteral("cell at %1, %2").arg(mixed.x()).arg(mixed.y())));
        // The words leave grey blocks, not a blank.
        QVERIFY(PixelBlocks::colourCount(drawn, area) > 2);
        for (const QPoint outside : {QPoint(area.left() - 1, size.height() / 2), QPoint(area.right() + 2, 5),
                                     QPoint(size.width() / 2, 0)})
            QCOMPARE(raw(drawn, outside.x(), outside.y()), raw(typed, outside.x(), outside.y()));
    }

    // What is under the box, the annotations drawn before it included, is what it shows in blocks;
    // those drawn after it lie over it.
    void aPixelatedBoxShowsTheAnnotationsBeneathIt()
    {
        QImage white(400, 200, QImage::Format_RGBA8888_Premultiplied);
        white.fill(Qt::white);
        Annotation beneath = annotation(QStringLiteral("rectangle"), {0.0, 0.0}, {0.5, 1.0}, 0.01);
        beneath.filled = true;
        beneath.r = 0.0;
        beneath.b = 1.0;
        const Annotation box = annotation(QStringLiteral("pixelate"), {0.25, 0.25}, {0.75, 0.75}, 0.01);
        const Annotation over = annotation(QStringLiteral("line"), {0.25, 0.5}, {0.75, 0.5}, 0.01);
        const QImage drawn = AnnotationRenderer::draw(white, {beneath, box, over});
        QCOMPARE(raw(drawn, 120, 60), (std::array<int, 4>{0, 0, 255, 255}));
        QVERIFY(isWhite(drawn, 280, 60));
        QVERIFY(isRed(drawn, 150, 100) && isRed(drawn, 250, 100));
        // Drawn first, it has nothing but the white picture to show.
        const QImage first = AnnotationRenderer::draw(white, {box, beneath});
        QVERIFY(isWhite(first, 280, 60));
        QCOMPARE(raw(first, 120, 60), (std::array<int, 4>{0, 0, 255, 255}));
    }

    // On one subject cut out of its frame, a box falls where it falls on the whole frame, in the
    // same blocks.
    void aPixelatedBoxOnAPartKeepsTheWholePicturesGrid()
    {
        const QSize whole(400, 100);
        const QImage typed = PixelBlocks::typedLine(whole);
        const Annotation box = annotation(QStringLiteral("pixelate"), {0.05, 0.2}, {0.9, 0.8}, 0.01);
        const QRect part(37, 13, 250, 70);
        const QImage onPart = AnnotationRenderer::drawOnPart(typed.copy(part), {box}, part, whole);
        const QImage onWhole = AnnotationRenderer::draw(typed, {box}).copy(part);
        const QRect area = box.shape().path(box, whole).boundingRect().toRect().translated(-part.topLeft());
        const QRect mixed = PixelBlocks::firstMixedCell(onPart, area, 10.0, -part.topLeft());
        QVERIFY2(mixed.isEmpty(), qPrintable(QStringLiteral("cell at %1, %2").arg(mixed.x()).arg(mixed.y())));
        // The cells wholly inside the part hold what they hold on the whole frame.
        const QRect inner = QRect(QPoint(50, 20), QPoint(279, 79)).translated(-part.topLeft());
        QCOMPARE(onPart.copy(inner), onWhole.copy(inner));
        // The words outside the box, on the part, are untouched.
        QCOMPARE(raw(onPart, 0, 0), raw(typed, part.left(), part.top()));
    }

    // A large picture is painted in two bands at once from the main thread, and in one from a pool
    // thread (an export): the pixels are the same, with every kind across the middle, a pixelated
    // box among them reading what lies under it, on a whole picture and on a part of one.
    void picturesPaintedInBandsMatchOnePiece_data()
    {
        QTest::addColumn<QSize>("whole");
        QTest::addColumn<QRect>("part");
        QTest::newRow("1080p") << QSize(1920, 1080) << QRect(0, 0, 1920, 1080);
        QTest::newRow("odd rows") << QSize(1283, 967) << QRect(0, 0, 1283, 967);
        QTest::newRow("part of 4K") << QSize(3840, 2160) << QRect(301, 517, 1500, 901);
    }

    void picturesPaintedInBandsMatchOnePiece()
    {
        QFETCH(QSize, whole);
        QFETCH(QRect, part);
        const QImage typed = PixelBlocks::typedLine(whole).copy(part);
        QList<Annotation> annotations;
        for (const AnnotationShape *shape : AnnotationShapes::all()) {
            // Each across the middle rows, the later ones further right.
            const double x = 0.05 + 0.08 * double(annotations.size());
            Annotation drawn = shape->begin({x, 0.3});
            for (int step = 1; step <= 8; ++step)
                shape->extend(drawn, {x + 0.02 * step, 0.3 + 0.05 * step});
            drawn.r = 0.1 * double(annotations.size());
            drawn.g = 0.6;
            drawn.a = annotations.size() % 2 ? 1.0 : 0.55;
            drawn.lineWidth = 0.004;
            drawn.filled = annotations.size() % 3 == 0;
            if (shape->holdsText()) {
                drawn.text = QStringLiteral("Au milieu\ndeux lignes");
                drawn.start = {0.3, 0.4};
                TextShape::fit(drawn, double(whole.width()) / whole.height());
            }
            annotations << drawn;
        }
        // A second pixelated box, on the others, and one more arrow over it.
        Annotation box = annotation(QStringLiteral("pixelate"), {0.1, 0.35}, {0.95, 0.62}, 0.01);
        annotations << box << annotation(QStringLiteral("arrow"), {0.2, 0.1}, {0.7, 0.9}, 0.006);

        const QImage banded = AnnotationRenderer::drawOnPart(typed, annotations, part, whole);
        QImage onePiece;
        QSemaphore done;
        QThreadPool::globalInstance()->start([&] {
            onePiece = AnnotationRenderer::drawOnPart(typed, annotations, part, whole);
            done.release();
        });
        done.acquire();
        QCOMPARE(banded.size(), part.size());
        QVERIFY(banded != typed);
        QCOMPARE(banded, onePiece);
    }

    // A text's words fill its box, in its colour, at every size alike; on a box of its colour they
    // are white.
    void aTextFillsItsBoxAtEverySize()
    {
        Annotation text = annotation(QStringLiteral("text"), {0.1, 0.2}, {0.1, 0.2}, 0.01);
        text.text = QStringLiteral("Entrée\nsortie");
        TextShape::fit(text, 2.0);
        QRect inked[2];
        for (int i = 0; i < 2; ++i) {
            QImage white(400 * (i + 1), 200 * (i + 1), QImage::Format_RGBA8888_Premultiplied);
            white.fill(Qt::white);
            const QImage drawn = AnnotationRenderer::draw(white, {text});
            QRect ink;
            for (int y = 0; y < drawn.height(); ++y) {
                for (int x = 0; x < drawn.width(); ++x) {
                    if (!isWhite(drawn, x, y))
                        ink |= QRect(x, y, 1, 1);
                }
            }
            inked[i] = ink;
            const QRectF box = text.shape().path(text, white.size()).boundingRect();
            QVERIFY(box.adjusted(-1, -1, 1, 1).contains(QRectF(ink)));
            // The words take most of the box: its margin is a fraction of a letter.
            QVERIFY(ink.width() > 0.8 * box.width() && ink.height() > 0.6 * box.height());
        }
        QVERIFY(std::abs(inked[1].width() - 2 * inked[0].width()) <= 2);
        QVERIFY(std::abs(inked[1].top() - 2 * inked[0].top()) <= 2);

        text.filled = true;
        QImage white(400, 200, QImage::Format_RGBA8888_Premultiplied);
        white.fill(Qt::white);
        const QImage boxed = AnnotationRenderer::draw(white, {text});
        const QPoint corner = text.shape().path(text, white.size()).boundingRect().topLeft().toPoint();
        QCOMPARE(raw(boxed, corner.x() + 2, corner.y() + 2), (std::array<int, 4>{255, 0, 0, 255}));
        int whiteInside = 0;
        const QRect area =
            text.shape().path(text, white.size()).boundingRect().toRect().adjusted(2, 2, -2, -2);
        for (int y = area.top(); y <= area.bottom(); ++y) {
            for (int x = area.left(); x <= area.right(); ++x)
                whiteInside += isWhite(boxed, x, y) ? 1 : 0;
        }
        QVERIFY(whiteInside > 50);
    }

    void unreadAnnotationsDrawNothing()
    {
        const QImage frame = whiteFrame();
        const std::optional<Annotation> future = Annotation::fromJson(
            QJsonObject{{"id", "6F9619FF-8B86-D011-B42D-00C04FC964FF"}, {"kind", "sticker"}, {"text", "x"}});
        QVERIFY(future && future->isUnread());
        QCOMPARE(AnnotationRenderer::draw(frame, {*future}), frame);
    }

    void noAnnotationsGiveTheInput()
    {
        const QImage frame = whiteFrame();
        QCOMPARE(AnnotationRenderer::draw(frame, {}).cacheKey(), frame.cacheKey());
    }
};

QUINTAREL_TEST(AnnotationRendererTest)
#include "AnnotationRendererTest.moc"
