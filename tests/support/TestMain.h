#pragma once

// One QApplication for several QtTest classes in one program: each class
// registers a factory, and main runs them all.

#include "app/Resources.h"
#include "format/EngineeringFormat.h"

#include <QApplication>
#include <QtTest>

#include <functional>
#include <memory>
#include <vector>

namespace norvane::test {

using TestFactory = std::function<std::unique_ptr<QObject>()>;

inline std::vector<TestFactory>& TestClasses()
{
    static std::vector<TestFactory> classes;
    return classes;
}

template <class T>
struct RegisterTest {
    RegisterTest()
    {
        TestClasses().push_back([] { return std::make_unique<T>(); });
    }
};

inline int RunAllTests(int argc, char** argv)
{
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("NorvaneTests"));
    QApplication::setApplicationName(QStringLiteral("Norvane"));
    InitResources();
    UseEnglishNumberFormat();
    int failures = 0;
    for (const TestFactory& factory : TestClasses()) {
        std::unique_ptr<QObject> test = factory();
        failures += QTest::qExec(test.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}

} // namespace norvane::test

#define NORVANE_REGISTER_TEST(Class) static const norvane::test::RegisterTest<Class> registered##Class
