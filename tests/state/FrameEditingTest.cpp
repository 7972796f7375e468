#include "FreedMemory.h"
#include "TestCaptures.h"
#include "TestRegistry.h"

#include "state/CaptureDocument.h"

#include <QSignalSpy>
#include <QTest>

namespace {

QList<std::int64_t> values(const CaptureGroup &group)
{
    QList<std::int64_t> result;
    for (const CapturedFrame &frame : group.frames)
        result << frame.time.value();
    return result;
}

} // namespace

class FrameEditingTest : public QObject
{
    Q_OBJECT

private slots:
    void movesFramesWithListSemantics_data()
    {
        QTest::addColumn<QList<int>>("positions");
        QTest::addColumn<int>("destination");
        QTest::addColumn<QList<std::int64_t>>("expected");
        QTest::newRow("first to the end") << QList<int>{0} << 4 << QList<std::int64_t>{2, 3, 4, 1};
        QTest::newRow("first before the fourth") << QList<int>{0} << 3 << QList<std::int64_t>{2, 3, 1, 4};
        QTest::newRow("last to the front") << QList<int>{3} << 0 << QList<std::int64_t>{4, 1, 2, 3};
        QTest::newRow("two keep their order") << QList<int>{3, 0} << 2 << QList<std::int64_t>{2, 1, 4, 3};
        QTest::newRow("onto itself") << QList<int>{1} << 1 << QList<std::int64_t>{1, 2, 3, 4};
    }

    void movesFramesWithListSemantics()
    {
        QFETCH(QList<int>, positions);
        QFETCH(int, destination);
        QFETCH(QList<std::int64_t>, expected);
        CaptureDocument document;
        TestCaptures::fill(document, {4});
        const QSet<QUuid> selection{document.groups()[0].frames[1].id};
        document.setSelection(selection);
        document.moveFrames(document.groups()[0].id, QSet<int>(positions.cbegin(), positions.cend()),
                            destination);
        QCOMPARE(values(document.groups()[0]), expected);
        QCOMPARE(document.selection(), selection);
    }

    void movesAFrameToTheEndOfAGroup()
    {
        CaptureDocument document;
        TestCaptures::fill(document, {2, 1});
        const QUuid first = document.groups()[0].frames[0].id;
        document.moveFrame(first, document.groups()[1].id);
        QCOMPARE(values(document.groups()[0]), QList<std::int64_t>{2});
        QCOMPARE(values(document.groups()[1]), (QList<std::int64_t>{3, 1}));

        // Into its own group: to the end of it.
        document.moveFrame(document.groups()[1].frames[0].id, document.groups()[1].id);
        QCOMPARE(values(document.groups()[1]), (QList<std::int64_t>{1, 3}));

        // Unknown group or frame: nothing happens.
        QSignalSpy spy(&document, &CaptureDocument::groupsChanged);
        document.moveFrame(first, QUuid::createUuid());
        document.moveFrame(QUuid::createUuid(), document.groups()[0].id);
        QCOMPARE(spy.count(), 0);
    }

    void deletesFramesAndTheirSelection()
    {
        CaptureDocument document;
        TestCaptures::fill(document, {3});
        const QUuid doomed = document.groups()[0].frames[1].id;
        const QUuid kept = document.groups()[0].frames[2].id;
        document.setSelection({doomed, kept});
        document.deleteFrame(doomed);
        QCOMPARE(values(document.groups()[0]), (QList<std::int64_t>{1, 3}));
        QCOMPARE(document.selection(), QSet<QUuid>{kept});
        QCOMPARE(document.groups().size(), 1);
    }

    void addsNumberedGroupsAndActivatesThem()
    {
        CaptureDocument document;
        document.addGroup();
        document.addGroup();
        QCOMPARE(document.groups()[1].name, QStringLiteral("Groupe 2"));
        document.addGroup();
        QCOMPARE(document.groups()[3].name, QStringLiteral("Groupe 4"));
        QCOMPARE(document.activeGroupID(), document.groups()[3].id);

        // Names come from the count only, so they can repeat after a deletion.
        document.deleteGroup(document.groups()[1].id);
        document.addGroup();
        QCOMPARE(document.groups()[3].name, QStringLiteral("Groupe 4"));
    }

    void deletesGroupsButNeverTheLast()
    {
        CaptureDocument document;
        TestCaptures::fill(document, {1, 1, 1});
        const QList<CaptureGroup> groups = document.groups();
        document.setSelection({groups[1].frames[0].id, groups[0].frames[0].id});

        // Deleting a non-active group keeps the active one.
        document.setActiveGroup(groups[2].id);
        document.deleteGroup(groups[1].id);
        QCOMPARE(document.activeGroupID(), groups[2].id);
        QCOMPARE(document.selection(), QSet<QUuid>{groups[0].frames[0].id});

        // Deleting the active group makes the first remaining group active.
        document.deleteGroup(groups[2].id);
        QCOMPARE(document.activeGroupID(), groups[0].id);
        QCOMPARE(document.groups().size(), 1);

        document.deleteGroup(groups[0].id);
        QCOMPARE(document.groups().size(), 1);
    }

    // The views pass identifiers that live in the window's own lists; deleting must not read them
    // after those lists are replaced.
    void deletingByAnIdentifierFromTheListItself()
    {
        CaptureDocument document;
        TestCaptures::fill(document, {3, 1, 1});
        QObject::connect(&document, &CaptureDocument::groupsChanged, &document, &FreedMemory::scribble);
        const QUuid doomed = document.groups()[0].frames[1].id;
        const QUuid kept = document.groups()[0].frames[2].id;
        document.setSelection({doomed, kept});
        document.deleteFrame(document.groups()[0].frames[1].id);
        QCOMPARE(document.selection(), QSet<QUuid>{kept});

        const QUuid first = document.groups()[0].id;
        document.setActiveGroup(document.groups()[2].id);
        document.deleteGroup(document.groups()[2].id);
        QCOMPARE(document.activeGroupID(), first);
    }

    void renamesAndDescribesGroups()
    {
        CaptureDocument document;
        QSignalSpy spy(&document, &CaptureDocument::groupsChanged);
        const QUuid id = document.groups()[0].id;
        document.setGroupName(id, QStringLiteral("Plans serrés"));
        document.setGroupName(id, QStringLiteral("Plans serrés"));
        document.setGroupNotes(id, QStringLiteral("Intro"));
        QCOMPARE(spy.count(), 2);
        QCOMPARE(document.groups()[0].name, QStringLiteral("Plans serrés"));
        QCOMPARE(document.groups()[0].notes, QStringLiteral("Intro"));
    }
};

QUINTAREL_TEST(FrameEditingTest)
#include "FrameEditingTest.moc"
