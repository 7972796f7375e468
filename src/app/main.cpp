#include <QApplication>
#include <QMainWindow>

#include <clocale>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quintarel"));
    // libmpv refuses to start under a numeric locale other than "C".
    std::setlocale(LC_NUMERIC, "C");

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Quintarel"));
    window.resize(1280, 800);
    window.show();
    return app.exec();
}
