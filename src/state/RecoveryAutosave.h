#pragma once

#include "persistence/DocumentContent.h"
#include "persistence/RecoveryFile.h"

#include <QDateTime>
#include <QObject>
#include <QSet>
#include <QString>
#include <QThreadPool>
#include <QTimer>
#include <QUuid>

#include <atomic>

class CaptureDocument;

// Keeps the unsaved work of one document in a recovery file, so that a crash or a power cut loses
// only the last seconds of it. While the document has unsaved changes, the file is written a second
// after the last change, and at least every couple of seconds while changes go on (less often for
// a document that takes long to write, never less than every ten seconds). The main thread only
// copies the document's content, which its implicit sharing makes cheap; the file is made and
// written on a thread of its own, one write after the other, each replacing the file whole. Once
// the document has no unsaved changes (it was saved, or its work given up), the file is removed;
// it is removed too when the autosave ends with its window.
class RecoveryAutosave : public QObject
{
    Q_OBJECT

public:
    // What the file is made from: a copy of the document taken on the main thread.
    struct Snapshot
    {
        DocumentContent content;
        QSet<QUuid> selection;
        QString videoName;
        int activeGroupIndex = 0;
        QDateTime lastChange;
    };

    static constexpr int quietMs = 1000;
    static constexpr int shortestCeilingMs = 2000;
    static constexpr int longestCeilingMs = 10000;

    // Starts watching `document`, writing to `path`; a document that already has unsaved changes
    // is written a second later, as last changed at `lastChange` when it is given (work brought back
    // from a recovery file), else now.
    RecoveryAutosave(CaptureDocument *document, const QString &path, const QDateTime &lastChange = {},
                     QObject *parent = nullptr);
    // Lets a write under way finish, then removes the file.
    ~RecoveryAutosave() override;

    QString path() const { return m_path; }

    static Snapshot snapshot(const CaptureDocument &document, const QDateTime &lastChange);
    static RecoveryFile recoveryFileOf(const Snapshot &snapshot);

    // Writes the pending change now, without waiting for the quiet second (a test, a benchmark).
    void writeNow();
    // Waits for the writes and removals asked for so far.
    void waitForWrites();

signals:
    // A write of the document as it was at `lastChange` has begun; `written` or `writeFailed`
    // follows once it has ended.
    void writeStarted(const QDateTime &lastChange);
    // A write has replaced the file; it holds the document as it was at `lastChange`.
    void written(const QDateTime &lastChange);
    // A write failed (a full disk, say); the next change tries again.
    void writeFailed(const QString &message);
    void removed();

private:
    void documentChanged();
    void modifiedChanged(bool modified);
    void writeFinished(const QDateTime &lastChange, const QString &error);
    int ceilingMs() const;

    CaptureDocument *m_document;
    QString m_path;
    QTimer m_quiet;
    QTimer m_ceiling;
    // One thread, so that writes and removals happen in the order they are asked for.
    QThreadPool m_writer;
    QDateTime m_lastChange;
    bool m_writing = false;
    bool m_writeAgain = false;
    std::atomic<qint64> m_lastWriteMs{0};
};
