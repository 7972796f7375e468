#pragma once

// Reuses memory that was freed just before, the way a busy program soon would: code that still
// reads through a pointer into what it freed then reads these bytes instead of the old ones, and a
// test sees the fault without a sanitizer. Works with glibc's per-size caches of freed blocks.
namespace FreedMemory {

// Takes and fills with a pattern several blocks of every small size, then gives them back.
void scribble();

} // namespace FreedMemory
