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

namespace {

// The bytes of `image` in `format` ("png", "webp"), straight (not premultiplied) 8-bit RGBA with
// its transparency; none when it cannot be encoded. The colour values stay those of the image's own
// colour space, sRGB when it has none, and the pixel density is fixed (72 dpi), so that the file
// does not depend on the screen of the machine that wrote it, or on there being one.
std::optional<QByteArray> encoded(const QImage &image, const char *format, int quality)
{
    QImage pixels = image.convertToFormat(QImage::Format_RGBA8888);
    if (pixels.isNull())
        return std::nullopt;
    if (!pixels.colorSpace().isValid())
        pixels.setColorSpace(QColorSpace(QColorSpace::SRgb));
    pixels.setDotsPerMeterX(exportDotsPerMeter);
    pixels.setDotsPerMeterY(exportDotsPerMeter);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, format);
    writer.setQuality(quality);
    if (!writer.write(pixels))
        return std::nullopt;
    return bytes;
}

// Lossless WebP bytes of `image`: Qt's WebP writer is lossless at the highest quality.
std::optional<QByteArray> encodedWebP(const QImage &image)
{
    return encoded(image, "webp", 100);
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

std::optional<QByteArray> ImageExportService::encodedPNG(const QImage &image)
{
    // The writer's default quality: its default compression.
    return encoded(image, "png", -1);
}

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
