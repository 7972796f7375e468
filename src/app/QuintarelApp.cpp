#include "QuintarelApp.h"

#include "ContentView.h"
#include "QuintarelCommands.h"
#include "state/AppState.h"
#include "state/ExportRuns.h"
#include "support/KeyboardCoordinator.h"

#include <QApplication>
#include <QIcon>
#include <QLibraryInfo>
#include <QTranslator>

#include <clocale>

QuintarelApp::QuintarelApp(QObject *parent)
    : QObject(parent), m_keyboard(new KeyboardCoordinator(this)), m_exportRuns(new ExportRuns(this))
{
    connect(m_exportRuns, &ExportRuns::allFinished, this, &QuintarelApp::quitWhenIdle);
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
    QApplication application(argc, argv);
    prepareProcess();
    // An export outlives its window: the last window closing does not end the program by itself.
    QApplication::setQuitOnLastWindowClosed(false);
    QuintarelApp app;
    app.openWindow();
    return QApplication::exec();
}

void QuintarelApp::prepareProcess()
{
    QApplication::setApplicationName(QStringLiteral("Quintarel"));
    // The program speaks French: Qt's own dialogs (file panels, colour picker) follow.
    auto *qtTexts = new QTranslator(qApp);
    if (qtTexts->load(QStringLiteral("qtbase_fr"), QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
        QApplication::installTranslator(qtTexts);
    else
        delete qtTexts;
    // libmpv refuses to start under a numeric locale other than "C"; QApplication has just set it
    // from the environment.
    std::setlocale(LC_NUMERIC, "C");
    // The symbol icons are named after Adwaita's symbolic icons: use that theme when the desktop
    // names none of its own, and fall back to it otherwise.
    const QString desktopTheme = QIcon::themeName();
    if (desktopTheme.isEmpty() || desktopTheme == QLatin1String("hicolor"))
        QIcon::setThemeName(QStringLiteral("Adwaita"));
    QIcon::setFallbackThemeName(QStringLiteral("Adwaita"));
}

ContentView *QuintarelApp::openWindow()
{
    auto *window = new ContentView(m_exportRuns, m_keyboard);
    window->setAttribute(Qt::WA_DeleteOnClose);
    connect(window, &QObject::destroyed, this, &QuintarelApp::quitWhenIdle, Qt::QueuedConnection);
    new QuintarelCommands(window, window->state(), [this] { openWindow(); });

    m_windows.removeAll(nullptr);
    m_windows << window;
    window->show();
    window->activateWindow();
    return window;
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
