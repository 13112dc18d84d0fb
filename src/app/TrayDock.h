#pragma once

// The program's life in the notification area: the tray icon with its menu, the look-out
// for a tray host, and the grace a start without a tray waits for one. The window hears of
// it only through the signals.
//
// A program started at login often comes up before the panel that hosts the tray: without
// a tray it waits up to the grace for one, and only then gives up on it. A tray that
// appears later still takes the icon in.

#include "TrayClicks.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QSystemTrayIcon>

#include <chrono>
#include <functional>

class QAction;
class QMenu;
class QTimer;

class TrayDock final : public QObject {
    Q_OBJECT
  public:
    // `hostPresent` says whether the desktop hosts tray icons right now; it must not ask
    // Qt's tray (see TrayHostWatch). The icon is made only once a host is there, with
    // `menu` as its context menu.
    TrayDock(std::function<bool()> hostPresent, QMenu& menu, QAction& showStatistic, QAction& exit,
             QObject* parent);

    bool Present() const { return present_; }
    // Starts the grace of a start without a tray (nothing to wait for when one is there).
    void StartInTray(std::chrono::milliseconds grace);

    // The picture and tooltip as the tray shows them; each is re-sent only when it changes.
    int Image() const { return image_; }
    void SetImage(int index);
    void SetHint(const QString& text);

  public slots:
    // Looks whether a tray host is there now; done every few seconds, and at once when the
    // desktop says one came or went.
    void LookForHost();

  signals:
    void toggleRequested();  // one click or double-click gesture on the icon
    void showStatisticChosen();
    void exitChosen();
    void trayAppeared();
    void trayGone();
    void graceEndedWithoutTray();

  private:
    void MakeIcon();
    void Activated(QSystemTrayIcon::ActivationReason reason);

    std::function<bool()> hostPresent_;
    QMenu* menu_;
    QSystemTrayIcon* icon_ = nullptr;  // none until a tray host is there
    QTimer* watch_;
    bool present_ = false;
    bool awaiting_ = false;  // within the grace of StartInTray
    QDeadlineTimer grace_;
    int image_ = 0;
    QString hint_ = QStringLiteral("Torvane");  // the tooltip, also while there is no icon
    TrayClicks clicks_;
    QElapsedTimer clickClock_;
};
