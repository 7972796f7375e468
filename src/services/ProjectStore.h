#pragma once

#include <QByteArray>
#include <QString>
#include <QUrl>

#include <optional>

struct ProjectFile;

// Writing project files and the persistent references to the files they name. Linux has no
// security-scoped references: a bookmark is the file's absolute path in UTF-8.
namespace ProjectStore {

// Writes the file atomically, replacing any file at `path`. On failure returns in French what went
// wrong and where, and a file already at `path` is left as it was.
std::optional<QString> save(const ProjectFile &file, const QString &path);

// The bookmark of a local file or folder; absent for a URL that names no local file.
std::optional<QByteArray> makeBookmark(const QUrl &fileUrl);

// The URL of a bookmarked file or folder; absent when the bookmark is not an absolute path or
// nothing exists there any more.
std::optional<QUrl> resolveBookmark(const QByteArray &bookmark);

} // namespace ProjectStore
