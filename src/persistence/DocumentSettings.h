#pragma once

#include "models/EdgeOptions.h"
#include "models/FilterStyle.h"
#include "models/ImageFormat.h"
#include "persistence/SettingList.h"

#include <QByteArray>
#include <QString>
#include <QUrl>
#include <QtGlobal>

#include <optional>

// The settings a window saves in its project file with its captures. Each is declared here once
// (see SettingList); the document, its undo steps and the project file take everything else from
// the declaration.

// Which setting changed.
enum class DocumentSetting { OutputFolder, CropToSubject, SelectedFilter, ImageFormat, EdgeOptions };

// Where exports go; empty when none is chosen. Stored as a bookmark; a folder that no longer exists
// leaves the current one in place.
struct OutputFolderSetting : PlainSetting<QUrl>
{
    static constexpr DocumentSetting key = DocumentSetting::OutputFolder;
    static constexpr const char *member = "outputFolderBookmark";
    using Stored = std::optional<QByteArray>;
    static Type defaultValue() { return {}; }
    static Stored stored(const Type &folder);
    static Type fromStored(const Stored &bookmark, const Type &current);
    static constexpr const char *stepText =
        QT_TRANSLATE_NOOP("DocumentSettings", "choix du dossier de sortie");
    static constexpr const char *actionText =
        QT_TRANSLATE_NOOP("DocumentSettings", "le choix du dossier de sortie");
};

// Whether exported images are cut to their subject.
struct CropToSubjectSetting : PlainSetting<bool>
{
    static constexpr DocumentSetting key = DocumentSetting::CropToSubject;
    static constexpr const char *member = "cropToSubject";
    static Type defaultValue() { return false; }
    static constexpr const char *stepText = QT_TRANSLATE_NOOP("DocumentSettings", "recadrage sur le sujet");
    static constexpr const char *actionText =
        QT_TRANSLATE_NOOP("DocumentSettings", "le recadrage sur le sujet");
};

// The drawing style of the preview and the exports, stored by its raw value; a style this program
// does not know reads as none.
struct SelectedFilterSetting : PlainSetting<FilterStyle>
{
    static constexpr DocumentSetting key = DocumentSetting::SelectedFilter;
    static constexpr const char *member = "filter";
    using Stored = QString;
    static Type defaultValue() { return FilterStyle::None; }
    static Stored stored(Type style) { return FilterStyles::rawValue(style); }
    static Type fromStored(const Stored &raw, Type)
    {
        return FilterStyles::fromRawValue(raw).value_or(FilterStyle::None);
    }
    static constexpr const char *stepText = QT_TRANSLATE_NOOP("DocumentSettings", "choix du style");
    static constexpr const char *actionText = QT_TRANSLATE_NOOP("DocumentSettings", "le choix du style");
};

// The exported images' file format, stored by its raw value and left out for PNG, so that such a
// project is written as before the choice existed; a format this program does not know reads as PNG.
struct ImageFormatSetting : PlainSetting<ImageFormat>
{
    static constexpr DocumentSetting key = DocumentSetting::ImageFormat;
    static constexpr const char *member = "imageFormat";
    using Stored = std::optional<QString>;
    static Type defaultValue() { return ImageFormat::Png; }
    static Stored stored(Type format);
    static Type fromStored(const Stored &raw, Type);
    static constexpr const char *stepText = QT_TRANSLATE_NOOP("DocumentSettings", "choix du format");
    static constexpr const char *actionText = QT_TRANSLATE_NOOP("DocumentSettings", "le choix du format");
};

// The edge settings; the changes of one slider drag are one step. Those read from a file are brought
// into the ranges the controls offer.
struct EdgeOptionsSetting : PlainSetting<EdgeOptions>
{
    static constexpr DocumentSetting key = DocumentSetting::EdgeOptions;
    static constexpr const char *member = "edge";
    static constexpr bool continuous = true;
    static Type defaultValue() { return {}; }
    static Type limited(const Type &options) { return options.limited(); }
    static constexpr const char *stepText = QT_TRANSLATE_NOOP("DocumentSettings", "réglage des contours");
    static constexpr const char *actionText =
        QT_TRANSLATE_NOOP("DocumentSettings", "le réglage des contours");
};

// The names of a setting's undo step (its `stepText` and `actionText`) in the user's language.
QString settingText(const char *text);

// In the order in which they are read from a project file.
using ProjectSettings = SettingList<OutputFolderSetting, CropToSubjectSetting, SelectedFilterSetting,
                                    ImageFormatSetting, EdgeOptionsSetting>;
using DocumentSettings = ProjectSettings::Values;
using StoredSettings = ProjectSettings::Stored;
