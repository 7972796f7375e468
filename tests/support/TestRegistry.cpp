#include "TestRegistry.h"

#include <QStringList>
#include <QTest>

#include <utility>
#include <vector>

namespace {

struct Entry
{
    const char *name;
    TestRegistry::Factory factory;
};

std::vector<Entry> &entries()
{
    static std::vector<Entry> all;
    return all;
}

} // namespace

int TestRegistry::add(const char *name, Factory factory)
{
    entries().push_back({name, std::move(factory)});
    return int(entries().size());
}

// Arguments are handed to every class; a first argument naming a registered class runs that class only.
int TestRegistry::runAll(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);

    QString only;
    if (arguments.size() > 1) {
        for (const Entry &entry : entries()) {
            if (arguments.at(1) == QLatin1String(entry.name)) {
                only = arguments.takeAt(1);
                break;
            }
        }
    }

    int failures = 0;
    for (const Entry &entry : entries()) {
        if (!only.isEmpty() && only != QLatin1String(entry.name))
            continue;
        std::unique_ptr<QObject> test = entry.factory();
        failures += QTest::qExec(test.get(), arguments);
    }
    return failures == 0 ? 0 : 1;
}
