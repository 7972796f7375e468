#include "TestRegistry.h"

#include "platform/ForegroundEstimation.h"
#include "services/ExtractRenderer.h"

#include <QColorSpace>
#include <QTest>

#include <algorithm>
#include <cmath>

namespace {

// A subject whose true colours and coverage are known, lifted from a frame where it stands over
// a saturated green: a soft-edged body with fine strands of hair above it.
struct GroundTruth
{
    QSize size{400, 300};

    // The subject's own colour, smooth, warm.
    std::array<double, 3> foreground(int x, int y) const
    {
        return {0.85 - 0.3 * x / size.width(), 0.55 + 0.2 * y / size.height(), 0.25};
    }
    std::array<double, 3> background(int x, int y) const
    {
        return {0.05 + 0.1 * x / size.width(), 0.8, 0.1 + 0.15 * y / size.height()};
    }
    double alpha(int x, int y) const
    {
        // The body: an ellipse whose border ramps over six pixels.
        const double dx = (x + 0.5 - 200.0) / 110.0, dy = (y + 0.5 - 190.0) / 90.0;
        const double fromBorder = (1.0 - std::hypot(dx, dy)) * 90.0;
        double body = std::clamp(fromBorder / 6.0 + 0.5, 0.0, 1.0);
        // Strands rising from the top of the head, each about two pixels wide, never opaque.
        double strands = 0.0;
        if (y >= 40 && y < 110) {
            for (int k = 0; k < 12; ++k) {
                const double centre = 130.0 + 12.0 * k + 6.0 * std::sin((y + 7 * k) / 11.0);
                strands = std::max(strands, 0.75 * (1.0 - std::abs(x + 0.5 - centre) / 1.5));
            }
        }
        return std::max(body, strands);
    }

    // The frame's bytes where the subject stands: foreground and background mixed by alpha.
    int frameByte(int x, int y, int c) const
    {
        const double a = alpha(x, y);
        return int(std::lround(255.0 * (a * foreground(x, y)[c] + (1.0 - a) * background(x, y)[c])));
    }

    // The cut-out as lifting makes it: the frame's bytes scaled by the coverage, premultiplied.
    QImage cutOut() const
    {
        QImage image(size, QImage::Format_RGBA8888_Premultiplied);
        image.setColorSpace(QColorSpace::SRgb);
        for (int y = 0; y < size.height(); ++y) {
            uchar *row = image.scanLine(y);
            for (int x = 0; x < size.width(); ++x) {
                const int a = int(std::lround(255.0 * alpha(x, y)));
                for (int c = 0; c < 3; ++c)
                    row[4 * x + c] = uchar((frameByte(x, y, c) * a + 127) / 255);
                row[4 * x + 3] = uchar(a);
            }
        }
        return image;
    }
};

// Colour errors over the soft edge against the true foreground, in bytes.
struct EdgeError
{
    double visible = 0; // of the premultiplied colour, as laid over any background
    double strong = 0;  // of the colour itself, where alpha is at least a tenth
};

EdgeError edgeError(const GroundTruth &truth, const QImage &cutOut)
{
    double visible = 0, coverage = 0, strong = 0;
    int strongPixels = 0;
    for (int y = 0; y < cutOut.height(); ++y) {
        const uchar *row = cutOut.constScanLine(y);
        for (int x = 0; x < cutOut.width(); ++x) {
            const int a = row[4 * x + 3];
            if (a == 0 || a == 255)
                continue;
            const std::array<double, 3> f = truth.foreground(x, y);
            for (int c = 0; c < 3; ++c) {
                visible += std::abs(row[4 * x + c] - a * f[c]);
                if (a >= 26)
                    strong += std::abs(255.0 * row[4 * x + c] / a - 255.0 * f[c]);
            }
            coverage += 3.0 * a;
            strongPixels += a >= 26 ? 3 : 0;
        }
    }
    return {255.0 * visible / coverage, strong / strongPixels};
}

} // namespace

