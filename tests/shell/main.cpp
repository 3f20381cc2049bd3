#include "ShellTestSupport.h"

#include <QApplication>
#include <QTest>

#include <memory>

namespace mallow::test {

std::vector<std::function<QObject*()>>& TestClasses()
{
    static std::vector<std::function<QObject*()>> classes;
    return classes;
}

} // namespace mallow::test

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    int failures = 0;
    for (const auto& make : mallow::test::TestClasses()) {
        std::unique_ptr<QObject> tests(make());
        failures += QTest::qExec(tests.get(), argc, argv);
    }
    return failures == 0 ? 0 : 1;
}
