#pragma once

// Whether the desktop hosts tray icons right now. Two kinds of host: a StatusNotifierWatcher
// on the session bus with a host registered with it (the D-Bus panels, the only kind under
// Wayland), and, on X11, the owner of the XEmbed tray selection of the screen.
//
// Qt asks the bus once per process, when the first tray icon is made, whether a D-Bus tray
// exists, and keeps that answer for good; a panel that comes up after the program would never
// get its icon. So the program makes its tray icon only once this watch sees a host, and Qt
// then finds the one that is there.

#include <QObject>

class QDBusPendingCallWatcher;
class QDBusServiceWatcher;

class TrayHostWatch final : public QObject {
    Q_OBJECT
  public:
    explicit TrayHostWatch(QObject* parent = nullptr);
    ~TrayHostWatch() override;

    // A D-Bus host is known from the bus's own news; the XEmbed selection is looked up on
    // each call (one round trip to the X server, none on other platforms).
    bool Present() const;
    bool StatusNotifierHost() const { return statusNotifierHost_; }
    static bool XEmbedHost();

  signals:
    // A D-Bus host came or went (an XEmbed tray is only seen by asking Present()).
    void changed();

  private slots:
    void HostRegistered();
    void HostUnregistered();

  private:
    void AskWatcher(bool wait);
    void Answered(QDBusPendingCallWatcher* call);
    void SetHost(bool present);

    QDBusServiceWatcher* watch_ = nullptr;
    bool statusNotifierHost_ = false;
};
