#pragma once

#include "models/AnnotationKind.h"

#include <QList>
#include <QString>

#include <optional>

// The drawing tool chosen in the preview's toolbar: selection, or one of the three shapes.
enum class AnnotationTool { Select, Arrow, Line, Circle };

namespace AnnotationTools {

QList<AnnotationTool> all();
// The shape the tool draws; none for the selection tool.
std::optional<AnnotationKind> kind(AnnotationTool tool);
QString displayName(AnnotationTool tool);
// Name of the symbol shown for the tool (see SymbolIcons).
QString systemImage(AnnotationTool tool);

} // namespace AnnotationTools
