#pragma once

#include "support/MediaTime.h"

#include <QString>
#include <QStringList>

// The Markdown text written beside a group's images: its name, its notes and one entry per image.
namespace ExportMarkdown {

// "- [file](file) — mm:ss.mmm", followed by "\n  > note" when the note, put on one line and
// trimmed, is not empty. No final line break. A name that holds a space, a parenthesis, an angle
// bracket or a backslash is written "(<file>)" as its target, so that it still links to the file;
// brackets, "<" and backslashes in the link's text are escaped.
QString imageLine(const QString &fileName, const MediaTime &time, const QString &note);

// The whole file: title, the notes paragraph when there are notes, then "## Images" and the entries
// (or "_Aucune image_"). Ends with a line break.
QString markdown(const QString &groupName, const QString &groupNotes, const QStringList &imageLines);

} // namespace ExportMarkdown
