// The yardstick of the idle measurement (bench/idle_footprint.sh): the least a Qt Widgets
// program that lives in the tray needs, an application object and one tray icon with a
// 16 x 16 picture and a menu. Torvane's resident memory is compared with this one's.
// With "--window" it also holds a hidden window with one line of text, which is what
// makes a program load fonts and shape text, for a second comparison.

#include <QApplication>
#include <QLineEdit>
#include <QMenu>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QWidget>

#include <memory>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QPixmap picture(16, 16);
    picture.fill(Qt::darkBlue);
    QMenu menu;
    menu.addAction(QStringLiteral("Exit"), &app, &QApplication::quit);
    QSystemTrayIcon tray{QIcon(picture)};
    tray.setToolTip(QStringLiteral("bare"));
    tray.setContextMenu(&menu);
    tray.show();
    std::unique_ptr<QWidget> window;
    if (QApplication::arguments().contains(QStringLiteral("--window"))) {
        window = std::make_unique<QWidget>();
        new QLineEdit(QStringLiteral("0"), window.get());
    }
    return QApplication::exec();
}
