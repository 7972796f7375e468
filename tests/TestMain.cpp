#include "TestRegistry.h"

#include <QApplication>
#include <QTemporaryDir>

#include <clocale>

int main(int argc, char **argv)
{
    // The liftings the tests keep go to a cache folder of their own, which starts empty and goes
    // with the run; the user's cache is never touched.
    QTemporaryDir cacheHome;
    qputenv("XDG_CACHE_HOME", cacheHome.path().toLocal8Bit());
    // So do the recovery files of the windows the tests open.
    QTemporaryDir dataHome;
    qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());
    QApplication app(argc, argv);
    // libmpv refuses to start under a numeric locale other than "C".
    std::setlocale(LC_NUMERIC, "C");
    return TestRegistry::runAll(argc, argv);
}
