#pragma once

#include "support/Result.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <optional>

// Reading and replacing whole files with every system call checked, so that a full disk, a quota
// or a lost permission is never taken for success. Failures are described in French with the path
// and the system's reason, e.g. « impossible d'écrire « /home/ana/projet.quintarel » : disque plein ».
namespace CheckedFile {

// The whole content of a regular file of at most `maxBytes` bytes.
Result<QByteArray> read(const QString &path, qint64 maxBytes);

// Replaces the file at `path` by `bytes`, or creates it. The bytes go to a temporary file beside
// it, which is flushed to the disk and checked for its full size before it takes the file's place:
// the file holds either its old content or all of the new one, never a part. A replaced file
// keeps its permissions; a symbolic link keeps pointing where it did, and its target is replaced.
std::optional<QString> replace(const QString &path, QByteArrayView bytes);

// Creates the folder with the missing folders above it; nothing to do when it exists.
std::optional<QString> makeFolders(const QString &path);

} // namespace CheckedFile
