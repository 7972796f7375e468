#include "LargeProject.h"
#include "MainThreadStallProbe.h"
#include "TestMedia.h"
#include "TestRegistry.h"

#include "app/ContentView.h"
#include "app/QuintarelApp.h"
#include "services/LiftedFrameCache.h"
#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/FrameImageStore.h"
#include "views/CapturedFramesListView.h"
#include "views/CapturedFramesModel.h"

#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>
#include <QTreeView>

#include <sys/resource.h>

#include <algorithm>

namespace {

constexpr int videoFrames = 300;
constexpr int groupCount = 4;
constexpr int framesPerGroup = 25000;
constexpr rlim_t memoryLimit = rlim_t(2) << 30;

// Lowers the process's limit of address space to `bytes` for its life; the limit before comes
// back with it.
class AddressSpaceLimit
{
public:
    explicit AddressSpaceLimit(rlim_t bytes)
    {
        if (getrlimit(RLIMIT_AS, &m_before) != 0)
            return;
        rlimit lowered = m_before;
        lowered.rlim_cur = std::min(bytes, m_before.rlim_max);
        m_set = setrlimit(RLIMIT_AS, &lowered) == 0;
    }
    ~AddressSpaceLimit()
    {
        if (m_set)
            setrlimit(RLIMIT_AS, &m_before);
    }
    AddressSpaceLimit(const AddressSpaceLimit &) = delete;
    AddressSpaceLimit &operator=(const AddressSpaceLimit &) = delete;

    bool isSet() const { return m_set; }

private:
    rlimit m_before{};
    bool m_set = false;
};

// A line of /proc/self/status in MiB ("VmPeak", "VmHWM"…).
double statusMiB(const QByteArray &key)
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith(key + ':'))
            return line.mid(key.size() + 1).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

// The frames of the rows the tree shows now.
QList<QUuid> visibleFrames(const CapturedFramesListView &list)
{
    QList<QUuid> frames;
    QTreeView *tree = list.tree();
    const QRect viewport = tree->viewport()->rect();
    for (QModelIndex index = tree->indexAt(viewport.topLeft() + QPoint(1, 1));
         index.isValid() && tree->visualRect(index).top() <= viewport.bottom();
         index = tree->indexBelow(index)) {
        if (const QUuid id = list.model()->frameId(index); !id.isNull())
            frames << id;
    }
    return frames;
}

bool thumbnailsShown(const AppState &state, const CapturedFramesListView &list)
{
    const QList<QUuid> frames = visibleFrames(list);
    return !frames.isEmpty() && std::all_of(frames.cbegin(), frames.cend(), [&](const QUuid &id) {
        return state.images()->images(id).hasThumbnail();
    });
}

} // namespace

// A project of 100,000 frames whose video and liftings are there, opened in a window under a
// memory limit of 2 GiB, and its frames list scrolled from the first row to the last: the window
// answers all along and the rows shown get their pictures.
class LargeProjectScrollTest : public QObject
{
    Q_OBJECT

private slots:
    void aHundredThousandFramesScrollUnderTwoGibibytes()
    {
        if (LargeProject::preparedHere())
            return;
        const QString video =
            TestMedia::shapesVideo(QStringLiteral("large-100k"), QSize(640, 360), videoFrames, 4);
        QVERIFY(!video.isEmpty());
        QTemporaryDir folder;
        const QString project = folder.filePath(QStringLiteral("grand.quintarel"));
        QVERIFY(LargeProject::prepareInOwnProcess({QString::fromLatin1(QTest::currentTestFunction())}, video,
                                                  {videoFrames, groupCount, framesPerGroup},
                                                  LiftedFrameCache::standardFolder(), project));

        const AddressSpaceLimit limit(memoryLimit);
        QVERIFY(limit.isSet());
        QuintarelApp app;
        ContentView *window = app.openWindow();
        window->resize(1400, 900);
        QVERIFY(QTest::qWaitForWindowExposed(window));
        AppState *state = window->state();
        auto *list = window->findChild<CapturedFramesListView *>();
        QVERIFY(list);
        QTreeView *tree = list->tree();

        MainThreadStallProbe opening;
        opening.start();
        state->openProject(QUrl::fromLocalFile(project));
        QTRY_VERIFY_WITH_TIMEOUT(!state->isOpeningProject(), 120000);
        QCOMPARE(state->document()->frameCount(), groupCount * framesPerGroup);
        QVERIFY2(!state->errorMessage(), qPrintable(state->errorMessage().value_or(QString())));
        QTRY_VERIFY_WITH_TIMEOUT(state->playback()->videoURL() == QUrl::fromLocalFile(video), 60000);
        QTRY_VERIFY_WITH_TIMEOUT(thumbnailsShown(*state, *list), 60000);
        opening.stop();
        qInfo("opening: longest main-thread stall %lld ms", opening.longestStall());

        // End to end in 500 moves of the scroll bar, the window's events handled between them as a
        // drag of the bar lets them be.
        QScrollBar *bar = tree->verticalScrollBar();
        QVERIFY(bar->maximum() > 100 * tree->viewport()->height());
        MainThreadStallProbe scrolling;
        scrolling.start();
        constexpr int moves = 500;
        for (int move = 1; move <= moves; ++move) {
            bar->setValue(int(qint64(bar->maximum()) * move / moves));
            QTest::qWait(10);
        }
        QCOMPARE(bar->value(), bar->maximum());
        // The last rows are those of the last group.
        const QList<QUuid> last = visibleFrames(*list);
        QVERIFY(!last.isEmpty());
        QVERIFY(last.contains(state->document()->groups().constLast().frames.constLast().id));
        QTRY_VERIFY_WITH_TIMEOUT(thumbnailsShown(*state, *list), 60000);
        scrolling.stop();
        qInfo("scrolling: longest main-thread stall %lld ms; address space at most %.0f MiB, resident "
              "at most %.0f MiB; %d small pictures held",
              scrolling.longestStall(), statusMiB("VmPeak"), statusMiB("VmHWM"),
              state->images()->heldThumbnailCount());
        QVERIFY2(
            scrolling.longestStall() <= 100,
            qPrintable(QStringLiteral("a stall of %1 ms while scrolling").arg(scrolling.longestStall())));
        // What the far rows held was let go on the way.
        QVERIFY(state->images()->heldThumbnailCount() <= 2 * FrameImageStore::ThumbnailsHeld);
    }
};

QUINTAREL_TEST(LargeProjectScrollTest)
#include "LargeProjectScrollTest.moc"
