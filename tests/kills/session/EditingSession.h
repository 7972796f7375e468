#pragma once

#include "app/QuintarelApp.h"

#include <QByteArray>
#include <QDateTime>
#include <QHash>
#include <QObject>
#include <QRandomGenerator>
#include <QString>
#include <QTimer>

class AppState;

// A user of the program who never stops editing, for the kill test: it starts as the program does,
// takes back whatever work a killed session left (answering "Restaurer" when asked), then makes
// captures, notes, drawings, groups, undos and saves at random until it is killed. It tells on its
// standard output, one line each, what the document holds after every edit and when the autosave
// begins and ends a write, so that the test can tell which document a recovery file may hold.
//
// Lines: "offered <rows> <unreadable rows>", "state <number> <ms since epoch before the edit>
// <document>", "settled <document>", "ready", "writing <state number>", "written <state number>",
// "problem <text>", and "finished" once a finishing session has closed its windows. A document is
// "none" when there is no unsaved work, else its description in base64.
class EditingSession : public QObject
{
    Q_OBJECT

public:
    struct Options
    {
        QString recoveryRoot;
        QString video;
        // Where the occasional save goes.
        QString projectPath;
        quint32 seed = 1;
        // Instead of editing: close the windows giving their work up ("Ne pas enregistrer"), then end.
        bool finish = false;
    };

    explicit EditingSession(const Options &options);

    // Runs the start of the program; the edits follow from the event loop.
    void start();

private:
    void takeBackWork();
    void followAutosave();
    // Changes the window makes by itself (a list highlighting a frame, say) are states too.
    void followWindow();
    void noteWindowChange();
    void reportWindowChanges();
    void reportState(qint64 startMs);
    void edit();
    void scheduleEdit();
    void finish();
    QByteArray describe() const;
    void report(const QByteArray &line);

    Options m_options;
    QuintarelApp m_app;
    AppState *m_state = nullptr;
    QRandomGenerator m_random;
    QTimer m_nextEdit;
    int m_stateNumber = -1;
    QByteArray m_lastReported;
    bool m_editing = false;
    // When the window first changed the document since the last state told; -1 when it has not.
    qint64 m_windowChangedAt = -1;
    // The state each write under way was started from, by its time of last change.
    QHash<qint64, int> m_writes;
};
