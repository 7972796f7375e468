#pragma once

#include <QFont>
#include <QPainterPath>
#include <QSizeF>
#include <QString>

// The typeface of the words drawn on pictures (texts, the numbers of markers): DejaVu Sans, loaded
// from its file rather than found by the system's font matching, so that a picture is drawn the same
// on every machine. Words are laid out once at a reference size and scaled, so that a picture drawn
// at any size places every letter alike.
namespace TextFont {

// The pixel size words are laid out at; their outlines are scaled from it.
inline constexpr double referenceSize = 100.0;

// Loads the typeface file; called at start, and by the first use otherwise. Safe to call again.
void load();
// The typeface at the reference size, hinting off (the system's stand-in when the file is missing).
QFont font();

// Words laid out at the reference size: the outlines of their letters, line after line (lines
// parted by "\n"), the first line's top at 0, and the extent of the lines.
struct Layout
{
    QPainterPath outlines;
    QSizeF extent;
};
Layout layout(const QString &text);

} // namespace TextFont
