#include "BenchRegistry.h"

#include <QApplication>

#include <clocale>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    QStringList prefixes = app.arguments().mid(1);
    return BenchRegistry::runAll(prefixes);
}
