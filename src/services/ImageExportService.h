#pragma once

#include "models/ImageFormat.h"
#include "support/AppError.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <optional>

// Writes finished pictures and texts to disk. Each file appears whole or not at all: the data goes
// to a temporary file that replaces the target only once completely written. The writing operations
// are virtual so that an export can be handed another writer (the tests hand it failing ones).
class ImageExportService
{
public:
    virtual ~ImageExportService() = default;

    // Writes an 8-bit RGBA PNG with its transparency, carrying the image's colour space as an
    // embedded profile (sRGB when it has none). Does not create folders. On failure (a full disk,
    // a missing folder, no permission), an export error saying in French which file and why; a file
    // already at `path` is then left as it was.
    virtual std::optional<AppError> writePNG(const QImage &image, const QString &path) const;

    // The PNG bytes writePNG() writes for `image`; none when it cannot be encoded.
    static std::optional<QByteArray> encodedPNG(const QImage &image);

    // Writes the image in `format`: PNG as writePNG() does; WebP lossless, with its transparency and
    // the same pixel density. The same failures as writePNG().
    virtual std::optional<AppError> writeImage(const QImage &image, const QString &path,
                                               ImageFormat format) const;
    // Whether this program can write images in `format`: PNG always; WebP when Qt's image format
    // plugin is there and really keeps every pixel and the transparency (checked once, on a small
    // image written and read back).
    static bool canWrite(ImageFormat format);

    // Writes the text in UTF-8, replacing any file of that name. On failure, the French
    // description of what went wrong, and the old file stays.
    virtual std::optional<QString> writeText(const QString &text, const QString &path) const;
};
