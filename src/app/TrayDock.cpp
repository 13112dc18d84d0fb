#include "TrayDock.h"

#include "Pictures.h"

#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QTimer>

#include <utility>

namespace {

constexpr int kWatchPeriod = 3000;  // milliseconds between looks for a tray host
constexpr int kGraceLook = 200;     // the same, while waiting for a tray at start

}  // namespace

TrayDock::TrayDock(std::function<bool()> hostPresent, QMenu& menu, QAction& showStatistic,
                   QAction& exit, QObject* parent)
    : QObject(parent),
      hostPresent_(std::move(hostPresent)),
      menu_(&menu),
      watch_(new QTimer(this)),
      clicks_(QApplication::doubleClickInterval()) {
    connect(&showStatistic, &QAction::triggered, this, &TrayDock::showStatisticChosen);
    connect(&exit, &QAction::triggered, this, &TrayDock::exitChosen);
    clickClock_.start();
    present_ = hostPresent_ && hostPresent_();
    if (present_) {
        MakeIcon();
        icon_->show();
    }
    watch_->setInterval(kWatchPeriod);
    connect(watch_, &QTimer::timeout, this, &TrayDock::LookForHost);
    watch_->start();
}

void TrayDock::MakeIcon() {
    // Made only now that a tray host is there: the first tray icon of the process settles
    // for good whether Qt puts it on the D-Bus tray or into an XEmbed tray.
    icon_ = new QSystemTrayIcon(TrayPicture(image_), this);
    icon_->setObjectName(QStringLiteral("RxTrayIcon"));
    icon_->setToolTip(hint_);
    icon_->setContextMenu(menu_);
    connect(icon_, &QSystemTrayIcon::activated, this, &TrayDock::Activated);
}

void TrayDock::Activated(QSystemTrayIcon::ActivationReason reason) {
    if (clicks_.Toggles(reason, clickClock_.elapsed())) emit toggleRequested();
}

void TrayDock::StartInTray(std::chrono::milliseconds grace) {
    if (present_) return;
    awaiting_ = true;
    grace_.setRemainingTime(grace);
    watch_->start(kGraceLook);
}

void TrayDock::LookForHost() {
    const bool available = hostPresent_ && hostPresent_();
    const bool came = available && !present_;
    const bool went = !available && present_;
    if (came) {
        // A tray host appeared (for the first time, or again after it went away): dock the
        // icon there anew.
        if (icon_ == nullptr) {
            MakeIcon();
        } else {
            icon_->hide();
        }
        icon_->show();
    }
    present_ = available;
    if (came) emit trayAppeared();
    if (went) emit trayGone();
    if (awaiting_ && (present_ || grace_.hasExpired())) {
        awaiting_ = false;
        watch_->setInterval(kWatchPeriod);
        if (!present_) emit graceEndedWithoutTray();
    }
}

void TrayDock::SetImage(int index) {
    if (index < 0 || index >= kTrayPictureCount || index == image_) return;
    image_ = index;
    if (icon_ != nullptr) icon_->setIcon(TrayPicture(index));
}

void TrayDock::SetHint(const QString& text) {
    hint_ = text;
    if (icon_ != nullptr && icon_->toolTip() != text) icon_->setToolTip(text);
}
