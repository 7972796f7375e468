#include "ArenaLayout.h"

#include <algorithm>
#include <numeric>
#include <utility>

ArenaLayout::Placement ArenaLayout::place(const std::vector<Block> &blocks, std::size_t alignment)
{
    auto aligned = [alignment](std::size_t size) { return (size + alignment - 1) / alignment * alignment; };
    std::vector<std::size_t> order(blocks.size());
    std::iota(order.begin(), order.end(), std::size_t(0));
    std::stable_sort(order.begin(), order.end(),
                     [&](std::size_t a, std::size_t b) { return blocks[a].size > blocks[b].size; });

    Placement placement;
    placement.offsets.assign(blocks.size(), 0);
    std::vector<std::size_t> placed;
    std::vector<std::pair<std::size_t, std::size_t>> taken; // byte ranges of overlapping blocks
    for (const std::size_t index : order) {
        const Block &block = blocks[index];
        const std::size_t size = aligned(block.size);
        taken.clear();
        for (const std::size_t other : placed) {
            if (blocks[other].firstStep <= block.lastStep && block.firstStep <= blocks[other].lastStep)
                taken.emplace_back(placement.offsets[other],
                                   placement.offsets[other] + aligned(blocks[other].size));
        }
        std::sort(taken.begin(), taken.end());
        std::size_t offset = 0;
        for (const auto &[begin, end] : taken) {
            if (offset + size <= begin)
                break;
            offset = std::max(offset, end);
        }
        placement.offsets[index] = offset;
        placement.size = std::max(placement.size, offset + size);
        placed.push_back(index);
    }
    return placement;
}
