#pragma once

#include "persistence/RecoveryFile.h"
#include "support/Result.h"

#include <QString>

#include <optional>

// Reading and writing recovery files, each write replacing the file whole: a crash during a write
// leaves the previous file as it was.
namespace RecoveryStore {

// The extension of recovery files: they open as projects too.
inline constexpr const char *fileSuffix = ".quintarel";

// Writes the file atomically, making the folder first when it is missing. On failure, what went
// wrong in French.
std::optional<QString> write(const RecoveryFile &file, const QString &path);

// Reads and decodes the recovery file at `path`; on failure, why in French.
Result<RecoveryFile> read(const QString &path);

} // namespace RecoveryStore
