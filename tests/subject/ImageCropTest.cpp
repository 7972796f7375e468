#include "TestRegistry.h"

#include "services/ImageCrop.h"

#include <QColorSpace>
#include <QTest>

class ImageCropTest : public QObject
{
    Q_OBJECT

    // A transparent 20×10 image with the given pixels set to an opaque-looking colour of that alpha.
    static QImage withAlphas(const QList<QPair<QPoint, int>> &pixels,
                             QImage::Format format = QImage::Format_RGBA8888_Premultiplied)
    {
        QImage image(20, 10, format);
        image.fill(Qt::transparent);
        for (const auto &[point, alpha] : pixels)
            image.setPixelColor(point, QColor(255, 128, 0, alpha));
        image.setColorSpace(QColorSpace::SRgb);
        return image;
    }

private slots:
    void trimsToPixelsAboveTheThreshold_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::addColumn<QRect>("expected");

        QTest::newRow("alpha 9 kept, 8 dropped")
            << withAlphas({{{3, 2}, 9}, {{12, 6}, 9}, {{18, 9}, 8}, {{0, 0}, 8}}) << QRect(3, 2, 10, 5);
        QTest::newRow("single pixel at (10, 4)") << withAlphas({{{10, 4}, 255}}) << QRect(10, 4, 1, 1);
        QTest::newRow("straight alpha format")
            << withAlphas({{{1, 1}, 200}, {{19, 3}, 40}}, QImage::Format_ARGB32) << QRect(1, 1, 19, 3);
        QTest::newRow("corners") << withAlphas({{{0, 0}, 255}, {{19, 9}, 255}}) << QRect(0, 0, 20, 10);
    }

    void trimsToPixelsAboveTheThreshold()
    {
        QFETCH(QImage, image);
        QFETCH(QRect, expected);
        const QImage trimmed = ImageCrop::trimmedToContent(image, 8);
        QCOMPARE(trimmed.size(), expected.size());
        QCOMPARE(trimmed.colorSpace(), image.colorSpace());
        QCOMPARE(trimmed, image.copy(expected));
    }

    void keepsTheInputWhenNothingIsAboveTheThreshold_data()
    {
        QTest::addColumn<QImage>("image");
        QTest::newRow("every alpha at most 8") << withAlphas({{{4, 4}, 8}, {{5, 5}, 1}});
        QTest::newRow("fully transparent") << withAlphas({});
        QTest::newRow("no alpha channel") << QImage(20, 10, QImage::Format_RGB32);
        QTest::newRow("empty") << QImage();
    }

    void keepsTheInputWhenNothingIsAboveTheThreshold()
    {
        QFETCH(QImage, image);
        const QImage trimmed = ImageCrop::trimmedToContent(image, 8);
        QCOMPARE(trimmed.size(), image.size());
        QCOMPARE(trimmed.cacheKey(), image.cacheKey()); // the very same image, not a copy
    }

    void onePixelImageStaysOnePixel()
    {
        QImage pixel(1, 1, QImage::Format_RGBA8888_Premultiplied);
        pixel.fill(Qt::red);
        QCOMPARE(ImageCrop::trimmedToContent(pixel, 8).size(), QSize(1, 1));
    }

    void cutSharesTheInputsPixelsUntilEitherChanges()
    {
        QImage image = withAlphas({{{10, 4}, 255}, {{14, 7}, 255}});
        const QImage trimmed = ImageCrop::trimmedToContent(image, 8);
        QCOMPARE(trimmed.size(), QSize(5, 4));
        QCOMPARE(trimmed.constBits(), image.constBits() + 4 * image.bytesPerLine() + 10 * 4);

        // Changing the input afterwards leaves the cut as it was.
        image.fill(Qt::transparent);
        QCOMPARE(trimmed.pixelColor(0, 0), QColor(255, 128, 0));
        QImage edited = trimmed;
        edited.setPixelColor(0, 0, Qt::blue); // writing detaches a copy of its own
        QCOMPARE(trimmed.pixelColor(0, 0), QColor(255, 128, 0));
    }
};

QUINTAREL_TEST(ImageCropTest)
#include "ImageCropTest.moc"
