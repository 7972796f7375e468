#include "DocumentSettings.h"

#include "persistence/FileBookmark.h"

#include <QCoreApplication>

OutputFolderSetting::Stored OutputFolderSetting::stored(const Type &folder)
{
    return FileBookmark::make(folder);
}

OutputFolderSetting::Type OutputFolderSetting::fromStored(const Stored &bookmark, const Type &current)
{
    if (bookmark) {
        if (const std::optional<QUrl> folder = FileBookmark::resolve(*bookmark))
            return *folder;
    }
    return current;
}

ImageFormatSetting::Stored ImageFormatSetting::stored(Type format)
{
    if (format == ImageFormat::Png)
        return std::nullopt;
    return ImageFormats::rawValue(format);
}

ImageFormatSetting::Type ImageFormatSetting::fromStored(const Stored &raw, Type)
{
    if (!raw)
        return ImageFormat::Png;
    return ImageFormats::fromRawValue(*raw).value_or(ImageFormat::Png);
}

QString settingText(const char *text)
{
    return QCoreApplication::translate("DocumentSettings", text);
}
