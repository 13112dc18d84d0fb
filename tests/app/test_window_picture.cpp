// The main window as a person sees it after the start, compared pixel for pixel with a
// picture taken of it: a control moved, recoloured, resized or given another font or text
// shows here. The test programs draw with fixed fonts (tests/resources/fonts.conf).
//
// After an intended change of the window's look, take the picture anew with
//   TORVANE_WRITE_WINDOW_PICTURE=1 torvane_tests_app --gtest_filter='WindowPicture.*'
// and look at tests/resources/main_window.png before committing it.

#include "AppFakes.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QImage>

namespace {

TEST(WindowPicture, TheWindowLooksAsItsPicture) {
    apptest::Rig rig;
    rig.table.rows = std::vector<IfRow>{
        apptest::Row({0x00, 0x0C, 0x29, 0xAB, 0x01, 0xFF}, "Fast Ethernet Adapter", 2)};
    rig.settings.values["adapter"] = "Fast Ethernet Adapter [00-0C-29-AB-01-FF]";
    const std::unique_ptr<TfrmMain> window = rig.MakeWindow();
    window->FormCreate();
    const QImage shown = window->grab().toImage().convertToFormat(QImage::Format_RGB32);

    const QString file = QStringLiteral(TORVANE_TEST_RESOURCES "/main_window.png");
    if (qEnvironmentVariableIsSet("TORVANE_WRITE_WINDOW_PICTURE")) {
        ASSERT_TRUE(shown.save(file));
    }
    const QImage expected = QImage(file).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(shown.size(), expected.size());
    int differing = 0;
    for (int y = 0; y < shown.height(); ++y) {
        for (int x = 0; x < shown.width(); ++x)
            differing += shown.pixel(x, y) != expected.pixel(x, y) ? 1 : 0;
    }
    if (differing != 0) {
        const QString drawn = QDir::temp().filePath("main_window.drawn.png");
        shown.save(drawn);
        ADD_FAILURE() << differing
                      << " pixels differ; the window as drawn now: " << drawn.toStdString();
    }
}

}  // namespace
