#pragma once

#include <QStringList>

class CaptureDocument;

// Every field of a capture document written out line by line (groups with their frames, notes and
// drawings, the active group, the settings, the video and the project file), so that tests can
// compare two states of a document whole and see where they differ.
namespace DocumentDump {

QStringList lines(const CaptureDocument &document);

} // namespace DocumentDump
