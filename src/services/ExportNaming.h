#pragma once

#include "models/ImageFormat.h"
#include "support/MediaTime.h"

#include <QString>
#include <QStringList>

// The names an export puts on disk.
namespace ExportNaming {

// A group name made fit for a folder: "/", "\" and ":" become "-", white space and line breaks
// at both ends go; "Sans-nom" when nothing is left. Everything else stays as typed.
QString folderName(const QString &groupName);

// The folders of groups exported side by side, one per group name, in order: each group's
// folderName, made safe and distinct. "." and ".." become "Sans-nom"; a name already given to an
// earlier group, letter case aside, gets " (2)", " (3)"… (the first that no group's own name
// takes); a name too long for the file system is shortened.
QStringList distinctFolderNames(const QStringList &groupNames);

// "<video>_hh-mm-ss-mmm.png", for an image of all subjects of a frame (".webp" in WebP).
QString mergedFileName(const QString &videoName, const MediaTime &time,
                       ImageFormat format = ImageFormat::Png);

// "<video>_hh-mm-ss-mmm_s<n>.png", for the n-th subject (from 1) of a frame (".webp" in WebP).
QString subjectFileName(const QString &videoName, const MediaTime &time, int subjectNumber,
                        ImageFormat format = ImageFormat::Png);

// The n-th file of one name in a folder: the name itself for the first, then "<name> (n).png".
QString numbered(const QString &fileName, int number);

// The group's Markdown description: its folder's name (from distinctFolderNames) + ".md".
QString markdownFileName(const QString &folder);

} // namespace ExportNaming
