#include "EditingSession.h"

#include "DocumentDump.h"
#include "ModalAnswers.h"
#include "TestVideo.h"

#include "app/ContentView.h"
#include "models/Annotation.h"
#include "models/AnnotationShape.h"
#include "models/AnnotationShapes.h"
#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/RecoveryAutosave.h"
#include "views/RecoveryDialog.h"

#include <QApplication>
#include <QPushButton>
#include <QTest>
#include <QTreeWidget>
#include <QUndoStack>

#include <unistd.h>

#include <algorithm>

namespace {

// Notes as users write them: accents, quotes, several lines, emoji, nothing at all.
const QStringList noteTexts = {
    QStringLiteral("regard caméra"),
    QStringLiteral("« plan large », deux personnages"),
    QStringLiteral("ligne un\nligne deux\n\tretrait"),
    QStringLiteral("fin de séquence 🎬 — à reprendre"),
    QString(),
    QStringLiteral("\"guillemets\" et \\barres\\ obliques"),
    QString(300, QLatin1Char('x')),
};

const QStringList groupNames = {QStringLiteral("Plans larges"), QStringLiteral("Détails"),
                                QStringLiteral("Séquence 2"), QStringLiteral("Visages")};

// The stills are taken among the first frames only: each new one is lifted by the segmentation
// model, and these few come back from the disk cache after the first time.
constexpr int framesUsed = 6;

} // namespace

EditingSession::EditingSession(const Options &options)
    : m_options(options), m_app(nullptr, options.recoveryRoot), m_random(options.seed)
{
    m_nextEdit.setSingleShot(true);
    connect(&m_nextEdit, &QTimer::timeout, this, &EditingSession::edit);
}

void EditingSession::report(const QByteArray &line)
{
    // Straight to the pipe, unbuffered: a kill right after loses nothing already told.
    const QByteArray text = line + '\n';
    qsizetype done = 0;
    while (done < text.size()) {
        const ssize_t written = ::write(STDOUT_FILENO, text.constData() + done, size_t(text.size() - done));
        if (written <= 0)
            return;
        done += written;
    }
}

QByteArray EditingSession::describe() const
{
    const CaptureDocument &document = *m_state->document();
    if (!document.isModified())
        return QByteArrayLiteral("none");
    // A restored document has new identifiers for its groups and frames: they are described by
    // their places.
    QString text = DocumentDump::lines(document).join(QLatin1Char('\n'));
    QStringList selection;
    const QList<CaptureGroup> &groups = document.groups();
    for (qsizetype g = 0; g < groups.size(); ++g) {
        text.replace(groups.at(g).id.toString(), QStringLiteral("<groupe %1>").arg(g));
        const QList<CapturedFrame> &frames = groups.at(g).frames;
        for (qsizetype f = 0; f < frames.size(); ++f) {
            text.replace(frames.at(f).id.toString(), QStringLiteral("<image %1.%2>").arg(g).arg(f));
            if (document.selection().contains(frames.at(f).id))
                selection << QStringLiteral("%1.%2").arg(g).arg(f);
        }
    }
    text += QStringLiteral("\nselection ") + selection.join(QLatin1Char(' '));
    return text.toUtf8().toBase64();
}

void EditingSession::reportState(qint64 startMs)
{
    ++m_stateNumber;
    m_lastReported = describe();
    m_windowChangedAt = -1;
    report("state " + QByteArray::number(m_stateNumber) + ' ' + QByteArray::number(startMs) + ' ' +
           m_lastReported);
}

void EditingSession::followWindow()
{
    CaptureDocument *document = m_state->document();
    const auto changed = [this] { noteWindowChange(); };
    connect(document->undoStack(), &QUndoStack::indexChanged, this, changed);
    connect(document, &CaptureDocument::groupsChanged, this, changed);
    connect(document, &CaptureDocument::frameChanged, this, changed);
    connect(document, &CaptureDocument::activeGroupIDChanged, this, changed);
    connect(document, &CaptureDocument::selectionChanged, this, changed);
    connect(document, &CaptureDocument::settingChanged, this, changed);
    connect(document, &CaptureDocument::videoChanged, this, changed);
    connect(document, &CaptureDocument::projectURLChanged, this, changed);
    connect(document, &CaptureDocument::modifiedChanged, this, changed);
}

