#pragma once

#include <QByteArray>
#include <QUrl>

#include <optional>

// The persistent references of project files to the files and folders they name. Linux has no
// security-scoped references: a bookmark is the file's absolute path in UTF-8.
namespace FileBookmark {

// The bookmark of a local file or folder; absent for a URL that names no local file.
std::optional<QByteArray> make(const QUrl &fileUrl);

// The URL of a bookmarked file or folder; absent when the bookmark is not an absolute path or
// nothing exists there any more.
std::optional<QUrl> resolve(const QByteArray &bookmark);

} // namespace FileBookmark
