#include "ImageFormat.h"

QList<ImageFormat> ImageFormats::all()
{
    return {ImageFormat::Png, ImageFormat::WebP};
}

QString ImageFormats::rawValue(ImageFormat format)
{
    switch (format) {
    case ImageFormat::WebP:
        return QStringLiteral("webp");
    case ImageFormat::Png:
        break;
    }
    return QStringLiteral("png");
}

std::optional<ImageFormat> ImageFormats::fromRawValue(const QString &raw)
{
    for (ImageFormat format : all()) {
        if (rawValue(format) == raw)
            return format;
    }
    return std::nullopt;
}

QString ImageFormats::displayName(ImageFormat format)
{
    return format == ImageFormat::WebP ? QStringLiteral("WebP") : QStringLiteral("PNG");
}

QString ImageFormats::extension(ImageFormat format)
{
    return QLatin1Char('.') + rawValue(format);
}
