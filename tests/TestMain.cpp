#include "TestRegistry.h"

#include <QApplication>

#include <clocale>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    // libmpv refuses to start under a numeric locale other than "C".
    std::setlocale(LC_NUMERIC, "C");
    return TestRegistry::runAll(argc, argv);
}
