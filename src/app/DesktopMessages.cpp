#include "AppServices.h"

void DesktopMessages::Show(QWidget* owner, const QString& text, const QString& caption,
                           QMessageBox::Icon icon) {
    QMessageBox box(icon, caption, text, QMessageBox::Ok, owner);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
}
