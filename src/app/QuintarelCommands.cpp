#include "QuintarelCommands.h"

#include "UnsavedWorkPrompt.h"

#include "state/AppState.h"
#include "state/CaptureDocument.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QUndoStack>

namespace {

const QString projectExtension = QStringLiteral(".quintarel");

QString projectNameFilter()
{
    return QCoreApplication::translate("QuintarelCommands", "Projet Quintarel (*.quintarel)");
}

// Where the dialogs start: next to the project file, else next to the video.
QString startFolder(const AppState *state)
{
    const CaptureDocument *document = state->document();
    if (!document->projectURL().isEmpty())
        return QFileInfo(document->projectURL().toLocalFile()).absolutePath();
    if (!document->videoURL().isEmpty())
        return QFileInfo(document->videoURL().toLocalFile()).absolutePath();
    return {};
}

} // namespace

QuintarelCommands::QuintarelCommands(QMainWindow *window, AppState *state, std::function<void()> openWindow)
    : QObject(window), m_window(window), m_state(state), m_openWindow(std::move(openWindow))
{
    QMenuBar *bar = window->menuBar();
    bar->addMenu(makeFileMenu());
    bar->addMenu(makeEditMenu());
    bar->addMenu(makeVideoMenu());

    if (state) {
        connect(state, &AppState::isPlayingChanged, this, &QuintarelCommands::updatePlayTitle);
        connect(state, &QObject::destroyed, this, &QuintarelCommands::updateEnabled);
        connect(state->document(), &CaptureDocument::videoChanged, this,
                &QuintarelCommands::updateLocateVideo);
        connect(state->document(), &CaptureDocument::groupsChanged, this,
                &QuintarelCommands::updateLocateVideo);
    }
    updatePlayTitle();
    updateEnabled();
}

QMenu *QuintarelCommands::makeFileMenu()
{
    auto *menu = new QMenu(tr("Fichier"), m_window);
    menu->setObjectName(QStringLiteral("fileMenu"));

    QAction *newProject = menu->addAction(tr("Nouveau projet"));
    newProject->setObjectName(QStringLiteral("newProject"));
    newProject->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_N));
    connect(newProject, &QAction::triggered, this, [this] {
        if (m_openWindow)
            m_openWindow();
    });

    m_needState << addAction(menu, QStringLiteral("openProject"), tr("Ouvrir un projet…"),
                             QKeySequence(Qt::CTRL | Qt::Key_O),
                             [this](AppState *state) { openProject(state, m_window); });
    m_needState << addAction(menu, QStringLiteral("save"), tr("Enregistrer"),
                             QKeySequence(Qt::CTRL | Qt::Key_S),
                             [this](AppState *state) { save(state, m_window); });
    m_needState << addAction(menu, QStringLiteral("saveAs"), tr("Enregistrer sous…"),
                             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S),
                             [this](AppState *state) { saveAs(state, m_window); });
    m_locateVideo = addAction(menu, QStringLiteral("locateVideo"), tr("Localiser la vidéo…"), QKeySequence(),
                              [this](AppState *state) { locateVideo(state, m_window); });
    menu->addSeparator();
    m_needState << addAction(menu, QStringLiteral("exportMerged"), tr("Export fusionné"),
                             QKeySequence(Qt::CTRL | Qt::Key_E),
                             [](AppState *state) { state->runExport(ExportMode::Merged); });
    m_needState << addAction(menu, QStringLiteral("exportPerSubject"), tr("Export par sujet"),
                             QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_E),
                             [](AppState *state) { state->runExport(ExportMode::PerSubject); });
    return menu;
}

QMenu *QuintarelCommands::makeEditMenu()
{
    auto *menu = new QMenu(tr("Édition"), m_window);
    menu->setObjectName(QStringLiteral("editMenu"));
    if (!m_state)
        return menu;
    // The items name the step they take back or do again: "Annuler la suppression du groupe".
    QUndoStack *stack = m_state->document()->undoStack();
    QAction *undo = stack->createUndoAction(menu, tr("Annuler"));
    undo->setObjectName(QStringLiteral("undo"));
    undo->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Z));
    undo->setShortcutContext(Qt::WindowShortcut);
    QAction *redo = stack->createRedoAction(menu, tr("Rétablir"));
    redo->setObjectName(QStringLiteral("redo"));
    redo->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z));
    redo->setShortcutContext(Qt::WindowShortcut);
    menu->addAction(undo);
    menu->addAction(redo);
    return menu;
}

