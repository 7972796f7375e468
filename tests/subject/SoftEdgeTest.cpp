#include "TestRegistry.h"

#include "platform/SubjectSegmenter.h"

#include <QTest>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

const QSize frameSize(720, 528);
const QPointF discCentre(260, 260);
constexpr double discRadius = 150;

// What the model gives for a frame with one round subject, in the manner of its real output: a
// soft edge a few pixels wide around the subject, a faint halo of the body further out, a faint
// blob elsewhere, and a low haze everywhere, which joins them all. A small square subject sits in
// the lower right.
std::vector<float> probabilityMap()
{
    std::vector<float> map(std::size_t(frameSize.width() * frameSize.height()));
    for (int y = 0; y < frameSize.height(); ++y) {
        for (int x = 0; x < frameSize.width(); ++x) {
            const double r = std::hypot(x - discCentre.x(), y - discCentre.y());
            const double disc = 1.0 / (1.0 + std::exp((r - discRadius) / 2.0));
            const double halo = 0.38 * std::exp(-std::pow((r - discRadius - 40.0) / 12.0, 2));
            const double blob = std::hypot(x - 620.0, y - 90.0) < 30 ? 0.33 : 0.0;
            const double square = QRect(580, 380, 80, 80).contains(x, y) ? 0.97 : 0.0;
            map[std::size_t(y * frameSize.width() + x)] = float(std::max({0.02, disc, halo, blob, square}));
        }
    }
    return map;
}

int alphaAt(const QImage &image, QPointF point)
{
    return image.pixelColor(point.toPoint()).alpha();
}

} // namespace

// The cut-out keeps the soft edge of each subject, and nothing of the model's faint output further
// away: no ghost of the body, no stray blob, and a box that follows what shows.
class SoftEdgeTest : public QObject
{
    Q_OBJECT

private slots:
    void onlyABandAroundEachSubjectStaysSoft()
    {
        QImage frame(frameSize, QImage::Format_RGBA8888_Premultiplied);
        frame.fill(QColor(120, 160, 90));
        const std::vector<float> map = probabilityMap();
        const Result<SubjectMask> mask = SubjectMask::fromProbability(frame, map);
        QVERIFY(mask.ok());
        QCOMPARE(mask.value().instanceCount(), 2);

        const Result<QImage> disc = mask.value().maskedImage({0}, false);
        QVERIFY(disc.ok());
        const QImage &image = disc.value();
        QCOMPARE(alphaAt(image, discCentre), 255);
        // Along a radius: the subject's own edge keeps its ramp of alpha; the halo 40 px out and
        // the haze are gone.
        const auto at = [&](double r) { return alphaAt(image, discCentre + QPointF(r, 0)); };
        QVERIFY2(at(discRadius - 2) > 160 && at(discRadius - 2) < 245,
                 qPrintable(QString::number(at(discRadius - 2))));
        QVERIFY2(at(discRadius + 2) > 10 && at(discRadius + 2) < 128,
                 qPrintable(QString::number(at(discRadius + 2))));
        QCOMPARE(at(discRadius + 40), 0);
        QCOMPARE(at(discRadius + 100), 0);
        QCOMPARE(alphaAt(image, QPointF(620, 90)), 0);
        QCOMPARE(alphaAt(image, QPointF(10, 10)), 0);

        // The box is the disc with its edge, not the frame.
        const QRect box = mask.value().instanceBounds(0);
        const QRect solid =
            QRectF(discCentre.x() - discRadius, discCentre.y() - discRadius, 2 * discRadius, 2 * discRadius)
                .toRect();
        QVERIFY2(
            box.contains(solid.adjusted(1, 1, -1, -1)) && solid.adjusted(-20, -20, 20, 20).contains(box),
            qPrintable(
                QStringLiteral("%1,%2 %3x%4").arg(box.x()).arg(box.y()).arg(box.width()).arg(box.height())));
        // The square keeps its own box too.
        QVERIFY(QRect(560, 360, 120, 120).contains(mask.value().instanceBounds(1)));
    }
};

QUINTAREL_TEST(SoftEdgeTest)
#include "SoftEdgeTest.moc"
