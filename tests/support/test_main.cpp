// The main of every test program. The tests share one Qt application, made before the first
// test and ended after the last. They draw off the screen unless told otherwise: no test
// needs a display of its own. Text is drawn with the fonts of tests/resources/fonts.conf
// alone, the same on every machine.

#include <QApplication>

#include <gtest/gtest.h>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("FONTCONFIG_FILE"))
        qputenv("FONTCONFIG_FILE", TORVANE_TEST_RESOURCES "/fonts.conf");
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
