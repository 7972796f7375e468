#pragma once

#include <QObject>

#include <functional>
#include <memory>

// Lets one test executable hold several Qt Test classes: each test file registers its class with
// QUINTAREL_TEST(Class), and the shared main runs them one after the other.
namespace TestRegistry {

using Factory = std::function<std::unique_ptr<QObject>()>;

int add(const char *name, Factory factory);
int runAll(int argc, char **argv);

} // namespace TestRegistry

#define QUINTAREL_TEST(Class)                                                                                \
    static const int registered##Class = TestRegistry::add(#Class, [] { return std::make_unique<Class>(); });
