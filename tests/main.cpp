// The test program: runs the suite that its first argument names, with QtTest's options after it.
#include "Rig.h"

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    const auto suite = argc > 1 ? Suites().find(argv[1]) : Suites().end();
    if (suite == Suites().end()) {
        std::fprintf(stderr, "usage: %s SUITE [QtTest options]; suites:", argv[0]);
        for (const auto& entry : Suites())
            std::fprintf(stderr, " %s", qPrintable(entry.first));
        return 2;
    }
    const std::unique_ptr<QObject> tests(suite->second());
    argv[1] = argv[0];
    return QTest::qExec(tests.get(), argc - 1, argv + 1);
}
