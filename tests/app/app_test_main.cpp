// Runs the window tests inside one QApplication with the window's font loaded.

#include <QApplication>
#include <gtest/gtest.h>

#include "app/fonts.h"

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Windows are driven, not shown: also when ctest lists the tests.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    quillmere::LoadWindowFont();
    return RUN_ALL_TESTS();
}
