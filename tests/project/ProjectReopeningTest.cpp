#include "TestCaptures.h"
#include "TestMedia.h"
#include "TestProjects.h"
#include "TestRegistry.h"
#include "TestVideo.h"

#include "persistence/RecoveryFile.h"
#include "services/LiftedFrameCache.h"
#include "services/SubjectExtractionService.h"
#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/ExportRuns.h"
#include "state/FrameImageMaker.h"
#include "state/FrameImageStore.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {

quint64 lifts(const AppState &state)
{
    return state.imageMaker()->subjectExtractor()->liftCount();
}

QStringList cacheEntries(const QString &folder)
{
    return QDir(folder).entryList({QStringLiteral("*.lift")}, QDir::Files, QDir::Name);
}

// The kept masks of the window's frames, in list order.
QList<QByteArray> masks(const AppState &state)
{
    QList<QByteArray> all;
    for (const CapturedFrame &frame : state.document()->allFrames())
        all << state.images()->images(frame.id).mask;
    return all;
}

} // namespace

// A project opened again shows its frames from the liftings kept on disk: only frames whose entry is
// missing, damaged or made from another video are lifted again.
class ProjectReopeningTest : public QObject
{
    Q_OBJECT

    ExportRuns m_runs;
    QTemporaryDir m_folder;
    QTemporaryDir m_cache;

    // Opens the project in a new window that keeps its liftings in the test's cache, and waits until
    // every frame shows.
    std::unique_ptr<AppState> reopen(const QString &project)
    {
        auto state = std::make_unique<AppState>(&m_runs, PlayerOutput::Headless);
        state->imageMaker()->setCache(std::make_shared<LiftedFrameCache>(m_cache.path()));
        if (!TestProjects::open(*state, QUrl::fromLocalFile(project)))
            return nullptr;
        if (!QTest::qWaitFor([&] { return !state->playback()->videoURL().isEmpty(); }, 30000) ||
            !TestCaptures::waitUntilMade(*state, 600000))
            return nullptr;
        return state;
    }

private slots:
    void onlyFramesWithoutATrustedEntryAreLiftedAgain()
    {
        const QString video = m_folder.filePath(QStringLiteral("clip.mp4"));
        QVERIFY(
            QFile::copy(TestMedia::shapesVideo(QStringLiteral("reopened"), QSize(960, 540), 30, 6), video));
        const QString project = m_folder.filePath(QStringLiteral("reopened.quintarel"));
        QList<QByteArray> originalMasks;
        QImage originalCutOut;
        {
            AppState source(&m_runs, PlayerOutput::Headless);
            source.imageMaker()->setCache(std::make_shared<LiftedFrameCache>(m_cache.path()));
            QVERIFY(TestVideo::open(source, video));
            TestCaptures::addFrames(source, {{3, 15}, {27}});
            QVERIFY(TestCaptures::waitUntilMade(source, 600000));
            QCOMPARE(lifts(source), 3u);
            originalMasks = masks(source);
            originalCutOut = source.images()->images(source.document()->allFrames()[1].id).subject;
            QVERIFY(!originalCutOut.isNull());
            source.saveProject(QUrl::fromLocalFile(project));
            QVERIFY(!source.errorMessage());
            // The entries reach the disk in the background.
            QTRY_COMPARE_WITH_TIMEOUT(cacheEntries(m_cache.path()).size(), 3, 30000);
        }

        // Opened again: nothing lifted, every thumbnail and cut-out there, the masks the same.
        {
            const std::unique_ptr<AppState> reopened = reopen(project);
            QVERIFY(reopened);
            QCOMPARE(lifts(*reopened), 0u);
            QCOMPARE(masks(*reopened), originalMasks);
            for (const CapturedFrame &frame : reopened->document()->allFrames()) {
                const FrameImages images = reopened->images()->images(frame.id);
                QVERIFY(images.isLifted());
                QVERIFY(!images.subjectThumbnail.isNull());
                QVERIFY(images.thumbnail.width() <= LiftedFrame::ThumbnailSide);
            }
            // The full-size cut-out a view asks for is made again from the video and the mask, the
            // same to the byte, still without lifting.
            const QUuid second = reopened->document()->allFrames()[1].id;
            QVERIFY(!reopened->images()->images(second).hasSubject());
            reopened->images()->request(second);
            QTRY_VERIFY_WITH_TIMEOUT(reopened->images()->images(second).hasSubject(), 60000);
            QCOMPARE(reopened->images()->images(second).subject, originalCutOut);
            QCOMPARE(lifts(*reopened), 0u);
        }

        // Work brought back after a crash comes from the same entries: nothing lifted.
        {
            QFile file(project);
            QVERIFY(file.open(QIODevice::ReadOnly));
            RecoveryFile work;
            std::optional<ProjectFile> content = ProjectFile::fromJson(file.readAll());
            QVERIFY(content);
            work.project = *content;
            work.lastChange = QDateTime::currentDateTimeUtc();
            AppState restored(&m_runs, PlayerOutput::Headless);
            restored.imageMaker()->setCache(std::make_shared<LiftedFrameCache>(m_cache.path()));
            restored.restoreRecovery(work);
            QVERIFY(QTest::qWaitFor([&] { return !restored.playback()->videoURL().isEmpty(); }, 30000));
            QVERIFY(TestCaptures::waitUntilMade(restored, 600000));
            QCOMPARE(lifts(restored), 0u);
            QCOMPARE(masks(restored), originalMasks);
        }

        // A damaged entry is lifted again, and only it; the new entry serves the next opening.
        {
            const QString damaged = m_cache.filePath(cacheEntries(m_cache.path()).constFirst());
            QFile file(damaged);
            QVERIFY(file.open(QIODevice::ReadWrite));
            QVERIFY(file.seek(file.size() / 2));
            QCOMPARE(file.write("damage"), 6);
            file.close();
            const std::unique_ptr<AppState> reopened = reopen(project);
            QVERIFY(reopened);
            QCOMPARE(lifts(*reopened), 1u);
            QCOMPARE(masks(*reopened), originalMasks);
            QTRY_COMPARE_WITH_TIMEOUT(cacheEntries(m_cache.path()).size(), 3, 30000);
        }
        {
            const std::unique_ptr<AppState> reopened = reopen(project);
            QVERIFY(reopened);
            QCOMPARE(lifts(*reopened), 0u);
        }

        // Another video under the same name: its frames are its own, every one lifted again.
        QVERIFY(QFile::remove(video));
        QVERIFY(QFile::copy(TestMedia::shapesVideo(QStringLiteral("reopened-other"), QSize(960, 540), 30, 12),
                            video));
        {
            const std::unique_ptr<AppState> reopened = reopen(project);
            QVERIFY(reopened);
            QCOMPARE(lifts(*reopened), 3u);
            const QList<QByteArray> otherMasks = masks(*reopened);
            QCOMPARE(otherMasks.size(), 3);
            // The shapes stand elsewhere in the later frames of the other video.
            QVERIFY(otherMasks[1] != originalMasks[1]);
            QVERIFY(otherMasks[2] != originalMasks[2]);
        }
    }
};

QUINTAREL_TEST(ProjectReopeningTest)
#include "ProjectReopeningTest.moc"
