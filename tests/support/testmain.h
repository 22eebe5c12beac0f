#pragma once

#include <QApplication>
#include <QTemporaryDir>
#include <QTest>

#include <functional>
#include <vector>

// One test executable per area: every test class of the area registers itself with
// KVX_REGISTER_TEST, and the area's main runs them all in turn.
class CTestRegistry {
public:
    using Runner = std::function<int(int, char**)>;
    static bool Add(Runner runner)
    {
        Runners().push_back(std::move(runner));
        return true;
    }
    static int RunAll(int argc, char** argv)
    {
        // A test never reads or fills the user's cache: what the program caches (the
        // activity index of every recording opened) goes to a folder of the run's own.
        QTemporaryDir cacheHome;
        qputenv("XDG_CACHE_HOME", cacheHome.path().toLocal8Bit());
        // Nor the user's signing key: every excerpt the tests write is signed with a key
        // made for the run.
        QTemporaryDir configHome;
        qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
        // Nor the user's bookmarks.
        QTemporaryDir dataHome;
        qputenv("XDG_DATA_HOME", dataHome.path().toLocal8Bit());
        QApplication app(argc, argv);
        int status = 0;
        for (const Runner& run : Runners())
            status |= run(argc, argv);
        return status;
    }

private:
    static std::vector<Runner>& Runners()
    {
        static std::vector<Runner> runners;
        return runners;
    }
};

#define KVX_REGISTER_TEST(Class)                                                                   \
    static const bool kvxRegistered##Class = CTestRegistry::Add([](int argc, char** argv) {       \
        Class test;                                                                                \
        return QTest::qExec(&test, argc, argv);                                                    \
    })

#define KVX_TEST_MAIN()                                                                            \
    int main(int argc, char** argv) { return CTestRegistry::RunAll(argc, argv); }
