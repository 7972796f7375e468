#include "QuintarelCommands.h"

#include "ContentView.h"
#include "UnsavedWorkPrompt.h"
#include "state/AppState.h"
#include "state/CaptureDocument.h"
#include "state/Playback.h"
#include "support/ContinueOn.h"
#include "views/KeyboardShortcuts.h"
#include "views/KeyboardShortcutsView.h"
#include "views/TakeoutMimeData.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QCoreApplication>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QUndoStack>

namespace {

constexpr QLatin1StringView projectExtension(".quintarel");

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

QuintarelCommands::QuintarelCommands(QMainWindow *window, AppState *state, std::function<void()> openWindow,
                                     std::function<void()> quit)
    : QObject(window)
    , m_window(window)
    , m_state(state)
    , m_openWindow(std::move(openWindow))
    , m_quit(std::move(quit))
{
    QMenuBar *bar = window->menuBar();
    bar->addMenu(makeFileMenu());
    bar->addMenu(makeEditMenu());
    bar->addMenu(makeVideoMenu());
    bar->addMenu(makeHelpMenu());

    if (state) {
        connect(state->playback(), &Playback::isPlayingChanged, this, &QuintarelCommands::updatePlayTitle);
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
    newProject->setShortcut(KeyboardShortcuts::newProject());
    connect(newProject, &QAction::triggered, this, [this] {
        if (m_openWindow)
            m_openWindow();
    });

    m_needState << addAction(menu, QStringLiteral("openVideo"), tr("Ouvrir une vidéo…"),
                             KeyboardShortcuts::openVideo(), [this](AppState *) {
                                 if (auto *content = qobject_cast<ContentView *>(m_window))
                                     content->showVideoImporter();
                             });
    m_needState << addAction(menu, QStringLiteral("openProject"), tr("Ouvrir un projet…"),
                             KeyboardShortcuts::openProject(),
                             [this](AppState *state) { openProject(state, m_window); });
    menu->addSeparator();
    m_needState << addAction(menu, QStringLiteral("save"), tr("Enregistrer"), KeyboardShortcuts::save(),
                             [this](AppState *state) { save(state, m_window); });
    m_needState << addAction(menu, QStringLiteral("saveAs"), tr("Enregistrer sous…"),
                             KeyboardShortcuts::saveAs(),
                             [this](AppState *state) { saveAs(state, m_window); });
    m_locateVideo = addAction(menu, QStringLiteral("locateVideo"), tr("Localiser la vidéo…"), QKeySequence(),
                              [this](AppState *state) { locateVideo(state, m_window); });
    menu->addSeparator();
    m_needState << addAction(menu, QStringLiteral("exportMerged"), tr("Export fusionné"),
                             KeyboardShortcuts::exportMerged(),
                             [](AppState *state) { state->runExport(ExportMode::Merged); });
    m_needState << addAction(menu, QStringLiteral("exportPerSubject"), tr("Export par sujet"),
                             KeyboardShortcuts::exportPerSubject(),
                             [](AppState *state) { state->runExport(ExportMode::PerSubject); });
    menu->addSeparator();

    // Closes every window, each asking about its unsaved work as closing it alone would.
    QAction *quit = menu->addAction(tr("Quitter"));
    quit->setObjectName(QStringLiteral("quit"));
    quit->setShortcut(KeyboardShortcuts::quit());
    quit->setMenuRole(QAction::QuitRole);
    connect(quit, &QAction::triggered, this, [this] {
        if (m_quit)
            m_quit();
    });
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
    undo->setShortcut(KeyboardShortcuts::undo());
    undo->setShortcutContext(Qt::WindowShortcut);
    QAction *redo = stack->createRedoAction(menu, tr("Rétablir"));
    redo->setObjectName(QStringLiteral("redo"));
    redo->setShortcut(KeyboardShortcuts::redo());
    redo->setShortcutContext(Qt::WindowShortcut);
    menu->addAction(undo);
    menu->addAction(redo);
    menu->addSeparator();
    // A text field with the focus keeps Ctrl+C for its text.
    m_needState << addAction(menu, QStringLiteral("copyImage"), tr("Copier l'image"),
                             KeyboardShortcuts::copyImage(), [](AppState *state) { copyImage(state); });
    menu->addSeparator();
    // The same key closes the view again, as Escape does in it.
    m_needState << addAction(menu, QStringLiteral("editFrame"), tr("Éditer l'image en grand"),
                             KeyboardShortcuts::editFrame(), [this](AppState *) {
                                 if (auto *content = qobject_cast<ContentView *>(m_window))
                                     content->setEditing(!content->isEditing());
                             });
    return menu;
}

QMenu *QuintarelCommands::makeVideoMenu()
{
    auto *menu = new QMenu(tr("Vidéo"), m_window);
    menu->setObjectName(QStringLiteral("videoMenu"));

    // The space bar itself is handled by the keyboard coordinator, so this item has no shortcut.
    m_play = addAction(menu, QStringLiteral("playPause"), QString(), QKeySequence(),
                       [](AppState *state) { state->playback()->togglePlayPause(); });
    m_needState << m_play;
    menu->addSeparator();
    addAction(menu, QStringLiteral("previousFrame"), tr("Image précédente"),
              KeyboardShortcuts::previousFrame(), [](AppState *state) { state->playback()->stepFrame(-1); });
    addAction(menu, QStringLiteral("nextFrame"), tr("Image suivante"), KeyboardShortcuts::nextFrame(),
              [](AppState *state) { state->playback()->stepFrame(1); });
    addAction(menu, QStringLiteral("intervalBack"), tr("Reculer (intervalle)"),
              KeyboardShortcuts::intervalBack(),
              [](AppState *state) { state->playback()->stepInterval(false); });
    addAction(menu, QStringLiteral("intervalForward"), tr("Avancer (intervalle)"),
              KeyboardShortcuts::intervalForward(),
              [](AppState *state) { state->playback()->stepInterval(true); });
    addAction(menu, QStringLiteral("previousShot"), tr("Plan précédent"), KeyboardShortcuts::previousShot(),
              [](AppState *state) { state->playback()->stepShot(false); });
    addAction(menu, QStringLiteral("nextShot"), tr("Plan suivant"), KeyboardShortcuts::nextShot(),
              [](AppState *state) { state->playback()->stepShot(true); });
    menu->addSeparator();
    m_needState << addAction(menu, QStringLiteral("capture"), tr("Capturer l'image"),
                             KeyboardShortcuts::capture(),
                             [](AppState *state) { state->captureCurrentFrame(); });
    m_needState << addAction(menu, QStringLiteral("captureSharpest"), tr("Capturer l'image la plus nette"),
                             KeyboardShortcuts::captureSharpest(),
                             [](AppState *state) { state->captureSharpestFrame(); });
    return menu;
}

QMenu *QuintarelCommands::makeHelpMenu()
{
    auto *menu = new QMenu(tr("Aide"), m_window);
    menu->setObjectName(QStringLiteral("helpMenu"));

    QAction *shortcuts = menu->addAction(tr("Raccourcis clavier"));
    shortcuts->setObjectName(QStringLiteral("showShortcuts"));
    shortcuts->setShortcut(KeyboardShortcuts::showShortcuts());
    shortcuts->setShortcutContext(Qt::WindowShortcut);
    connect(shortcuts, &QAction::triggered, this, &QuintarelCommands::showShortcuts);
    menu->addSeparator();
    QAction *about = menu->addAction(tr("À propos de Quintarel"));
    about->setObjectName(QStringLiteral("about"));
    about->setMenuRole(QAction::AboutRole);
    connect(about, &QAction::triggered, this, &QuintarelCommands::showAbout);
    return menu;
}

// Plain-key shortcuts (arrows, C) stay with a text field that has the focus: the field claims
// them before shortcuts are matched, so typing "c" in a note types a c. Keys with Ctrl reach the
// window even there (see KeyboardCoordinator).
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

void QuintarelCommands::showShortcuts()
{
    if (m_shortcutsView) {
        m_shortcutsView->raise();
        m_shortcutsView->activateWindow();
        return;
    }
    // Read from the menus themselves, so that the list names what the menus offer.
    QList<KeyboardShortcutsView::Section> sections;
    const QList<QAction *> menus = m_window->menuBar()->actions();
    for (const QAction *menuAction : menus) {
        const QMenu *menu = menuAction->menu();
        if (!menu)
            continue;
        KeyboardShortcutsView::Section section{menuAction->iconText(), {}};
        if (menu->objectName() == QLatin1String("videoMenu"))
            section.entries << KeyboardShortcutsView::Entry{tr("Lecture / Pause"),
                                                            {KeyboardShortcuts::playPause()}};
        for (const QAction *item : menu->actions()) {
            if (item->shortcuts().isEmpty())
                continue;
            QString description = item->iconText();
            if (description.endsWith(QChar(0x2026)))
                description.chop(1);
            section.entries << KeyboardShortcutsView::Entry{description, item->shortcuts()};
        }
        if (!section.entries.isEmpty())
            sections << section;
    }
    sections << KeyboardShortcutsView::Section{
        tr("Images capturées"),
        {{tr("Supprimer les images sélectionnées"), KeyboardShortcuts::deleteFrames()}}};
    sections << KeyboardShortcutsView::Section{
        tr("Aperçu"),
        {{tr("Supprimer l'annotation sélectionnée"), KeyboardShortcuts::deleteAnnotation()},
         {tr("Dupliquer l'annotation sélectionnée"), {KeyboardShortcuts::duplicateAnnotation()}},
         {tr("Copier l'annotation sélectionnée"), {KeyboardShortcuts::copyAnnotation()}},
         {tr("Coller l'annotation"), {KeyboardShortcuts::pasteAnnotation()}},
         {tr("Déplacer l'annotation sélectionnée d'un pixel"), KeyboardShortcuts::nudgeAnnotation()},
         {tr("Déplacer l'annotation sélectionnée de dix pixels"),
          KeyboardShortcuts::nudgeAnnotationFurther()},
         {tr("Mettre l'annotation au premier plan"), {KeyboardShortcuts::bringAnnotationToFront()}},
         {tr("Mettre l'annotation à l'arrière-plan"), {KeyboardShortcuts::sendAnnotationToBack()}}}};

    m_shortcutsView = new KeyboardShortcutsView(sections, m_window);
    m_shortcutsView->setAttribute(Qt::WA_DeleteOnClose);
    m_shortcutsView->show();
}

void QuintarelCommands::showAbout()
{
    QMessageBox about(m_window);
    about.setWindowTitle(tr("À propos de Quintarel"));
    about.setIconPixmap(QApplication::windowIcon().pixmap(64, 64));
    about.setTextFormat(Qt::PlainText);
    about.setText(QCoreApplication::applicationName() + QLatin1Char(' ') +
                  QCoreApplication::applicationVersion());
    about.setInformativeText(tr("Capture des images d'une vidéo, détoure leur sujet et exporte des PNG "
                                "annotés.\n\nLe détourage utilise le modèle ISNet (licence MIT)."));
    about.exec();
}

void QuintarelCommands::updatePlayTitle()
{
    const bool playing = m_state && m_state->playback()->isPlaying();
    m_play->setText(
        KeyboardShortcuts::withKeys(playing ? tr("Pause") : tr("Lecture"), KeyboardShortcuts::playPause()));
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

void QuintarelCommands::copyImage(AppState *state)
{
    if (!state)
        return;
    const std::optional<CapturedFrame> frame = state->document()->previewFrame();
    const QUuid frameId = frame ? frame->id : QUuid();
    const FrameTakeout &takeout = state->takeout();
    if (const std::optional<QString> refusal = takeout.refusal(frameId)) {
        state->setErrorMessage(refusal);
        return;
    }
    continueOn(state, takeout.image(frameId),
               [state, fileName = takeout.fileName(frameId)](const Result<QImage> &image) {
                   if (!image) {
                       state->setErrorMessage(tr("Copie impossible : ") + image.error().errorDescription());
                       return;
                   }
                   QGuiApplication::clipboard()->setMimeData(
                       new TakeoutMimeData({{[image] { return image; }, fileName}}, false));
               });
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
    // The check ends later; the window may have gone by then.
    state->locateVideo(
        dialog.selectedUrls().constFirst(), [window = QPointer<QWidget>(parent)](const QString &question) {
            if (!window)
                return false;
            QMessageBox box(window);
            box.setIcon(QMessageBox::Warning);
            box.setWindowTitle(tr("Localiser la vidéo…"));
            box.setTextFormat(Qt::PlainText);
            box.setText(question);
            QPushButton *use = box.addButton(tr("Utiliser quand même"), QMessageBox::AcceptRole);
            box.setDefaultButton(box.addButton(tr("Annuler"), QMessageBox::RejectRole));
            box.exec();
            return box.clickedButton() == use;
        });
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
