#include "PipelineImages.h"
#include "TestRegistry.h"

#include "services/EdgeProcessingService.h"
#include "services/ExtractRenderer.h"
#include "services/ImageFilterService.h"

#include <QPainter>
#include <QSet>
#include <QTest>

using namespace PipelineImages;

Q_DECLARE_METATYPE(FilterStyle)

namespace {

// A striped disc with a half-transparent rim, on a transparent background.
QImage stripedSubject()
{
    QImage image(120, 90, QImage::Format_RGBA8888_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(230, 220, 200));
    painter.drawEllipse(QPointF(60, 45), 36, 36);
    painter.setBrush(QColor(30, 40, 60));
    for (int x = 30; x < 90; x += 12)
        painter.drawRect(QRectF(x, 15, 5, 60).intersected(QRectF(28, 13, 64, 64)));
    painter.end();
    return image;
}

// Distinct values of one channel along a row or column, and how many runs of equal values it has.
QPair<int, int> bands(const QImage &image, int channel, bool alongRow, int at)
{
    QSet<int> values;
    int runs = 0;
    int previous = -1;
    const int length = alongRow ? image.width() : image.height();
    for (int i = 0; i < length; ++i) {
        const int value = alongRow ? raw(image, i, at)[channel] : raw(image, at, i)[channel];
        values << value;
        if (value != previous)
            ++runs;
        previous = value;
    }
    return {int(values.size()), runs};
}

} // namespace

class StyleFilterTest : public QObject
{
    Q_OBJECT

private slots:
    void everyStyleKeepsTheSize_data()
    {
        QTest::addColumn<FilterStyle>("style");
        QTest::addColumn<QImage>("image");
        for (const FilterStyle style : FilterStyles::all()) {
            const QByteArray name = FilterStyles::rawValue(style).toUtf8();
            QTest::newRow(name + " subject") << style << stripedSubject();
            QTest::newRow(name + " odd size") << style << cutOut(QSize(37, 23), QRect(3, 2, 30, 19), Qt::red);
            QTest::newRow(name + " one pixel") << style << cutOut(QSize(1, 1), QRect(0, 0, 1, 1), Qt::blue);
            QTest::newRow(name + " blank") << style << cutOut(QSize(40, 30), QRect(), Qt::red);
            QTest::newRow(name + " subject at the border")
                << style << cutOut(QSize(50, 40), QRect(0, 0, 25, 40), QColor(20, 200, 90));
        }
    }

