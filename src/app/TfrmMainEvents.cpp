// The main window's own events: closing ends the program or hides the window to the tray,
// showing and hiding, a window state or size it does not keep, F1 on the window itself and
// clicks on the banner's pictures.

#include "TfrmMain.h"

#include "BannerPicture.h"
#include "FormLayout.h"
#include "TrayDock.h"
#include "online/HttpClient.h"
#include "online/UpdateOperation.h"
#include "platform/FreeMemory.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QTimer>

namespace {

// States the fixed-size window never keeps.
constexpr Qt::WindowStates kLargerStates = Qt::WindowMaximized | Qt::WindowFullScreen;

}  // namespace

void TfrmMain::closeEvent(QCloseEvent* event) {
    if (closeFlag_ || !tray_->Present()) {
        // Ending: with the close flag set, or when there is no tray to live in. A request
        // that waits (this close may come from inside its wait) ends now, so that the event
        // loop can unwind and the program end without waiting on a server.
        event->accept();
        if (update_) update_->Cancel();
        for (HttpClient* client : {HttpCli1, HttpCli2, getpic})
            client->Abort();
        emit programEnds();
        return;
    }
    event->ignore();
    HideToTray();
}

void TfrmMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    bannerView_->SetPlaying(true);
    QCoreApplication::processEvents();
}

void TfrmMain::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // Nobody sees an animated banner of a hidden window; it rests until the window shows.
    bannerView_->SetPlaying(false);
    QTimer::singleShot(0, this, [this] { ReleaseWhileHidden(); });
}

void TfrmMain::ReleaseWhileHidden() {
    if (isVisible() || !testAttribute(Qt::WA_WState_Created)) return;
    // The window rests in the tray, maybe for days: its native window and the picture of its
    // contents go, and come again on the next show (the widgets keep their state and
    // place). Then the heap gives back what showing the window had taken.
    destroy(true, true);
    platform::ReturnFreedMemory();
}

void TfrmMain::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) return;
    if (windowState() & kLargerStates) {
        // The window has one size. A window manager may grant full screen anyway (openbox
        // offers it to every normal window) or maximise a window that asks for a fixed
        // size; either is undone at once.
        QTimer::singleShot(0, this, [this] { setWindowState(windowState() & ~kLargerStates); });
    }
    if (isMinimized() && tray_->Present()) {
        // Minimising goes to the tray; done once the state change has settled.
        QTimer::singleShot(0, this, [this] {
            if (!isMinimized()) return;
            setWindowState(windowState() & ~Qt::WindowMinimized);
            HideToTray();
        });
    }
}

bool TfrmMain::FormCanResize(int newWidth, int newHeight) const {
    return newWidth == form::kClientSize.width() && newHeight == form::kClientSize.height();
}

void TfrmMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!FormCanResize(width(), height())) resize(form::kClientSize);
}

void TfrmMain::keyPressEvent(QKeyEvent* event) {
    // Only when the window itself has the focus; the controls handle their own F1.
    QWidget* focus = QApplication::focusWidget();
    if (event->key() == Qt::Key_F1 && (focus == nullptr || focus == this)) {
        Guarded([this] { gotohelp(); });
    }
    QWidget::keyPressEvent(event);
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == Image1) Guarded([this] { Image1Click(); });
        if (watched == Image2) Guarded([this] { Image2Click(); });
    }
    return false;
}
