#include "PipelineImages.h"
#include "TestRegistry.h"

#include "services/EdgeProcessingService.h"

#include <QTest>

#include <cmath>
#include <limits>

using namespace PipelineImages;

class EdgeProcessingTest : public QObject
{
    Q_OBJECT

private slots:
    // A subject filling the whole image: along the middle row the canvas reads, from its edge,
    // transparent pixels, then the ring, then the subject.
    void outlineGrowsTheCanvasAroundARing_data()
    {
        QTest::addColumn<double>("width");
        QTest::addColumn<QColor>("color");
        QTest::addColumn<int>("margin");
        QTest::addColumn<int>("ringPixels");
        QTest::newRow("width 5") << 5.0 << QColor(0, 0, 255) << 7 << 5;
        QTest::newRow("width 5, half-transparent") << 5.0 << QColor(0, 0, 255, 128) << 7 << 5;
        QTest::newRow("width 0") << 0.0 << QColor(0, 0, 255) << 2 << 0;
        QTest::newRow("width 2.5") << 2.5 << QColor(255, 255, 0) << 5 << 2;
        QTest::newRow("width 12") << 12.0 << QColor(255, 0, 255) << 14 << 12;
        QTest::newRow("negative width") << -4.0 << QColor(0, 0, 255) << 2 << 0;
    }

    void outlineGrowsTheCanvasAroundARing()
    {
        QFETCH(double, width);
        QFETCH(QColor, color);
        QFETCH(int, margin);
        QFETCH(int, ringPixels);
        const QImage subject = cutOut(QSize(100, 80), QRect(0, 0, 100, 80), QColor(0, 200, 0));
        const QImage outlined = EdgeProcessingService().addOutline(subject, width, color);
        QCOMPARE(outlined.size(), QSize(100 + 2 * margin, 80 + 2 * margin));

        const int alpha = color.alpha();
        const std::array<int, 4> ring{color.red() * alpha / 255, color.green() * alpha / 255,
                                      color.blue() * alpha / 255, alpha};
        const int middleY = outlined.height() / 2;
        for (int d = 0; d < margin; ++d) {
            // d pixels in from the left and right edges of the canvas, and from top and bottom.
            const bool inRing = margin - d <= ringPixels;
            for (const QPoint point : {QPoint(d, middleY), QPoint(outlined.width() - 1 - d, middleY),
                                       QPoint(outlined.width() / 2, d)}) {
                const std::array<int, 4> pixel = raw(outlined, point.x(), point.y());
                if (!inRing) {
                    QCOMPARE(pixel[3], 0);
                    continue;
                }
                for (int c = 0; c < 4; ++c)
                    QVERIFY2(std::abs(pixel[c] - ring[c]) <= 1,
                             qPrintable(QStringLiteral("at %1,%2").arg(point.x()).arg(point.y())));
            }
        }
        // The subject itself is drawn over the ring, unchanged.
        QCOMPARE(raw(outlined, margin, middleY), (std::array<int, 4>{0, 200, 0, 255}));
        QCOMPARE(raw(outlined, outlined.width() / 2, outlined.height() - 1 - margin),
                 (std::array<int, 4>{0, 200, 0, 255}));
    }

    void outlineIsRoundAtCorners_data()
    {
        QTest::addColumn<double>("width");
        QTest::addColumn<int>("outside");
        QTest::addColumn<int>("inside");
        // The subject's corner is at (width + 2, width + 2): (3, 3) is 5.7 pixels from (7, 7), (4, 4) 4.2.
        QTest::newRow("width 5") << 5.0 << 3 << 4;
        // (5, 5) is 12.7 pixels from (14, 14), (6, 6) 11.3.
        QTest::newRow("width 12") << 12.0 << 5 << 6;
    }

    void outlineIsRoundAtCorners()
    {
        QFETCH(double, width);
        QFETCH(int, outside);
        QFETCH(int, inside);
        const QImage subject = cutOut(QSize(100, 80), QRect(0, 0, 100, 80), Qt::white);
        const QImage outlined = EdgeProcessingService().addOutline(subject, width, Qt::red);
        QCOMPARE(alphaAt(outlined, outside, outside), 0);
        QCOMPARE(alphaAt(outlined, inside, inside), 255);
        QCOMPARE(alphaAt(outlined, outlined.width() - 1 - outside, outlined.height() - 1 - outside), 0);
        QCOMPARE(alphaAt(outlined, outlined.width() - 1 - inside, outlined.height() - 1 - inside), 255);
    }

    void outlineFollowsTheSubjectNotTheCanvas()
    {
        const QImage subject = cutOut(QSize(100, 80), QRect(30, 20, 40, 40), Qt::white);
        const QImage outlined = EdgeProcessingService().addOutline(subject, 5.0, Qt::red);
        // Subject spans x 37..76 on the new canvas; the ring reaches x 32..36 and 77..81.
        QCOMPARE(raw(outlined, 34, 50), (std::array<int, 4>{255, 0, 0, 255}));
        QCOMPARE(alphaAt(outlined, 31, 50), 0);
        QCOMPARE(raw(outlined, 81, 50), (std::array<int, 4>{255, 0, 0, 255}));
        QCOMPARE(alphaAt(outlined, 82, 50), 0);
        QCOMPARE(raw(outlined, 50, 50), (std::array<int, 4>{255, 255, 255, 255}));
    }

    void shrinkRemovesCoverageAndKeepsColours_data()
    {
        QTest::addColumn<int>("shrink");
        QTest::newRow("3 pixels") << 3;
        QTest::newRow("10 pixels") << 10;
    }

