#include "TestCaptures.h"
#include "TestRegistry.h"

#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/ExportRuns.h"
#include "state/FrameImageFollower.h"
#include "state/FrameImageStore.h"

#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTest>
#include <QUndoStack>

namespace {

QList<QList<QUuid>> idsOf(const CaptureDocument &document)
{
    QList<QList<QUuid>> ids;
    for (const CaptureGroup &group : document.groups()) {
        QList<QUuid> frames;
        for (const CapturedFrame &frame : group.frames)
            frames << frame.id;
        ids << frames;
    }
    return ids;
}

// The frames of each group as the document's signals alone describe them: each change applied to
// a list of its own, as a view following the document does.
class SignalledGroups
{
public:
    explicit SignalledGroups(const CaptureDocument &document) : m_groups(idsOf(document))
    {
        const CaptureDocument *doc = &document;
        QObject::connect(doc, &CaptureDocument::frameInserted, &m_context, [this, doc](int g, int p) {
            m_groups[g].insert(p, doc->groups().at(g).frames.at(p).id);
        });
        QObject::connect(doc, &CaptureDocument::frameAboutToBeRemoved, &m_context,
                         [this](int g, int p) { m_groups[g].removeAt(p); });
        QObject::connect(doc, &CaptureDocument::frameAboutToBeMoved, &m_context,
                         [this](int fromGroup, int fromPosition, int toGroup, int toPosition) {
                             m_groups[toGroup].insert(toPosition, m_groups[fromGroup].takeAt(fromPosition));
                             ++m_moves;
                         });
        QObject::connect(doc, &CaptureDocument::groupInserted, &m_context,
                         [this, doc](int p) { m_groups.insert(p, idsOf(*doc).at(p)); });
        QObject::connect(doc, &CaptureDocument::groupAboutToBeRemoved, &m_context,
                         [this](int p) { m_groups.removeAt(p); });
        QObject::connect(doc, &CaptureDocument::contentReset, &m_context,
                         [this, doc] { m_groups = idsOf(*doc); });
    }

    const QList<QList<QUuid>> &groups() const { return m_groups; }
    int moves() const { return m_moves; }

private:
    QObject m_context;
    QList<QList<QUuid>> m_groups;
    int m_moves = 0;
};

// Every frame is where the document's lookup says, and `gone` nowhere.
bool placesRight(const CaptureDocument &document, const QList<QUuid> &gone)
{
    for (int g = 0; g < document.groups().size(); ++g) {
        const QList<CapturedFrame> &frames = document.groups().at(g).frames;
        for (int p = 0; p < frames.size(); ++p) {
            const std::optional<CaptureDocument::FramePlace> place = document.place(frames.at(p).id);
            if (!place || place->group != g || place->position != p)
                return false;
        }
    }
    return std::none_of(gone.cbegin(), gone.cend(), [&](const QUuid &id) { return document.place(id); });
}

} // namespace

class DocumentChangesTest : public QObject
{
    Q_OBJECT

private slots:
    // A reorder moves only the frames that change places, whichever way they go.
    void reordersMoveOnlyWhatChanges()
    {
        CaptureDocument document;
        TestCaptures::fill(document, {10});
        SignalledGroups signalled(document);
        const QUuid group = document.groups()[0].id;
        const QList<QUuid> before = idsOf(document)[0];

        // The first two to the end: two moves, not eight of the frames they pass.
        document.moveFrames(group, {0, 1}, 10);
        QCOMPARE(idsOf(document)[0], before.mid(2) + before.mid(0, 2));
        QCOMPARE(signalled.moves(), 2);
        document.undoStack()->undo();
        QCOMPARE(idsOf(document)[0], before);
        QCOMPARE(signalled.moves(), 4);
        QCOMPARE(signalled.groups(), idsOf(document));

        // The last to the front, then a reversal by undo and redo of many single steps.
        document.moveFrames(group, {9}, 0);
        QCOMPARE(signalled.moves(), 5);
        QCOMPARE(idsOf(document)[0].first(), before.last());
        QCOMPARE(signalled.groups(), idsOf(document));
        document.undoStack()->undo();
        QCOMPARE(signalled.moves(), 6);
        QCOMPARE(idsOf(document)[0], before);

        QSignalSpy groups(&document, &CaptureDocument::groupsChanged);
        document.moveFrames(group, {0, 2, 4, 6, 8}, 10);
        QCOMPARE(groups.count(), 1);
        QCOMPARE(signalled.moves(), 11);
        QCOMPARE(signalled.groups(), idsOf(document));
        QVERIFY(placesRight(document, {}));
    }

