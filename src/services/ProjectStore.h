#pragma once

#include "persistence/ProjectFile.h"
#include "support/Result.h"

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

// Reading and writing project files (the files they name are kept as FileBookmark).
namespace ProjectStore {

// The largest project file opened: a project of 10,000 frames and 50,000 drawings takes about 35 MB.
constexpr qint64 maxFileBytes = qint64(128) * 1024 * 1024;

// Reads and decodes the project file at `path`. On failure, what went wrong in French, with the
// place of the damage in the file.
Result<ProjectFile> open(const QString &path);

// Writes the file atomically, replacing any file at `path`. On failure returns in French what went
// wrong and where, and a file already at `path` is left as it was.
std::optional<QString> save(const ProjectFile &file, const QString &path);

} // namespace ProjectStore
