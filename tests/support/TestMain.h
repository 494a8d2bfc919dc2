#pragma once

// One QApplication for several QtTest classes in one program: each class
// registers a factory, and main runs them all.

#include "app/Resources.h"
#include "format/EngineeringFormat.h"
#include "support/Prerequisites.h"

#include <QApplication>
#include <QtTest>

#include <cstdio>
#include <cstdlib>
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

// CTest runs these programs once more under other locales (see
// tests/CMakeLists.txt): LC_ALL names the locale, and NORVANE_REQUIRE_LC_ALL
// says that the run is there for it. Without the locale on the machine the
// C library would quietly stay in "C" and the run would prove nothing: it
// fails instead, naming what to install.
inline int RunAllTests(int argc, char** argv)
{
    if (std::getenv("NORVANE_REQUIRE_LC_ALL") != nullptr) {
        const char* locale = std::getenv("LC_ALL");
        const std::string missing = locale == nullptr || *locale == '\0'
                                        ? std::string("NORVANE_REQUIRE_LC_ALL is set but LC_ALL is not")
                                        : MissingLocale(locale);
        if (!missing.empty()) {
            std::fprintf(stderr, "%s\n", missing.c_str());
            return 1;
        }
    }
    QApplication application(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("NorvaneTests"));
    QApplication::setApplicationName(QStringLiteral("Norvane"));
    InitResources();
    UseEnglishNumberFormat();
    // CTest runs each class on its own, in parallel, naming it here and
    // listing all it runs: a class missing from that list would never run.
    const char* only = std::getenv("NORVANE_TEST_CLASS");
    const char* listed = std::getenv("NORVANE_TEST_CLASSES");
    int failures = 0;
    int run = 0;
    for (const TestFactory& factory : TestClasses()) {
        std::unique_ptr<QObject> test = factory();
        const QString name = QString::fromLatin1(test->metaObject()->className());
        if (listed != nullptr && !QString::fromLatin1(listed).split(u',').contains(name)) {
            std::fprintf(stderr, "the test class %s is missing from the CLASSES in tests/CMakeLists.txt\n",
                         qPrintable(name));
            return 1;
        }
        if (only != nullptr && name != QLatin1String(only)) {
            continue;
        }
        ++run;
        failures += QTest::qExec(test.get(), argc, argv);
    }
    if (run == 0 && only != nullptr) {
        std::fprintf(stderr, "no test class is called %s\n", only);
        return 1;
    }
    return failures == 0 ? 0 : 1;
}

} // namespace norvane::test

#define NORVANE_REGISTER_TEST(Class) static const norvane::test::RegisterTest<Class> registered##Class