    void everyStyleKeepsTheSize()
    {
        QFETCH(FilterStyle, style);
        QFETCH(QImage, image);
        const QImage styled = ImageFilterService().apply(style, image);
        QCOMPARE(styled.size(), image.size());
        // Nothing appears where the input is transparent, and no pixel gains coverage.
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x)
                QVERIFY(alphaAt(styled, x, y) <= alphaAt(image, x, y));
        }
    }

    void noneIsTheVeryImage()
    {
        const QImage image = stripedSubject();
        QCOMPARE(ImageFilterService().apply(FilterStyle::None, image).cacheKey(), image.cacheKey());
    }

    void sketchDrawsDarkLinesInsideTheSilhouetteOnly()
    {
        const QImage subject = stripedSubject();
        const QImage sketch = ImageFilterService().apply(FilterStyle::Sketch, subject);
        int lines = 0, clear = 0;
        for (int y = 0; y < subject.height(); ++y) {
            for (int x = 0; x < subject.width(); ++x) {
                const std::array<int, 4> pixel = raw(sketch, x, y);
                if (alphaAt(subject, x, y) == 0)
                    QCOMPARE(pixel[3], 0);
                QVERIFY(pixel[0] == 0 && pixel[1] == 0 && pixel[2] == 0); // lines are black
                if (pixel[3] == 255)
                    ++lines;
                else if (pixel[3] == 0 && alphaAt(subject, x, y) == 255)
                    ++clear;
            }
        }
        // The stripes' edges are drawn; the flat insides of stripes and gaps are left transparent.
        QVERIFY2(lines > 200, qPrintable(QString::number(lines)));
        QVERIFY2(clear > 1000, qPrintable(QString::number(clear)));
        // The middle of a flat stripe gap (x 36..41) carries no line; its edge at x 35 does.
        QCOMPARE(alphaAt(sketch, 38, 45), 0);
        QVERIFY(alphaAt(sketch, 35, 45) > 0 || alphaAt(sketch, 36, 45) > 0);
    }

    void posterOfAGradientHasSixBandsPerChannel()
    {
        QImage gradient(256, 256, QImage::Format_RGBA8888_Premultiplied);
        for (int y = 0; y < 256; ++y) {
            for (int x = 0; x < 256; ++x)
                gradient.setPixelColor(x, y, QColor(x, y, 255 - x));
        }
        const QImage poster = ImageFilterService().apply(FilterStyle::Poster, gradient);
        QCOMPARE(bands(poster, 0, true, 100), qMakePair(6, 6));
        QCOMPARE(bands(poster, 1, false, 100), qMakePair(6, 6));
        QCOMPARE(bands(poster, 2, true, 7), qMakePair(6, 6));
        // The bands span the whole range.
        QCOMPARE(raw(poster, 0, 0)[0], 0);
        QCOMPARE(raw(poster, 255, 0)[0], 255);
    }

    void posterKeepsPartialCoverageOfStraightColours()
    {
        // Half-covered red of straight value 200: posterised to 204 (band 5 of 6), then covered by half.
        QImage image = cutOut(QSize(4, 4), QRect(0, 0, 4, 4), QColor(200, 0, 0, 128));
        const QImage poster = ImageFilterService().apply(FilterStyle::Poster, image);
        const std::array<int, 4> pixel = raw(poster, 1, 1);
        QCOMPARE(pixel[3], 128);
        QVERIFY2(std::abs(pixel[0] - 204 * 128 / 255) <= 1, qPrintable(QString::number(pixel[0])));
    }

    void comicInksEdgesOverAnOpaqueSubject()
    {
        const QImage subject = stripedSubject();
        const QImage comic = ImageFilterService().apply(FilterStyle::Comic, subject);
        QCOMPARE(comic.size(), subject.size());
        for (int y = 0; y < subject.height(); ++y) {
            for (int x = 0; x < subject.width(); ++x)
                QVERIFY(std::abs(alphaAt(comic, x, y) - alphaAt(subject, x, y)) <= 1);
        }
        // The edge between a light gap and a dark stripe (x 41 | 42) is inked black.
        int darkest = 255;
        for (int x = 39; x <= 44; ++x)
            darkest = std::min(darkest, raw(comic, x, 45)[1]);
        QVERIFY2(darkest < 40, qPrintable(QString::number(darkest)));
        // Away from edges the light colour stays light.
        QVERIFY(raw(comic, 37, 30)[1] > 120);
    }

    void renderWithNothingToDoGivesTheInput()
    {
        const ImageFilterService filter;
        const EdgeProcessingService edge;
        const QImage subject = stripedSubject();
        const QImage rendered =
            ExtractRenderer{&filter, &edge}.render(subject, FilterStyle::None, EdgeOptions{});
        QCOMPARE(rendered.cacheKey(), subject.cacheKey());
    }

    // The outline comes last: its ring is the plain outline colour, never stylised, and the canvas
    // grows by width + 2 even for width 0.
    void renderDrawsTheOutlineAfterTheStyle_data()
    {
        QTest::addColumn<FilterStyle>("style");
        QTest::addColumn<double>("width");
        QTest::newRow("sketch") << FilterStyle::Sketch << 4.0;
        QTest::newRow("comic") << FilterStyle::Comic << 4.0;
        QTest::newRow("poster") << FilterStyle::Poster << 4.0;
        QTest::newRow("poster width 0") << FilterStyle::Poster << 0.0;
    }

    void renderDrawsTheOutlineAfterTheStyle()
    {
        QFETCH(FilterStyle, style);
        QFETCH(double, width);
        const ImageFilterService filter;
        const EdgeProcessingService edge;
        const QImage subject = cutOut(QSize(60, 40), QRect(10, 10, 40, 20), QColor(90, 90, 90));
        EdgeOptions params;
        params.outline = true;
        params.outlineWidth = width;
        params.outlineColor = RgbaColor(0.0, 1.0, 0.0, 1.0);
        const QImage rendered = ExtractRenderer{&filter, &edge}.render(subject, style, params);
        const int margin = int(width) + 2;
        QCOMPARE(rendered.size(), subject.size() + QSize(2 * margin, 2 * margin));
        if (width > 0) {
            // Two pixels left of the subject's left edge, on its middle row.
            QCOMPARE(raw(rendered, margin + 8, margin + 20), (std::array<int, 4>{0, 255, 0, 255}));
        }
    }
};

QUINTAREL_TEST(StyleFilterTest)
#include "StyleFilterTest.moc"