void EditingSession::noteWindowChange()
{
    if (m_editing || m_windowChangedAt >= 0)
        return;
    m_windowChangedAt = QDateTime::currentMSecsSinceEpoch();
    // Told once the change is whole; before, the autosave's writes tell it (see followAutosave).
    QTimer::singleShot(0, this, &EditingSession::reportWindowChanges);
}

void EditingSession::reportWindowChanges()
{
    if (m_windowChangedAt < 0)
        return;
    if (describe() != m_lastReported)
        reportState(m_windowChangedAt);
    m_windowChangedAt = -1;
}

void EditingSession::start()
{
    takeBackWork();
    followAutosave();
    followWindow();
    reportState(QDateTime::currentMSecsSinceEpoch());

    // The window shows its video before anything else is done with it.
    if (!QTest::qWaitFor([this] { return !m_state->playback()->videoURL().isEmpty(); }, 30000) ||
        !TestVideo::settled(*m_state)) {
        report("problem the video did not open: " +
               m_state->errorMessage().value_or(QString()).toUtf8().toBase64());
        return;
    }
    report("settled " + describe());
    if (m_state->errorMessage())
        report("problem " + m_state->errorMessage()->toUtf8().toBase64());
    if (m_options.finish) {
        finish();
        return;
    }
    report("ready");
    scheduleEdit();
}

void EditingSession::takeBackWork()
{
    int rows = 0;
    int unreadable = 0;
    ModalAnswers answers({[&rows, &unreadable](QWidget *widget) {
        auto *dialog = qobject_cast<RecoveryDialog *>(widget);
        if (!dialog)
            return;
        rows = dialog->list()->topLevelItemCount();
        for (int row = 0; row < rows; ++row) {
            if (dialog->list()->topLevelItem(row)->text(1).startsWith(QStringLiteral("Illisible")))
                ++unreadable;
        }
        for (QPushButton *button : dialog->findChildren<QPushButton *>()) {
            if (button->text() == QStringLiteral("Restaurer") && button->isEnabled()) {
                button->click();
                return;
            }
        }
    }});
    const QList<ContentView *> restored = m_app.offerRecovery();
    report("offered " + QByteArray::number(rows) + ' ' + QByteArray::number(unreadable));
    if (restored.size() > 1)
        report("problem " + QByteArray::number(restored.size()) + " windows restored");
    if (restored.isEmpty())
        m_app.openFiles({QUrl::fromLocalFile(m_options.video)});
    m_state = m_app.windows().constFirst()->state();
}

void EditingSession::followAutosave()
{
    RecoveryAutosave *autosave = m_state->recovery();
    if (!autosave) {
        report("problem the window keeps no recovery file");
        return;
    }
    connect(autosave, &RecoveryAutosave::writeStarted, this, [this](const QDateTime &lastChange) {
        // The write holds what the window changed by itself too.
        reportWindowChanges();
        m_writes.insert(lastChange.toMSecsSinceEpoch(), m_stateNumber);
        report("writing " + QByteArray::number(m_stateNumber));
    });
    connect(autosave, &RecoveryAutosave::written, this, [this](const QDateTime &lastChange) {
        report("written " + QByteArray::number(m_writes.take(lastChange.toMSecsSinceEpoch())));
    });
    connect(autosave, &RecoveryAutosave::writeFailed, this,
            [this](const QString &message) { report("problem " + message.toUtf8().toBase64()); });
}

void EditingSession::scheduleEdit()
{
    // Mostly a steady flow of edits; now and then a pause longer than the autosave's quiet second.
    const bool pause = m_random.bounded(100) < 4;
    m_nextEdit.start(pause ? 1100 + m_random.bounded(800) : 30 + m_random.bounded(220));
}

