#include "RecoveryAutosave.h"

#include "persistence/ProjectContent.h"
#include "services/RecoveryStore.h"
#include "state/CaptureDocument.h"

#include <QElapsedTimer>
#include <QFile>
#include <QUndoStack>

#include <algorithm>

RecoveryAutosave::RecoveryAutosave(CaptureDocument *document, const QString &path,
                                   const QDateTime &lastChange, QObject *parent)
    : QObject(parent), m_document(document), m_path(path)
{
    m_writer.setMaxThreadCount(1);
    // The thread stays as long as the window does: starting one for every write costs more.
    m_writer.setExpiryTimeout(-1);
    m_quiet.setSingleShot(true);
    m_ceiling.setSingleShot(true);
    connect(&m_quiet, &QTimer::timeout, this, &RecoveryAutosave::writeNow);
    connect(&m_ceiling, &QTimer::timeout, this, &RecoveryAutosave::writeNow);

    const auto changed = [this] { documentChanged(); };
    connect(document->undoStack(), &QUndoStack::indexChanged, this, changed);
    connect(document, &CaptureDocument::groupsChanged, this, changed);
    connect(document, &CaptureDocument::frameChanged, this, changed);
    connect(document, &CaptureDocument::activeGroupIDChanged, this, changed);
    connect(document, &CaptureDocument::selectionChanged, this, changed);
    connect(document, &CaptureDocument::settingChanged, this, changed);
    connect(document, &CaptureDocument::videoChanged, this, changed);
    connect(document, &CaptureDocument::projectURLChanged, this, changed);
    connect(document, &CaptureDocument::modifiedChanged, this, &RecoveryAutosave::modifiedChanged);
    if (document->isModified()) {
        documentChanged();
        if (lastChange.isValid())
            m_lastChange = lastChange;
    }
}

RecoveryAutosave::~RecoveryAutosave()
{
    m_writer.clear();
    m_writer.waitForDone();
    QFile::remove(m_path);
}

RecoveryAutosave::Snapshot RecoveryAutosave::snapshot(const CaptureDocument &document,
                                                      const QDateTime &lastChange)
{
    return Snapshot{document.content(), document.selection(), document.videoName(),
                    document.indexOfActiveGroup(), lastChange};
}

RecoveryFile RecoveryAutosave::recoveryFileOf(const Snapshot &snapshot)
{
    const DocumentContent &content = snapshot.content;
    RecoveryFile file;
    file.project = ProjectContent::toFile(content, snapshot.videoName, snapshot.activeGroupIndex);
    if (!content.projectURL.isEmpty())
        file.projectPath = content.projectURL.toLocalFile();
    file.lastChange = snapshot.lastChange;
    if (!snapshot.selection.isEmpty()) {
        for (qsizetype g = 0; g < content.groups.size(); ++g) {
            const QList<CapturedFrame> &frames = content.groups.at(g).frames;
            for (qsizetype f = 0; f < frames.size(); ++f) {
                if (snapshot.selection.contains(frames.at(f).id))
                    file.selection << RecoveryFile::FramePosition{g, f};
            }
        }
    }
    return file;
}

void RecoveryAutosave::documentChanged()
{
    if (!m_document->isModified())
        return;
    m_lastChange = QDateTime::currentDateTimeUtc();
    m_quiet.start(quietMs);
    if (!m_ceiling.isActive())
        m_ceiling.start(ceilingMs());
}

void RecoveryAutosave::modifiedChanged(bool modified)
{
    if (modified) {
        documentChanged();
        return;
    }
    // Saved, or given up: nothing is left to recover. A write under way finishes first.
    m_quiet.stop();
    m_ceiling.stop();
    m_writeAgain = false;
    const QString path = m_path;
    m_writer.start([path] { QFile::remove(path); });
    emit removed();
}

int RecoveryAutosave::ceilingMs() const
{
    // A document that takes long to write is written less often, so that the writes never take
    // more than a fifth of a core.
    return int(std::clamp<qint64>(5 * m_lastWriteMs.load(), shortestCeilingMs, longestCeilingMs));
}

void RecoveryAutosave::writeNow()
{
    m_quiet.stop();
    m_ceiling.stop();
    if (!m_document->isModified())
        return;
    if (m_writing) {
        m_writeAgain = true;
        return;
    }
    m_writing = true;
    Snapshot copy = snapshot(*m_document, m_lastChange);
    emit writeStarted(m_lastChange);
    const QString path = m_path;
    m_writer.start([this, copy = std::move(copy), path] {
        QElapsedTimer timer;
        timer.start();
        const std::optional<QString> error = RecoveryStore::write(recoveryFileOf(copy), path);
        m_lastWriteMs = timer.elapsed();
        const QDateTime lastChange = copy.lastChange;
        // The autosave waits for this thread before it goes, so it is still there to be told.
        QMetaObject::invokeMethod(
            this, [this, lastChange, error] { writeFinished(lastChange, error.value_or(QString())); },
            Qt::QueuedConnection);
    });
}

void RecoveryAutosave::waitForWrites()
{
    m_writer.waitForDone();
}

void RecoveryAutosave::writeFinished(const QDateTime &lastChange, const QString &error)
{
    m_writing = false;
    if (!error.isEmpty())
        emit writeFailed(error);
    else
        emit written(lastChange);
    if (m_writeAgain) {
        m_writeAgain = false;
        writeNow();
    }
}
