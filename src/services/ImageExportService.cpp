#include "ImageExportService.h"

#include "platform/CheckedFile.h"

#include <QBuffer>
#include <QColor>
#include <QColorSpace>
#include <QCoreApplication>
#include <QImageWriter>

namespace {

// 72 dots per inch.
constexpr int exportDotsPerMeter = 2835;

} // namespace

std::optional<QByteArray> ImageExportService::encodedPNG(const QImage &image)
{
    // Straight (not premultiplied) 8-bit RGBA, as PNG stores it; the colour values stay those of
    // the image's own colour space.
    QImage pixels = image.convertToFormat(QImage::Format_RGBA8888);
    if (pixels.isNull())
        return std::nullopt;
    if (!pixels.colorSpace().isValid())
        pixels.setColorSpace(QColorSpace(QColorSpace::SRgb));
    // A fixed pixel density (72 dpi), so that the file does not depend on the screen of the
    // machine that wrote it, or on there being one.
    pixels.setDotsPerMeterX(exportDotsPerMeter);
    pixels.setDotsPerMeterY(exportDotsPerMeter);

    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "png");
    if (!writer.write(pixels))
        return std::nullopt;
    return png;
}

namespace {

// Lossless WebP bytes of `image`, with its transparency; none when it cannot be encoded.
std::optional<QByteArray> encodedWebP(const QImage &image)
{
    QImage pixels = image.convertToFormat(QImage::Format_RGBA8888);
    if (pixels.isNull())
        return std::nullopt;
    // Tagged as the PNG is: the image's own colour space, sRGB when it has none.
    if (!pixels.colorSpace().isValid())
        pixels.setColorSpace(QColorSpace(QColorSpace::SRgb));
    pixels.setDotsPerMeterX(exportDotsPerMeter);
    pixels.setDotsPerMeterY(exportDotsPerMeter);
    QByteArray webp;
    QBuffer buffer(&webp);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "webp");
    // Qt's WebP writer is lossless at the highest quality.
    writer.setQuality(100);
    if (!writer.write(pixels))
        return std::nullopt;
    return webp;
}

// Whether WebP written here reads back with the very pixels and transparency it was given.
bool webpKeepsPixels()
{
    QImage probe(7, 5, QImage::Format_RGBA8888);
    probe.setColorSpace(QColorSpace(QColorSpace::SRgb));
    for (int y = 0; y < probe.height(); ++y) {
        for (int x = 0; x < probe.width(); ++x)
            probe.setPixelColor(
                x, y, QColor(x * 37 % 256, y * 51 % 256, (x + y) * 23 % 256, (x * 5 + y) * 9 % 256));
    }
    const std::optional<QByteArray> webp = encodedWebP(probe);
    if (!webp)
        return false;
    const QImage read = QImage::fromData(*webp, "webp");
    const auto visible = [](const QImage &image) {
        return image.convertToFormat(QImage::Format_RGBA8888_Premultiplied);
    };
    return !read.isNull() && read.hasAlphaChannel() && read.colorSpace() == probe.colorSpace() &&
           visible(read) == visible(probe);
}

} // namespace

std::optional<AppError> ImageExportService::writeImage(const QImage &image, const QString &path,
                                                       ImageFormat format) const
{
    if (format == ImageFormat::Png)
        return writePNG(image, path);
    const std::optional<QByteArray> webp = encodedWebP(image);
    if (!webp)
        return AppError::exportFailed(
            QCoreApplication::translate("ImageExportService", "l'image ne peut pas être codée en WebP"));
    if (const std::optional<QString> error = CheckedFile::replace(path, *webp))
        return AppError::exportFailed(*error);
    return std::nullopt;
}

bool ImageExportService::canWrite(ImageFormat format)
{
    if (format == ImageFormat::Png)
        return true;
    static const bool webp = webpKeepsPixels();
    return webp;
}

std::optional<AppError> ImageExportService::writePNG(const QImage &image, const QString &path) const
{
    // Encoded in memory first, so that the file is written in one checked step.
    const std::optional<QByteArray> png = encodedPNG(image);
    if (!png)
        return AppError::exportFailed(
            QCoreApplication::translate("ImageExportService", "l'image ne peut pas être codée en PNG"));
    if (const std::optional<QString> error = CheckedFile::replace(path, *png))
        return AppError::exportFailed(*error);
    return std::nullopt;
}

std::optional<QString> ImageExportService::writeText(const QString &text, const QString &path) const
{
    return CheckedFile::replace(path, text.toUtf8());
}
