#pragma once

#include <QList>
#include <QString>

#include <optional>

// The file format of exported images; stored by its raw value. PNG unless the user chooses WebP
// (lossless, with its transparency).
enum class ImageFormat { Png, WebP };

namespace ImageFormats {

// In the order the export panel offers them.
QList<ImageFormat> all();
QString rawValue(ImageFormat format);
// No format for a text that is none of the raw values (the comparison is case-sensitive).
std::optional<ImageFormat> fromRawValue(const QString &raw);
// "PNG", "WebP".
QString displayName(ImageFormat format);
// The file name extension, dot included: ".png", ".webp".
QString extension(ImageFormat format);

} // namespace ImageFormats