class EdgeColoursTest : public QObject
{
    Q_OBJECT

private slots:
    // The soft edge loses the green of the background it was lifted from: its colours come within a
    // third of today's error of the subject's own, while every opaque and every transparent pixel
    // keeps its bytes.
    void softEdgeTakesTheSubjectsOwnColour()
    {
        const GroundTruth truth;
        const QImage lifted = truth.cutOut();
        const QImage cleaned = ForegroundEstimation::cleanedEdgeColours(lifted);
        QCOMPARE(cleaned.size(), lifted.size());
        QCOMPARE(cleaned.format(), QImage::Format_RGBA8888_Premultiplied);
        QCOMPARE(cleaned.colorSpace(), lifted.colorSpace());

        int softPixels = 0;
        for (int y = 0; y < lifted.height(); ++y) {
            const auto *before = reinterpret_cast<const quint32 *>(lifted.constScanLine(y));
            const auto *after = reinterpret_cast<const quint32 *>(cleaned.constScanLine(y));
            for (int x = 0; x < lifted.width(); ++x) {
                const int a = lifted.constScanLine(y)[4 * x + 3];
                QCOMPARE(cleaned.constScanLine(y)[4 * x + 3], uchar(a));
                if (a == 0 || a == 255)
                    QVERIFY2(before[x] == after[x], qPrintable(QStringLiteral("at %1,%2").arg(x).arg(y)));
                else
                    ++softPixels;
            }
        }
        QVERIFY(softPixels > 2000);

        const EdgeError today = edgeError(truth, lifted);
        const EdgeError now = edgeError(truth, cleaned);
        qInfo("soft-edge colour error, visible: %.2f -> %.2f; where alpha >= 0.1: %.2f -> %.2f",
              today.visible, now.visible, today.strong, now.strong);
        QVERIFY(today.visible > 10.0); // the fringe is there to remove
        QVERIFY(now.visible <= today.visible / 3.0);
        QVERIFY(now.strong <= today.strong / 3.0);

        // The same input gives the same bytes: exports made twice are identical.
        QCOMPARE(ForegroundEstimation::cleanedEdgeColours(lifted), cleaned);
    }

    // The renderer of previews and exports passes the cut-out through untouched by default, and
    // cleans the edge colours when the settings ask for it.
    void renderingFollowsTheSetting()
    {
        const QImage lifted = GroundTruth().cutOut();
        const ExtractRenderer renderer{nullptr, nullptr};
        EdgeOptions params;
        QVERIFY(!params.cleanColors);
        QCOMPARE(renderer.render(lifted, FilterStyle::None, params), lifted);
        params.cleanColors = true;
        const QImage cleaned = renderer.render(lifted, FilterStyle::None, params);
        QCOMPARE(cleaned, ForegroundEstimation::cleanedEdgeColours(lifted));
        QVERIFY(cleaned != lifted);
    }

    // Nothing to clean: a hard-edged cut-out, a blank one, no image.
    void hardEdgesAndBlankImagesPassThrough()
    {
        QImage hard(64, 48, QImage::Format_RGBA8888_Premultiplied);
        hard.fill(Qt::transparent);
        for (int y = 10; y < 30; ++y) {
            for (int x = 12; x < 40; ++x)
                hard.setPixelColor(x, y, QColor(20, 200, 90));
        }
        QCOMPARE(ForegroundEstimation::cleanedEdgeColours(hard), hard);

        QImage blank(32, 32, QImage::Format_RGBA8888_Premultiplied);
        blank.fill(Qt::transparent);
        QCOMPARE(ForegroundEstimation::cleanedEdgeColours(blank), blank);
        QVERIFY(ForegroundEstimation::cleanedEdgeColours(QImage()).isNull());
    }

    // A soft pixel alone in a corner, and a one-pixel image: the smallest pyramids.
    void tinySoftImages()
    {
        QImage corner(5, 3, QImage::Format_RGBA8888_Premultiplied);
        corner.fill(Qt::transparent);
        corner.setPixelColor(0, 0, QColor(200, 40, 40, 128));
        const QImage cleaned = ForegroundEstimation::cleanedEdgeColours(corner);
        QCOMPARE(cleaned.pixelColor(0, 0).alpha(), 128);
        QVERIFY(qAbs(cleaned.pixelColor(0, 0).red() - 200) <= 4);

        QImage single(1, 1, QImage::Format_RGBA8888_Premultiplied);
        single.fill(QColor(10, 20, 250, 60));
        QCOMPARE(ForegroundEstimation::cleanedEdgeColours(single).pixelColor(0, 0).alpha(), 60);
    }
};

QUINTAREL_TEST(EdgeColoursTest)
#include "EdgeColoursTest.moc"
