#include "HostileMedia.h"
#include "TestRegistry.h"

#include "platform/FrameIndex.h"
#include "platform/VideoPlayer.h"
#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/ExportRuns.h"
#include "state/FrameImageStore.h"

#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <cmath>

using HostileMedia::Kind;

Q_DECLARE_METATYPE(HostileMedia::Kind)

namespace {

// The openings of the messages a window shows for a file it cannot use as a video.
bool isFrenchRefusal(const QString &message)
{
    static const QStringList openings{
        QStringLiteral("Échec de l'extraction de l'image"),
        QStringLiteral("Impossible de lire cette vidéo"),
        QStringLiteral("Impossible d'ouvrir la vidéo"),
        QStringLiteral("Ce fichier ne contient aucune image vidéo"),
        QStringLiteral("Aucune vidéo chargée"),
    };
    return std::any_of(openings.begin(), openings.end(),
                       [&message](const QString &opening) { return message.startsWith(opening); });
}

// The window shows `url` with a frame on screen.
bool shows(const AppState &state, const QUrl &url)
{
    return state.playback()->videoURL() == url && state.playback()->player()->frameIndex() &&
           state.playback()->player()->frameIndex()->isComplete() &&
           !state.playback()->player()->isSeeking() && state.playback()->duration() > MediaTime::zero();
}

QString sizeText(QSize size)
{
    return QStringLiteral("%1×%2").arg(size.width()).arg(size.height());
}

} // namespace

// Every kind of broken or unusual file is either refused with a French message or opened, and a
// capture from it either gives a picture or a failure the user can see. Waits are bounded: a file
// that makes the window hang fails the test instead of stopping the suite.
class HostileMediaTest : public QObject
{
    Q_OBJECT

private slots:
    void opensOrSaysWhyAndCapturesOrFailsVisibly_data()
    {
        QTest::addColumn<Kind>("kind");
        for (const Kind kind : HostileMedia::all())
            QTest::newRow(qPrintable(HostileMedia::name(kind))) << kind;
    }

    void opensOrSaysWhyAndCapturesOrFailsVisibly()
    {
        QFETCH(Kind, kind);
        const QUrl url = QUrl::fromLocalFile(HostileMedia::file(kind));
        ExportRuns runs;
        AppState state(&runs, PlayerOutput::Headless);
        QSignalSpy stillFailures(&state, &AppState::stillFailed);

        state.loadVideo(url);
        const bool settled =
            QTest::qWaitFor([&] { return state.errorMessage().has_value() || shows(state, url); }, 60000);
        QVERIFY2(settled, "neither a message nor a picture within 60 s of opening");
        QString opening;
        if (state.errorMessage()) {
            opening = QStringLiteral("refused: ") + *state.errorMessage();
            QVERIFY2(isFrenchRefusal(*state.errorMessage()), qPrintable(*state.errorMessage()));
        } else {
            const double seconds = state.playback()->duration().seconds();
            opening = QStringLiteral("opened, %1 s").arg(seconds, 0, 'f', 3);
            QVERIFY2(std::isfinite(seconds) && seconds > 0, qPrintable(opening));
        }

        state.clearErrorMessage();
        state.captureCurrentFrame();
        QString capture;
        const QList<CapturedFrame> frames = state.document()->allFrames();
        if (frames.isEmpty()) {
            QVERIFY2(state.errorMessage().has_value(), "a capture that adds nothing says why");
            capture = QStringLiteral("refused: ") + *state.errorMessage();
        } else {
            const QUuid id = frames.constLast().id;
            QVERIFY2(QTest::qWaitFor([&] { return state.images()->images(id).isFinished(); }, 180000),
                     "the captured frame got neither a picture nor a failure within 180 s");
            const FrameImages images = state.images()->images(id);
            if (images.hasStill()) {
                QVERIFY(!images.still.size().isEmpty());
                capture = QStringLiteral("picture %1").arg(sizeText(images.still.size()));
                if (images.hasSubject())
                    QCOMPARE(images.subject.size(), images.still.size());
            } else {
                QVERIFY2(!stillFailures.isEmpty() && images.hasFailed() && !images.failure.isEmpty(),
                         "the frame was left without a picture and without a message");
                capture = QStringLiteral("failure: ") + stillFailures.constFirst().at(1).toString();
            }
        }
        qInfo("%s | %s | %s", qPrintable(HostileMedia::name(kind)), qPrintable(opening), qPrintable(capture));
    }
};

QUINTAREL_TEST(HostileMediaTest)
#include "HostileMediaTest.moc"
