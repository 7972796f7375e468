#pragma once

#include <QByteArray>
#include <QString>

struct ProjectFile;

// What must hold for any bytes handed to a reader. A broken rule prints what broke and aborts, which
// the fuzzer records as a crash with the input that caused it.
namespace RoundTrip {

// Reads `bytes` as a project file. A refusal must say why. A project that opens and that can be
// saved (every number finite) must save, reopen equal, and save again to the same bytes.
void checkProjectBytes(const QByteArray &bytes);

// The save-and-reopen rule alone, for a project made some other way.
void checkProject(const ProjectFile &file);

// Reads `bytes` as a recovery file, with the rules of a project file; a recovery file that reads
// also opens as the project it holds.
void checkRecoveryBytes(const QByteArray &bytes);

// Reports a broken rule and aborts.
[[noreturn]] void fail(const char *rule, const QString &detail = {});

} // namespace RoundTrip