QMenu *QuintarelCommands::makeVideoMenu()
{
    auto *menu = new QMenu(tr("Vidéo"), m_window);
    menu->setObjectName(QStringLiteral("videoMenu"));

    // The space bar itself is handled by the keyboard coordinator, so this item has no shortcut.
    m_play = addAction(menu, QStringLiteral("playPause"), QString(), QKeySequence(),
                       [](AppState *state) { state->togglePlayPause(); });
    m_needState << m_play;
    menu->addSeparator();
    addAction(menu, QStringLiteral("previousFrame"), tr("Image précédente"), QKeySequence(Qt::Key_Left),
              [](AppState *state) { state->stepFrame(-1); });
    addAction(menu, QStringLiteral("nextFrame"), tr("Image suivante"), QKeySequence(Qt::Key_Right),
              [](AppState *state) { state->stepFrame(1); });
    addAction(menu, QStringLiteral("intervalBack"), tr("Reculer (intervalle)"),
              QKeySequence(Qt::SHIFT | Qt::Key_Left), [](AppState *state) { state->stepInterval(false); });
    addAction(menu, QStringLiteral("intervalForward"), tr("Avancer (intervalle)"),
              QKeySequence(Qt::SHIFT | Qt::Key_Right), [](AppState *state) { state->stepInterval(true); });
    menu->addSeparator();
    m_needState << addAction(menu, QStringLiteral("capture"), tr("Capturer l'image"), QKeySequence(Qt::Key_C),
                             [](AppState *state) { state->captureCurrentFrame(); });
    return menu;
}

// Plain-key shortcuts (arrows, C) stay with a text field that has the focus: the field claims
// them before shortcuts are matched, so typing "c" in a note types a c.
QAction *QuintarelCommands::addAction(QMenu *menu, const QString &name, const QString &title,
                                      const QKeySequence &shortcut, std::function<void(AppState *)> act)
{
    QAction *action = menu->addAction(title);
    action->setObjectName(name);
    action->setShortcut(shortcut);
    action->setShortcutContext(Qt::WindowShortcut);
    connect(action, &QAction::triggered, this, [this, act = std::move(act)] {
        if (AppState *state = m_state)
            act(state);
    });
    return action;
}

QAction *QuintarelCommands::action(const QString &name) const
{
    return m_window->findChild<QAction *>(name);
}

void QuintarelCommands::updatePlayTitle()
{
    const bool playing = m_state && m_state->isPlaying();
    m_play->setText(playing ? tr("Pause (Espace)") : tr("Lecture (Espace)"));
}

void QuintarelCommands::updateEnabled()
{
    const bool hasState = !m_state.isNull();
    for (QAction *action : std::as_const(m_needState))
        action->setEnabled(hasState);
    updateLocateVideo();
}

void QuintarelCommands::updateLocateVideo()
{
    m_locateVideo->setEnabled(m_state && m_state->document()->needsVideo());
}

void QuintarelCommands::openProject(AppState *state, QWidget *parent)
{
    if (!state)
        return;
    const QUrl url = QFileDialog::getOpenFileUrl(parent, tr("Ouvrir un projet…"),
                                                 QUrl::fromLocalFile(startFolder(state)), projectNameFilter(),
                                                 nullptr, QFileDialog::Options(), {QStringLiteral("file")});
    if (!url.isEmpty() &&
        UnsavedWorkPrompt::confirm(state, parent, UnsavedWorkPrompt::Reason::OpeningProject))
        state->openProject(url);
}

void QuintarelCommands::locateVideo(AppState *state, QWidget *parent)
{
    if (!state || !state->document()->needsVideo())
        return;
    // Where the video was, when that folder is still there, with its name already typed.
    const QUrl missing = state->document()->missingVideoURL();
    QFileDialog dialog(parent, tr("Localiser la vidéo…"));
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setSupportedSchemes({QStringLiteral("file")});
    if (!missing.isEmpty()) {
        const QFileInfo where(missing.toLocalFile());
        dialog.setDirectory(where.dir().exists() ? where.absolutePath() : startFolder(state));
        dialog.selectFile(where.fileName());
    } else {
        dialog.setDirectory(startFolder(state));
    }
    if (dialog.exec() != QDialog::Accepted || dialog.selectedUrls().isEmpty())
        return;
    state->locateVideo(dialog.selectedUrls().constFirst());
}

void QuintarelCommands::saveAs(AppState *state, QWidget *parent)
{
    if (!state)
        return;
    QFileDialog dialog(parent, tr("Enregistrer sous…"), startFolder(state), projectNameFilter());
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setDefaultSuffix(projectExtension.mid(1));
    dialog.selectFile(state->document()->videoName() + projectExtension);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return;
    QString path = dialog.selectedFiles().constFirst();
    if (!path.endsWith(projectExtension, Qt::CaseInsensitive))
        path += projectExtension;
    state->saveProject(QUrl::fromLocalFile(path));
}

void QuintarelCommands::save(AppState *state, QWidget *parent)
{
    if (!state)
        return;
    const QUrl projectURL = state->document()->projectURL();
    if (!projectURL.isEmpty())
        state->saveProject(projectURL);
    else
        saveAs(state, parent);
}