    void shrinkRemovesCoverageAndKeepsColours()
    {
        QFETCH(int, shrink);
        // A subject with a colour gradient inside, spanning x 20..79, y 20..59.
        QImage subject(100, 80, QImage::Format_RGBA8888_Premultiplied);
        subject.fill(Qt::transparent);
        for (int y = 20; y < 60; ++y) {
            for (int x = 20; x < 80; ++x)
                subject.setPixelColor(x, y, QColor(x * 3, y * 3, 90));
        }
        const QImage shrunk = EdgeProcessingService().cleanEdges(subject, shrink, 0.0);
        QCOMPARE(shrunk.size(), subject.size());
        QCOMPARE(alphaAt(shrunk, 19 + shrink, 40), 0);
        QCOMPARE(alphaAt(shrunk, 20 + shrink, 40), 255);
        QCOMPARE(alphaAt(shrunk, 79 - shrink, 40), 255);
        QCOMPARE(alphaAt(shrunk, 80 - shrink, 40), 0);
        QCOMPARE(alphaAt(shrunk, 50, 19 + shrink), 0);
        QCOMPARE(alphaAt(shrunk, 50, 20 + shrink), 255);
        QCOMPARE(alphaAt(shrunk, 50, 59 - shrink), 255);
        QCOMPARE(alphaAt(shrunk, 50, 60 - shrink), 0);
        for (const QPoint point :
             {QPoint(20 + shrink, 20 + shrink), QPoint(50, 40), QPoint(79 - shrink, 59 - shrink)})
            QCOMPARE(raw(shrunk, point.x(), point.y()), raw(subject, point.x(), point.y()));
    }

    void featherSoftensTheEdgeButNotTheImageBorder()
    {
        // The subject covers the left half and touches the image's top, left and bottom borders.
        const QImage subject = cutOut(QSize(80, 60), QRect(0, 0, 40, 60), QColor(200, 100, 50));
        const QImage feathered = EdgeProcessingService().cleanEdges(subject, 0.0, 4.0);
        QCOMPARE(feathered.size(), subject.size());
        for (const QPoint point : {QPoint(0, 0), QPoint(0, 30), QPoint(20, 0), QPoint(20, 59), QPoint(0, 59)})
            QCOMPARE(raw(feathered, point.x(), point.y()), raw(subject, point.x(), point.y()));

        // Towards the subject's own edge (between x 39 and 40) the coverage ramps down smoothly; the
        // blur only takes coverage away, so nothing appears outside the subject.
        int previous = 256;
        for (int x = 28; x < 52; ++x) {
            const int alpha = alphaAt(feathered, x, 30);
            QVERIFY(alpha <= previous);
            previous = alpha;
        }
        QVERIFY(alphaAt(feathered, 36, 30) > 128 && alphaAt(feathered, 36, 30) < 255);
        QVERIFY(alphaAt(feathered, 39, 30) > 100 && alphaAt(feathered, 39, 30) < 180);
        QCOMPARE(alphaAt(feathered, 40, 30), 0);
        // The colour stays: the soft pixels are the same colour, less covered.
        const QColor soft = feathered.pixelColor(38, 30);
        QVERIFY(std::abs(soft.red() - 200) <= 3 && std::abs(soft.green() - 100) <= 3);
    }

    void featherOfAWholeImageChangesNothing()
    {
        const QImage subject = cutOut(QSize(30, 20), QRect(0, 0, 30, 20), QColor(10, 20, 30));
        const QImage feathered = EdgeProcessingService().cleanEdges(subject, 0.0, 6.0);
        QCOMPARE(feathered, subject);
    }

    void nothingToCleanGivesTheInput()
    {
        const QImage subject = cutOut(QSize(30, 20), QRect(5, 5, 10, 10), Qt::white);
        QCOMPARE(EdgeProcessingService().cleanEdges(subject, 0.0, 0.0).cacheKey(), subject.cacheKey());
        QCOMPARE(EdgeProcessingService().cleanEdges(QImage(), 2.0, 2.0), QImage());
        QCOMPARE(EdgeProcessingService().addOutline(QImage(), 2.0, Qt::red), QImage());
    }

    // Settings no slider gives still come back with an answer, never a crash or a hang.
    void unreasonableSettingsStayHarmless()
    {
        const QImage subject = cutOut(QSize(30, 20), QRect(5, 5, 10, 10), Qt::white);
        const EdgeProcessingService edge;
        const double infinity = std::numeric_limits<double>::infinity();
        const double nan = std::numeric_limits<double>::quiet_NaN();
        const QImage erased = edge.cleanEdges(subject, infinity, 0.0);
        QCOMPARE(erased.size(), subject.size());
        QCOMPARE(alphaAt(erased, 10, 10), 0);
        QCOMPARE(edge.cleanEdges(subject, 6.0, 0.0).size(), subject.size()); // wider than the subject
        QCOMPARE(alphaAt(edge.cleanEdges(subject, 6.0, 0.0), 10, 10), 0);
        QCOMPARE(edge.cleanEdges(subject, nan, infinity).size(), subject.size());
        QCOMPARE(edge.addOutline(subject, nan, Qt::red).size(), QSize(34, 24));
        QCOMPARE(edge.addOutline(subject, infinity, Qt::red).cacheKey(), subject.cacheKey());
        // A ring whose canvas would take gigabytes is not drawn, rather than filled for minutes.
        QCOMPARE(edge.addOutline(subject, 50000.0, Qt::red).cacheKey(), subject.cacheKey());
    }
};

QUINTAREL_TEST(EdgeProcessingTest)
#include "EdgeProcessingTest.moc"
