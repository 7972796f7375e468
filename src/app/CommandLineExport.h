#pragma once

#include "CommandLine.h"

// `quintarel export PROJECT …`: runs the export of a project without a window and tells on
// standard error how it goes (one line per image, then the failures and the summary the export
// panel shows). Needs a QCoreApplication only.
namespace CommandLineExport {

// Runs the export to its end; the exit status: 0 when every image was written, 1 when some
// failed, CommandLine::exportCannotStart when the project, its video or the output folder cannot
// be used.
int run(const CommandLine::Export &request);

} // namespace CommandLineExport
