#pragma once

#include "models/Annotation.h"

#include <QString>

#include <optional>

class QMimeData;

// Annotations on the clipboard, to paste them on another frame or in another window: the annotation's
// own JSON object under a type of the program's.
namespace AnnotationClipboard {

QString mimeType();

// Puts `annotation` on the clipboard, in place of what was there.
void copy(const Annotation &annotation);
// The annotation on the clipboard; none when it holds something else.
std::optional<Annotation> pasted();
// The same, read from `data`.
std::optional<Annotation> read(const QMimeData *data);

} // namespace AnnotationClipboard
