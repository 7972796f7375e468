#include "TestRegistry.h"

#include "platform/ArenaLayout.h"

#include <QTest>

#include <algorithm>
#include <random>

class ArenaLayoutTest : public QObject
{
    Q_OBJECT

private slots:
    void blocksInUseAtOneStepNeverShareBytes()
    {
        std::mt19937 random(3);
        std::uniform_int_distribution<std::size_t> size(1, 5000);
        std::uniform_int_distribution<int> step(0, 99), length(0, 20);
        std::vector<ArenaLayout::Block> blocks;
        for (int i = 0; i < 300; ++i) {
            const int first = step(random);
            blocks.push_back({size(random), first, first + length(random)});
        }
        constexpr std::size_t Alignment = 64;
        const ArenaLayout::Placement placement = ArenaLayout::place(blocks, Alignment);
        QCOMPARE(placement.offsets.size(), blocks.size());

        auto end = [&](std::size_t i) { return placement.offsets[i] + blocks[i].size; };
        std::size_t busiest = 0;
        for (int at = 0; at < 120; ++at) {
            std::size_t inUse = 0;
            for (const ArenaLayout::Block &block : blocks) {
                if (block.firstStep <= at && at <= block.lastStep)
                    inUse += block.size;
            }
            busiest = std::max(busiest, inUse);
        }
        for (std::size_t i = 0; i < blocks.size(); ++i) {
            QCOMPARE(placement.offsets[i] % Alignment, std::size_t(0));
            QVERIFY(end(i) <= placement.size);
            for (std::size_t j = i + 1; j < blocks.size(); ++j) {
                const bool together =
                    blocks[i].firstStep <= blocks[j].lastStep && blocks[j].firstStep <= blocks[i].lastStep;
                const bool apart = end(i) <= placement.offsets[j] || end(j) <= placement.offsets[i];
                QVERIFY2(!together || apart,
                         qPrintable(QStringLiteral("blocks %1 and %2 overlap").arg(i).arg(j)));
            }
        }
        // No arena can be smaller than the busiest step; this one reuses bytes instead of stacking all.
        QVERIFY(placement.size >= busiest);
        std::size_t all = 0;
        for (const ArenaLayout::Block &block : blocks)
            all += block.size;
        QVERIFY(placement.size < all / 2);
    }

    void blocksInUseOneAfterAnotherShareBytes()
    {
        // Used in turn, then one block alive across the last two.
        const ArenaLayout::Placement placement =
            ArenaLayout::place({{100, 0, 1}, {300, 2, 3}, {200, 4, 5}, {50, 3, 4}}, 64);
        QCOMPARE(placement.offsets[0], std::size_t(0));
        QCOMPARE(placement.offsets[1], std::size_t(0));
        QCOMPARE(placement.offsets[2], std::size_t(0));
        QCOMPARE(placement.offsets[3], std::size_t(320)); // above the 300-byte block, aligned
        QCOMPARE(placement.size, std::size_t(384));
        QCOMPARE(ArenaLayout::place({}, 64).size, std::size_t(0));
    }
};

QUINTAREL_TEST(ArenaLayoutTest)
#include "ArenaLayoutTest.moc"
