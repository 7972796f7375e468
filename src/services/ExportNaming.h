#pragma once

#include "support/MediaTime.h"

#include <QString>

// The names an export puts on disk.
namespace ExportNaming {

// A group name made fit for a folder: "/", "\" and ":" become "-", white space and line breaks
// at both ends go; "Sans-nom" when nothing is left. Everything else stays as typed.
QString folderName(const QString &groupName);

// "<video>_hh-mm-ss-mmm.png", for an image of all subjects of a frame.
QString mergedFileName(const QString &videoName, const MediaTime &time);

// "<video>_hh-mm-ss-mmm_s<n>.png", for the n-th subject (from 1) of a frame.
QString subjectFileName(const QString &videoName, const MediaTime &time, int subjectNumber);

// The group's Markdown description: its folder name + ".md".
QString markdownFileName(const QString &groupName);

} // namespace ExportNaming
