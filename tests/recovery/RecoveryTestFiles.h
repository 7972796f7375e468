#pragma once

#include <QString>

// Recovery folders as programs leave them.
namespace RecoveryTestFiles {

// A folder named `name` below `root` as a program left it that was killed: its lock names the
// program's process, which has ended.
QString killedProgramFolder(const QString &root, const QString &name);

} // namespace RecoveryTestFiles
