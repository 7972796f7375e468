#include "FreedMemory.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace FreedMemory {

void scribble()
{
    std::vector<void *> blocks;
    blocks.reserve(4096);
    for (std::size_t size = 16; size <= 2048; size += 8) {
        for (int copy = 0; copy < 4; ++copy) {
            void *block = std::malloc(size);
            if (!block)
                continue;
            std::memset(block, 0xa5, size);
            blocks.push_back(block);
        }
    }
    for (void *block : blocks)
        std::free(block);
}

} // namespace FreedMemory
