// An editing session of the program for the kill test (see EditingSession):
//   kills_session <recovery folder> <video> <project file> <seed> [finish]
#include "EditingSession.h"

#include <QApplication>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication application(argc, argv);
    QuintarelApp::prepareProcess();
    // As in the program: an export outlives its window.
    QApplication::setQuitOnLastWindowClosed(false);
    const QStringList arguments = QApplication::arguments();
    if (arguments.size() < 5) {
        std::fputs("usage: kills_session <recovery folder> <video> <project file> <seed> [finish]\n", stderr);
        return 2;
    }
    EditingSession::Options options;
    options.recoveryRoot = arguments.at(1);
    options.video = arguments.at(2);
    options.projectPath = arguments.at(3);
    options.seed = arguments.at(4).toUInt();
    options.finish = arguments.size() > 5 && arguments.at(5) == QLatin1String("finish");
    EditingSession session(options);
    // Within the event loop, as the program's own start is: the end of the last window quits it.
    QTimer::singleShot(0, &session, &EditingSession::start);
    return QApplication::exec();
}
