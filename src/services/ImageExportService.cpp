#include "ImageExportService.h"

#include <QColorSpace>
#include <QImageWriter>
#include <QSaveFile>

std::optional<AppError> ImageExportService::writePNG(const QImage &image, const QString &path) const
{
    // Straight (not premultiplied) 8-bit RGBA, as PNG stores it; the colour values stay those of
    // the image's own colour space.
    QImage pixels = image.convertToFormat(QImage::Format_RGBA8888);
    if (!pixels.colorSpace().isValid())
        pixels.setColorSpace(QColorSpace(QColorSpace::SRgb));

    QSaveFile file(path);
    QImageWriter writer(&file, "png");
    if (!writer.write(pixels))
        return AppError::exportFailed(writer.errorString());
    if (!file.commit())
        return AppError::exportFailed(file.errorString());
    return std::nullopt;
}

std::optional<QString> ImageExportService::writeText(const QString &text, const QString &path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return file.errorString();
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size())
        return file.errorString();
    if (!file.commit())
        return file.errorString();
    return std::nullopt;
}
