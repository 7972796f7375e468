#include "QuintarelApp.h"

#include "CommandLine.h"
#include "CommandLineExport.h"
#include "ContentView.h"
#include "QuintarelCommands.h"
#include "app/KeyboardCoordinator.h"
#include "models/TextFont.h"
#include "persistence/RecoveryFile.h"
#include "services/ImageExportService.h"
#include "services/RecoverySession.h"
#include "state/AppState.h"
#include "state/ExportRuns.h"
#include "views/RecoveryDialog.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QGuiApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

#include <algorithm>
#include <clocale>
#include <cstdio>
#include <optional>

namespace {

void print(const CommandLine &line)
{
    std::FILE *stream = line.isError() ? stderr : stdout;
    // Nothing is left to tell when the terminal refuses the text.
    static_cast<void>(std::fputs(line.output().toLocal8Bit().constData(), stream));
    static_cast<void>(std::fflush(stream));
}

} // namespace

QuintarelApp::QuintarelApp(QObject *parent, const QString &recoveryRoot)
    : QObject(parent)
    , m_recovery(std::make_unique<RecoverySession>(recoveryRoot.isEmpty() ? RecoverySession::defaultRoot()
                                                                          : recoveryRoot))
    , m_keyboard(new KeyboardCoordinator(this))
    , m_exportRuns(new ExportRuns(this))
{
    connect(m_exportRuns, &ExportRuns::allFinished, this, &QuintarelApp::quitWhenIdle);
    // Checked once at start: the export panel offers WebP only where it can really be written.
    if (!ImageExportService::canWrite(ImageFormat::WebP))
        qInfo("WebP images cannot be written here (Qt's image format plugins are missing): exports are PNG");
}

QuintarelApp::~QuintarelApp()
{
    for (const QPointer<ContentView> &window : std::as_const(m_windows))
        delete window.data();
}

void QuintarelApp::quitWhenIdle()
{
    if (windows().isEmpty() && !m_exportRuns->isRunning())
        QCoreApplication::quit();
}

int QuintarelApp::run(int argc, char **argv)
{
    std::optional<CommandLine::Export> exporting;
    {
        // --help, --version and the export command need no display, so they are answered before the
        // window system is reached. Anything else, mistakes included, is read again once Qt has taken its own
        // options
        // (-platform, -style…) out of the command line.
        QCoreApplication console(argc, argv);
        prepareIdentity();
        const CommandLine line = CommandLine::parse(QCoreApplication::arguments(), QDir::currentPath());
        if (line.answersHelpOrVersion()) {
            print(line);
            return 0;
        }
        if (line.isExport()) {
            if (line.exits()) {
                print(line);
                return line.exitCode();
            }
            exporting = line.exportRequest();
        }
    }
    if (exporting) {
        // An export needs no display either, and opens no window; it draws words on pictures, which
        // takes the typefaces of a graphical application: one without a screen.
        qputenv("QT_QPA_PLATFORM", "offscreen");
        QGuiApplication headless(argc, argv);
        prepareIdentity();
        TextFont::load();
        return CommandLineExport::run(*exporting);
    }

    QApplication application(argc, argv);
    prepareProcess();
    // The typeface of the words on pictures, from its file, before anything is drawn.
    TextFont::load();
    const CommandLine line = CommandLine::parse(QApplication::arguments(), QDir::currentPath());
    if (line.exits()) {
        print(line);
        return line.exitCode();
    }
    // An export outlives its window: the last window closing does not end the program by itself.
    QApplication::setQuitOnLastWindowClosed(false);
    QuintarelApp app;
    app.offerRecovery();
    app.openFiles(line.files());
    return QApplication::exec();
}