void EditingSession::edit()
{
    CaptureDocument *document = m_state->document();
    const QList<CapturedFrame> frames = document->allFrames();
    const QList<CaptureGroup> &groups = document->groups();
    const auto anyFrame = [&] { return frames.at(m_random.bounded(int(frames.size()))); };
    const auto anyGroup = [&] { return groups.at(m_random.bounded(int(groups.size()))).id; };

    reportWindowChanges();
    const qint64 startMs = QDateTime::currentMSecsSinceEpoch();
    m_editing = true;
    int choice = m_random.bounded(100);
    // Without frames, or with too many, the edit adds or removes one.
    if (frames.isEmpty())
        choice = 0;
    else if (frames.size() > 60)
        choice = 60;

    if (choice < 22) {
        // The still is the frame on screen; the player moves on a frame for the next one.
        m_state->captureCurrentFrame();
        const MediaTime step = m_state->playback()->frameDuration();
        const int onScreen = step.isNumeric() && step.seconds() > 0
                                 ? int(m_state->playback()->currentTime().seconds() / step.seconds())
                                 : 0;
        m_state->playback()->stepFrame(onScreen >= framesUsed - 1               ? -1
                                       : (onScreen == 0 || m_random.bounded(2)) ? 1
                                                                                : -1);
    } else if (choice < 40) {
        document->setNote(noteTexts.at(m_random.bounded(int(noteTexts.size()))), anyFrame().id);
    } else if (choice < 56) {
        Annotation drawing;
        drawing.kind = AnnotationShapes::all().at(m_random.bounded(3))->kind();
        drawing.start = QPointF(m_random.generateDouble(), m_random.generateDouble());
        drawing.end = QPointF(m_random.generateDouble() * 1.2 - 0.1, m_random.generateDouble());
        drawing.r = m_random.generateDouble();
        drawing.g = m_random.bounded(2);
        drawing.lineWidth = 0.002 + m_random.generateDouble() / 50;
        document->addAnnotation(anyFrame().id, drawing);
    } else if (choice < 60) {
        const CapturedFrame frame = anyFrame();
        if (!frame.annotations.isEmpty())
            document->setAnnotationColor(frame.id, frame.annotations.constFirst().id, QColor(20, 120, 240));
    } else if (choice < 66) {
        const CapturedFrame frame = anyFrame();
        if (!frame.annotations.isEmpty())
            document->deleteAnnotation(frame.id, frame.annotations.constLast().id);
        else
            document->deleteFrame(frame.id);
    } else if (choice < 69) {
        document->addGroup();
    } else if (choice < 73) {
        document->setGroupName(anyGroup(), groupNames.at(m_random.bounded(int(groupNames.size()))));
    } else if (choice < 75) {
        document->setGroupNotes(anyGroup(), noteTexts.at(m_random.bounded(int(noteTexts.size()))));
    } else if (choice < 78) {
        document->setActiveGroup(anyGroup());
    } else if (choice < 81) {
        document->moveFrame(anyFrame().id, anyGroup());
    } else if (choice < 85) {
        QSet<QUuid> selection;
        for (const CapturedFrame &frame : frames) {
            if (m_random.bounded(3) == 0)
                selection.insert(frame.id);
        }
        document->setSelection(selection);
    } else if (choice < 92) {
        document->undoStack()->undo();
    } else if (choice < 96) {
        document->undoStack()->redo();
    } else if (choice < 98) {
        document->setSelectedFilter(FilterStyle(m_random.bounded(4)));
        document->setCropToSubject(m_random.bounded(2) == 1);
    } else if (choice < 99) {
        EdgeOptions options = document->edgeOptions();
        options.shrink = m_random.bounded(10);
        options.outline = !options.outline;
        document->setEdgeOptions(options);
    } else {
        // Saved: nothing is left to recover until the next change.
        m_state->saveProject(QUrl::fromLocalFile(m_options.projectPath));
    }
    m_editing = false;
    reportState(startMs);
    if (m_state->errorMessage()) {
        report("problem " + m_state->errorMessage()->toUtf8().toBase64());
        m_state->clearErrorMessage();
    }
    scheduleEdit();
}

void EditingSession::finish()
{
    // Giving the work up removes its file; the program then ends as it does when its last window
    // closes.
    auto *answers = new ModalAnswers({ModalAnswers::click(QStringLiteral("Ne pas enregistrer"))});
    answers->setParent(this);
    if (!m_app.closeAllWindows()) {
        report("problem the window did not close");
        return;
    }
    connect(qApp, &QCoreApplication::aboutToQuit, this, [this] { report("finished"); });
}
