#pragma once

#include <cstddef>
#include <vector>

// Places blocks of memory, each in use during a stretch of steps, in one arena: blocks in use at the
// same step never share bytes, the others may. Largest first, each block goes at the lowest offset
// where it meets no block whose stretch overlaps its own.
namespace ArenaLayout {

struct Block
{
    std::size_t size = 0;
    int firstStep = 0; // the stretch in which the block is in use, both ends included
    int lastStep = 0;
};

struct Placement
{
    std::vector<std::size_t> offsets; // one per block, each a multiple of the alignment
    std::size_t size = 0;             // of the whole arena
};

Placement place(const std::vector<Block> &blocks, std::size_t alignment);

} // namespace ArenaLayout
