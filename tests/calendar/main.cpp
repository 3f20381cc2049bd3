#include <gtest/gtest.h>

#include <QApplication>

// The library's controls need an application; it is made after GoogleTest has read its flags
// and on the offscreen platform unless one is set, so that listing the tests needs no display.
int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
