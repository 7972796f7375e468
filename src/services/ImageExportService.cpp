#include "ImageExportService.h"

#include "platform/CheckedFile.h"

#include <QBuffer>
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
