#include "TestRegistry.h"

#include "services/ExportNaming.h"
#include "services/ImageExportService.h"

#include <QColor>
#include <QColorSpace>
#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

namespace {

// Every alpha from 0 to 255 over colours that change at each pixel.
QImage ramp()
{
    QImage image(256, 16, QImage::Format_RGBA8888);
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x)
            image.setPixelColor(x, y, QColor((x * 7 + y) % 256, (x * 13) % 256, (y * 31 + x) % 256, x));
    }
    return image.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
}

// What shows of an image: its premultiplied pixels (colours under full transparency do not count),
// whatever colour space it is tagged with.
QImage visible(const QImage &image)
{
    QImage pixels = image.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    pixels.setColorSpace(QColorSpace());
    return pixels;
}

} // namespace

// WebP images are written without loss: what a PNG of the same image shows, with its transparency.
class WebPExportTest : public QObject
{
    Q_OBJECT

private slots:
    void webpIsAvailableHere()
    {
        // The bootstrap installs Qt's image format plugins; the check itself must say so.
        QVERIFY(ImageExportService::canWrite(ImageFormat::WebP));
        QVERIFY(ImageExportService::canWrite(ImageFormat::Png));
    }

    void webpReadsBackWithThePixelsOfThePng()
    {
        QTemporaryDir folder;
        const ImageExportService exporter;
        const QImage image = ramp();
        const QString png = folder.filePath(QStringLiteral("a.png"));
        const QString webp = folder.filePath(QStringLiteral("a.webp"));
        QVERIFY(!exporter.writeImage(image, png, ImageFormat::Png));
        QVERIFY(!exporter.writeImage(image, webp, ImageFormat::WebP));

        QFile file(webp);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        QVERIFY(bytes.startsWith("RIFF") && bytes.mid(8, 4) == "WEBP");

        const QImage fromPng(png);
        const QImage fromWebp(webp);
        QVERIFY(fromWebp.hasAlphaChannel());
        QCOMPARE(fromWebp.size(), image.size());
        QCOMPARE(visible(fromWebp), visible(fromPng));
        QCOMPARE(fromWebp.pixelColor(0, 3).alpha(), 0);
        QCOMPARE(fromWebp.pixelColor(128, 3).alpha(), 128);
        QCOMPARE(fromWebp.pixelColor(255, 3).alpha(), 255);
        // The PNG of the same call is the one writePNG writes.
        QFile pngFile(png);
        QVERIFY(pngFile.open(QIODevice::ReadOnly));
        QCOMPARE(pngFile.readAll(), ImageExportService::encodedPNG(image).value());
    }

    void webpCarriesTheColourSpace_data()
    {
        QTest::addColumn<QColorSpace>("tagged");
        QTest::addColumn<QColorSpace>("expected");
        QTest::newRow("untagged is written as sRGB") << QColorSpace() << QColorSpace(QColorSpace::SRgb);
        QTest::newRow("Display P3 stays P3")
            << QColorSpace(QColorSpace::DisplayP3) << QColorSpace(QColorSpace::DisplayP3);
    }

    void webpCarriesTheColourSpace()
    {
        QFETCH(QColorSpace, tagged);
        QFETCH(QColorSpace, expected);
        QImage image = ramp();
        image.setColorSpace(tagged);
        QTemporaryDir folder;
        const QString webp = folder.filePath(QStringLiteral("a.webp"));
        QVERIFY(!ImageExportService().writeImage(image, webp, ImageFormat::WebP));
        QCOMPARE(QImage(webp).colorSpace(), expected);
    }

    void aFailedWriteKeepsTheOldFile()
    {
        QTemporaryDir folder;
        const QString missing = folder.filePath(QStringLiteral("absent/a.webp"));
        const std::optional<AppError> error =
            ImageExportService().writeImage(ramp(), missing, ImageFormat::WebP);
        QVERIFY(error);
        QVERIFY(error->errorDescription().startsWith(QStringLiteral("Échec de l'export : ")));
        // An image that cannot be encoded at all.
        QVERIFY(ImageExportService().writeImage(QImage(), folder.filePath(QStringLiteral("b.webp")),
                                                ImageFormat::WebP));
        QVERIFY(!QFile::exists(folder.filePath(QStringLiteral("b.webp"))));
    }

    void namesFollowTheFormat()
    {
        const MediaTime time(7525, 100); // 75.25 s
        QCOMPARE(ExportNaming::mergedFileName(QStringLiteral("clip"), time, ImageFormat::WebP),
                 QStringLiteral("clip_00-01-15-250.webp"));
        QCOMPARE(ExportNaming::subjectFileName(QStringLiteral("clip"), time, 2, ImageFormat::WebP),
                 QStringLiteral("clip_00-01-15-250_s2.webp"));
        QCOMPARE(ExportNaming::mergedFileName(QStringLiteral("clip"), time),
                 QStringLiteral("clip_00-01-15-250.png"));
        QCOMPARE(ExportNaming::numbered(QStringLiteral("clip_00-01-15-250.webp"), 2),
                 QStringLiteral("clip_00-01-15-250 (2).webp"));
        QCOMPARE(ImageFormats::fromRawValue(QStringLiteral("webp")), std::optional(ImageFormat::WebP));
        QCOMPARE(ImageFormats::fromRawValue(QStringLiteral("WebP")), std::nullopt);
    }
};

QUINTAREL_TEST(WebPExportTest)
#include "WebPExportTest.moc"
