#include "TrayHostWatch.h"

#include <QByteArray>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>

namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");
// Long enough for a panel that is busy starting; the first look at start waits this at most.
constexpr int kAskTimeoutMs = 1500;

QDBusMessage HostQuestion() {
    QDBusMessage get = QDBusMessage::createMethodCall(
        kWatcherService, kWatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << kWatcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    return get;
}

bool HostAnswer(const QDBusMessage& reply) {
    return reply.type() == QDBusMessage::ReplyMessage &&
           reply.arguments().value(0).value<QDBusVariant>().variant().toBool();
}

}  // namespace

TrayHostWatch::TrayHostWatch(QObject* parent) : QObject(parent) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected()) return;
    watch_ = new QDBusServiceWatcher(kWatcherService, bus, QDBusServiceWatcher::WatchForOwnerChange,
                                     this);
    connect(watch_, &QDBusServiceWatcher::serviceOwnerChanged, this,
            [this](const QString&, const QString&, const QString& newOwner) {
                // A watcher that went away takes its host with it; a new one is asked.
                if (newOwner.isEmpty()) {
                    SetHost(false);
                } else {
                    AskWatcher(false);
                }
            });
    bus.connect(kWatcherService, kWatcherPath, kWatcherService,
                QStringLiteral("StatusNotifierHostRegistered"), this, SLOT(HostRegistered()));
    bus.connect(kWatcherService, kWatcherPath, kWatcherService,
                QStringLiteral("StatusNotifierHostUnregistered"), this, SLOT(HostUnregistered()));
    if (bus.interface()->isServiceRegistered(kWatcherService)) AskWatcher(true);
}

TrayHostWatch::~TrayHostWatch() = default;

bool TrayHostWatch::Present() const {
    return statusNotifierHost_ || XEmbedHost();
}

void TrayHostWatch::HostRegistered() {
    SetHost(true);
}

void TrayHostWatch::HostUnregistered() {
    AskWatcher(false);  // another host may still be there
}

void TrayHostWatch::AskWatcher(bool wait) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (wait) {
        SetHost(HostAnswer(bus.call(HostQuestion(), QDBus::Block, kAskTimeoutMs)));
        return;
    }
    // Later on the answer is awaited in the event loop: the window goes on meanwhile.
    auto* call = new QDBusPendingCallWatcher(bus.asyncCall(HostQuestion(), kAskTimeoutMs), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, &TrayHostWatch::Answered);
}

void TrayHostWatch::Answered(QDBusPendingCallWatcher* call) {
    call->deleteLater();
    SetHost(HostAnswer(call->reply()));
}

void TrayHostWatch::SetHost(bool present) {
    if (present == statusNotifierHost_) return;
    statusNotifierHost_ = present;
    emit changed();
}

bool TrayHostWatch::XEmbedHost() {
    // Only where the program runs on an X server: under Wayland, even with an X server
    // beside it, the X connection is none of the program's.
    const auto* x11 = qGuiApp != nullptr
                          ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>()
                          : nullptr;
    if (x11 == nullptr) return false;
    xcb_connection_t* connection = x11->connection();
    if (connection == nullptr) return false;
    // The selection of the screen the program connected to, as the display name says.
    static const xcb_atom_t selection = [connection] {
        int screen = 0;
        char* host = nullptr;
        int display = 0;
        if (xcb_parse_display(nullptr, &host, &display, &screen) == 0) screen = 0;
        std::free(host);
        const QByteArray name = "_NET_SYSTEM_TRAY_S" + QByteArray::number(screen);
        xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
            connection,
            xcb_intern_atom(connection, 0, static_cast<uint16_t>(name.size()), name.constData()),
            nullptr);
        const xcb_atom_t atom = reply != nullptr ? reply->atom : xcb_atom_t{XCB_ATOM_NONE};
        std::free(reply);
        return atom;
    }();
    if (selection == XCB_ATOM_NONE) return false;
    xcb_get_selection_owner_reply_t* owner = xcb_get_selection_owner_reply(
        connection, xcb_get_selection_owner(connection, selection), nullptr);
    const bool owned = owner != nullptr && owner->owner != XCB_WINDOW_NONE;
    std::free(owner);
    return owned;
}