    // Random edits, undos and redos: after each, the document's signals describe its groups exactly
    // and its lookup finds every frame where it is.
    void signalsAndPlacesFollowEveryEdit()
    {
        CaptureDocument document;
        TestCaptures::fill(document, {6, 4, 5});
        SignalledGroups signalled(document);
        QRandomGenerator random(2026);
        QList<QUuid> gone;
        for (int step = 0; step < 300; ++step) {
            const QList<CaptureGroup> &groups = document.groups();
            const int g = random.bounded(int(groups.size()));
            const int size = int(groups.at(g).frames.size());
            switch (random.bounded(8)) {
            case 0:
                document.setActiveGroup(groups.at(g).id);
                document.captureFrame(MediaTime(random.bounded(900), 30));
                break;
            case 1:
                if (size > 0) {
                    const QUuid doomed = groups.at(g).frames.at(random.bounded(size)).id;
                    gone << doomed;
                    document.deleteFrames({doomed, groups.at(g).frames.first().id});
                }
                break;
            case 2:
                if (size > 1)
                    document.moveFrames(groups.at(g).id,
                                        {random.bounded(size), random.bounded(size), random.bounded(size)},
                                        random.bounded(size + 1));
                break;
            case 3:
                if (size > 0)
                    document.moveFrame(groups.at(g).frames.at(random.bounded(size)).id,
                                       groups.at(random.bounded(int(groups.size()))).id);
                break;
            case 4:
                if (groups.size() < 5)
                    document.addGroup();
                else
                    document.deleteGroup(groups.at(g).id);
                break;
            case 5:
            case 6:
                document.undoStack()->undo();
                break;
            default:
                document.undoStack()->redo();
                break;
            }
            QSet<QUuid> present;
            for (const QList<QUuid> &frames : idsOf(document))
                present.unite(QSet<QUuid>(frames.cbegin(), frames.cend()));
            QList<QUuid> absent;
            for (const QUuid &id : std::as_const(gone)) {
                if (!present.contains(id))
                    absent << id;
            }
            QVERIFY2(signalled.groups() == idsOf(document), qPrintable(QString::number(step)));
            QVERIFY2(placesRight(document, absent), qPrintable(QString::number(step)));
        }
    }

    // The window's image store follows the frames that come and go without going through the
    // others; a document of many frames is taken in batches, one per turn.
    void theStoreFollowsFramesThatComeAndGo()
    {
        ExportRuns runs;
        AppState state(&runs, PlayerOutput::Headless);
        FrameImageStore *images = state.images();
        CaptureDocument *document = state.document();
        constexpr int many = 3 * FrameImageFollower::BatchSize + 10;
        TestCaptures::fill(state, {many, 2});
        // The first batch at once, the others in later turns.
        QCOMPARE(images->trackedCount(), FrameImageFollower::BatchSize);
        const QUuid late = document->groups()[0].frames.at(many - 5).id;
        QVERIFY(!images->isTracked(late));
        document->deleteFrame(late);
        QTRY_COMPARE(images->trackedCount(), many + 1);
        QVERIFY(!images->isTracked(late));
        // Without a video, each frame says why it has no pictures.
        const QUuid last = document->groups()[1].frames.last().id;
        QCOMPARE(images->images(last).failure, QStringLiteral("Vidéo introuvable."));

        // A move keeps the frame's entry; deleting a group forgets its frames, undoing brings
        // them back as new entries.
        const QUuid moved = document->groups()[0].frames[3].id;
        const FrameImageStore::Ticket ticket = images->ticket(moved);
        QSignalSpy changed(images, &FrameImageStore::imagesChanged);
        document->moveFrame(moved, document->groups()[1].id);
        document->undoStack()->undo();
        QCOMPARE(images->ticket(moved), ticket);
        QVERIFY(changed.isEmpty());

        const QUuid second = document->groups()[1].id;
        document->deleteGroup(second);
        QVERIFY(!images->isTracked(last));
        QCOMPARE(images->trackedCount(), many - 1);
        document->undoStack()->undo();
        QVERIFY(images->isTracked(last));
        QCOMPARE(images->trackedCount(), many + 1);
        QCOMPARE(changed.count(), 2 + 2 * 2); // forgotten, then tracked and failed, each
    }
};

QUINTAREL_TEST(DocumentChangesTest)
#include "DocumentChangesTest.moc"
