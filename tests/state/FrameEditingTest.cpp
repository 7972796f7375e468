#include "FreedMemory.h"
#include "TestCaptures.h"
#include "TestRegistry.h"

#include "state/AppState.h"

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
        AppState state;
        TestCaptures::fill(state, {4});
        const QSet<QUuid> selection{state.groups()[0].frames[1].id};
        state.setSelection(selection);
        state.moveFrames(state.groups()[0].id, QSet<int>(positions.cbegin(), positions.cend()), destination);
        QCOMPARE(values(state.groups()[0]), expected);
        QCOMPARE(state.selection(), selection);
    }

    void movesAFrameToTheEndOfAGroup()
    {
        AppState state;
        TestCaptures::fill(state, {2, 1});
        const QUuid first = state.groups()[0].frames[0].id;
        state.moveFrame(first, state.groups()[1].id);
        QCOMPARE(values(state.groups()[0]), QList<std::int64_t>{2});
        QCOMPARE(values(state.groups()[1]), (QList<std::int64_t>{3, 1}));

        // Into its own group: to the end of it.
        state.moveFrame(state.groups()[1].frames[0].id, state.groups()[1].id);
        QCOMPARE(values(state.groups()[1]), (QList<std::int64_t>{1, 3}));

        // Unknown group or frame: nothing happens.
        QSignalSpy spy(&state, &AppState::groupsChanged);
        state.moveFrame(first, QUuid::createUuid());
        state.moveFrame(QUuid::createUuid(), state.groups()[0].id);
        QCOMPARE(spy.count(), 0);
    }

    void deletesFramesAndTheirSelection()
    {
        AppState state;
        TestCaptures::fill(state, {3});
        const QUuid doomed = state.groups()[0].frames[1].id;
        const QUuid kept = state.groups()[0].frames[2].id;
        state.setSelection({doomed, kept});
        state.deleteFrame(doomed);
        QCOMPARE(values(state.groups()[0]), (QList<std::int64_t>{1, 3}));
        QCOMPARE(state.selection(), QSet<QUuid>{kept});
        QCOMPARE(state.groups().size(), 1);
    }

    void addsNumberedGroupsAndActivatesThem()
    {
        AppState state;
        state.addGroup();
        state.addGroup();
        QCOMPARE(state.groups()[1].name, QStringLiteral("Groupe 2"));
        state.addGroup();
        QCOMPARE(state.groups()[3].name, QStringLiteral("Groupe 4"));
        QCOMPARE(state.activeGroupID(), state.groups()[3].id);

        // Names come from the count only, so they can repeat after a deletion.
        state.deleteGroup(state.groups()[1].id);
        state.addGroup();
        QCOMPARE(state.groups()[3].name, QStringLiteral("Groupe 4"));
    }

    void deletesGroupsButNeverTheLast()
    {
        AppState state;
        TestCaptures::fill(state, {1, 1, 1});
        const QList<CaptureGroup> groups = state.groups();
        state.setSelection({groups[1].frames[0].id, groups[0].frames[0].id});

        // Deleting a non-active group keeps the active one.
        state.setActiveGroup(groups[2].id);
        state.deleteGroup(groups[1].id);
        QCOMPARE(state.activeGroupID(), groups[2].id);
        QCOMPARE(state.selection(), QSet<QUuid>{groups[0].frames[0].id});

        // Deleting the active group makes the first remaining group active.
        state.deleteGroup(groups[2].id);
        QCOMPARE(state.activeGroupID(), groups[0].id);
        QCOMPARE(state.groups().size(), 1);

        state.deleteGroup(groups[0].id);
        QCOMPARE(state.groups().size(), 1);
    }

    // The views pass identifiers that live in the window's own lists; deleting must not read them
    // after those lists are replaced.
    void deletingByAnIdentifierFromTheListItself()
    {
        AppState state;
        TestCaptures::fill(state, {3, 1, 1});
        QObject::connect(&state, &AppState::groupsChanged, &state, &FreedMemory::scribble);
        const QUuid doomed = state.groups()[0].frames[1].id;
        const QUuid kept = state.groups()[0].frames[2].id;
        state.setSelection({doomed, kept});
        state.deleteFrame(state.groups()[0].frames[1].id);
        QCOMPARE(state.selection(), QSet<QUuid>{kept});

        const QUuid first = state.groups()[0].id;
        state.setActiveGroup(state.groups()[2].id);
        state.deleteGroup(state.groups()[2].id);
        QCOMPARE(state.activeGroupID(), first);
    }

    void renamesAndDescribesGroups()
    {
        AppState state;
        QSignalSpy spy(&state, &AppState::groupsChanged);
        const QUuid id = state.groups()[0].id;
        state.setGroupName(id, QStringLiteral("Plans serrés"));
        state.setGroupName(id, QStringLiteral("Plans serrés"));
        state.setGroupNotes(id, QStringLiteral("Intro"));
        QCOMPARE(spy.count(), 2);
        QCOMPARE(state.groups()[0].name, QStringLiteral("Plans serrés"));
        QCOMPARE(state.groups()[0].notes, QStringLiteral("Intro"));
    }
};

QUINTAREL_TEST(FrameEditingTest)
#include "FrameEditingTest.moc"
