#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char* argv[])
{
    // CTest lists the tests by running the executable without the tests' environment, and a
    // QApplication without a display would abort the listing; widget tests run offscreen anyway.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
