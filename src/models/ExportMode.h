#pragma once

// How an export groups subjects: one image per frame with every subject, or one image per subject.
enum class ExportMode { Merged, PerSubject };
