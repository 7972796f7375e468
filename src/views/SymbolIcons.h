#pragma once

#include <QIcon>
#include <QString>

// Icons for the symbol names the interface uses ("camera.fill", "trash", …): each maps to a
// freedesktop icon-theme name, with a drawn icon of our own where the theme has no counterpart.
// Every icon fades while its control is disabled.
namespace SymbolIcons {

QIcon icon(const QString &symbolName);

} // namespace SymbolIcons
