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

QString OutputFolderSetting::stepText()
{
    return QCoreApplication::translate("DocumentSettings", "choix du dossier de sortie");
}

QString OutputFolderSetting::actionText()
{
    return QCoreApplication::translate("DocumentSettings", "le choix du dossier de sortie");
}

QString CropToSubjectSetting::stepText()
{
    return QCoreApplication::translate("DocumentSettings", "recadrage sur le sujet");
}

QString CropToSubjectSetting::actionText()
{
    return QCoreApplication::translate("DocumentSettings", "le recadrage sur le sujet");
}

QString SelectedFilterSetting::stepText()
{
    return QCoreApplication::translate("DocumentSettings", "choix du style");
}

QString SelectedFilterSetting::actionText()
{
    return QCoreApplication::translate("DocumentSettings", "le choix du style");
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

QString ImageFormatSetting::stepText()
{
    return QCoreApplication::translate("DocumentSettings", "choix du format");
}

QString ImageFormatSetting::actionText()
{
    return QCoreApplication::translate("DocumentSettings", "le choix du format");
}

QString EdgeOptionsSetting::stepText()
{
    return QCoreApplication::translate("DocumentSettings", "réglage des contours");
}

QString EdgeOptionsSetting::actionText()
{
    return QCoreApplication::translate("DocumentSettings", "le réglage des contours");
}