void QuintarelApp::prepareIdentity()
{
    QCoreApplication::setApplicationName(QStringLiteral("Quintarel"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUINTAREL_VERSION));
    // The program speaks French: Qt's own texts (file panels, key names, command-line help) follow.
    auto *qtTexts = new QTranslator(QCoreApplication::instance());
    if (qtTexts->load(QStringLiteral("qtbase_fr"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QCoreApplication::installTranslator(qtTexts);
    else
        delete qtTexts;
}

void QuintarelApp::prepareProcess()
{
    prepareIdentity();
    // The desktop entry of the installed program: window managers match the windows to it.
    QGuiApplication::setDesktopFileName(QLatin1String(desktopId));
    // libmpv refuses to start under a numeric locale other than "C"; QApplication has just set it
    // from the environment.
    if (!std::setlocale(LC_NUMERIC, "C"))
        qWarning("the numeric locale could not be set to \"C\"");
    // The symbol icons are named after Adwaita's symbolic icons: use that theme when the desktop
    // names none of its own, and fall back to it otherwise.
    const QString desktopTheme = QIcon::themeName();
    if (desktopTheme.isEmpty() || desktopTheme == QLatin1String("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
    // The installed icon when the theme has it, else the same drawing built into the program.
    QApplication::setWindowIcon(QIcon::fromTheme(
        QLatin1String(desktopId), QIcon(QStringLiteral(":/icons/org.quintarel.Quintarel.svg"))));
}

ContentView *QuintarelApp::openWindow()
{
    ContentView *window = makeWindow();
    window->state()->startRecovery(m_recovery->newFilePath());
    return window;
}

ContentView *QuintarelApp::makeWindow()
{
    auto *window = new ContentView(m_exportRuns, m_keyboard);
    window->setAttribute(Qt::WA_DeleteOnClose);
    connect(window, &QObject::destroyed, this, &QuintarelApp::quitWhenIdle, Qt::QueuedConnection);
    new QuintarelCommands(
        window, window->state(), [this] { openWindow(); }, [this] { closeAllWindows(); });

    m_windows.removeAll(nullptr);
    m_windows << window;
    window->show();
    window->activateWindow();
    return window;
}

void QuintarelApp::openFiles(const QList<QUrl> &files)
{
    if (files.isEmpty()) {
        if (windows().isEmpty())
            openWindow();
        return;
    }
    for (const QUrl &url : files)
        openWindow()->openFile(url);
}

QList<ContentView *> QuintarelApp::offerRecovery()
{
    const QList<RecoverySession::Orphan> orphans = m_recovery->claimOrphans();
    if (orphans.isEmpty())
        return {};
    QList<RecoveryDialog::Entry> entries;
    for (const RecoverySession::Orphan &orphan : orphans) {
        RecoveryDialog::Entry entry;
        if (orphan.file) {
            const RecoveryFile &file = *orphan.file;
            if (file.projectPath)
                entry.projectName = QFileInfo(*file.projectPath).completeBaseName();
            entry.videoName = file.project.videoName;
            for (const GroupDTO &group : file.project.groups)
                entry.captureCount += group.frames.size();
            entry.lastChange = file.lastChange;
        } else {
            entry.fileName = QFileInfo(orphan.path).fileName();
            entry.problem = orphan.problem;
        }
        entries << entry;
    }

    RecoveryDialog dialog(entries);
    dialog.exec();
    QList<ContentView *> restored;
    switch (dialog.choice()) {
    case RecoveryDialog::Choice::Restore:
        // What cannot be read stays for the next start: a later program may read it.
        for (const RecoverySession::Orphan &orphan : orphans) {
            if (!orphan.file)
                continue;
            ContentView *window = makeWindow();
            window->state()->restoreRecovery(*orphan.file);
            // The file moves to this program, so that a crash before the next write loses nothing.
            const QString path = m_recovery->adopt(orphan.path);
            // It was last changed before the crash, not now.
            window->state()->startRecovery(path.isEmpty() ? m_recovery->newFilePath() : path,
                                           orphan.file->lastChange);
            restored << window;
        }
        break;
    case RecoveryDialog::Choice::Delete:
        for (const RecoverySession::Orphan &orphan : orphans)
            m_recovery->discard(orphan.path);
        break;
    case RecoveryDialog::Choice::Ignore:
        break;
    }
    m_recovery->releaseClaims();
    return restored;
}

bool QuintarelApp::closeAllWindows()
{
    QList<ContentView *> open = windows();
    // The window in front first: its question is the one the user expects.
    const auto front = std::find_if(open.begin(), open.end(), [this](const ContentView *window) {
        return window->state() == focusedState();
    });
    if (front != open.end())
        std::rotate(open.begin(), front, front + 1);
    for (const QPointer<ContentView> window : open) {
        if (!window)
            continue;
        // A window about to ask comes to the front, so that the user sees what the question is about.
        window->raise();
        window->activateWindow();
        if (!window->close())
            return false;
    }
    return true;
}

QList<ContentView *> QuintarelApp::windows() const
{
    QList<ContentView *> open;
    for (const QPointer<ContentView> &window : m_windows) {
        if (window)
            open << window.data();
    }
    return open;
}

AppState *QuintarelApp::focusedState() const
{
    return m_keyboard->focusedState();
}
