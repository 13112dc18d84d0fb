// Test aid of the end-to-end runs, never part of the program: the StatusNotifierWatcher of
// a D-Bus tray (as KDE Plasma and GNOME's AppIndicator extension run one) on a private
// session bus, and the host's side of the items registered with it.
//
//   sni_watcher serve LOG     owns org.kde.StatusNotifierWatcher, says a host is there, and
//                             writes to LOG, one line each: "ready"; "registered SERVICE
//                             PATH"; "unregistered SERVICE"; and every signal an item sends
//                             ("NewIcon SENDER", "NewToolTip SENDER", ...)
//   sni_watcher activate [MS...]
//                             calls Activate(0, 0) on the registered item, as a click does;
//                             with pauses, again after each pause, as panels do for a
//                             double-click: "80" as xfce and LXQt, "150 1" as waybar
//   sni_watcher pictures      prints "IconPixmap WxH" and "ToolTip WxH" for every picture the
//                             item offers, "bad" where the bytes do not match the size
//   sni_watcher tooltip       prints the tooltip's title
//   sni_watcher menu          prints "ID LABEL" for every entry of the item's menu
//   sni_watcher click LABEL   opens the item's menu and clicks the entry with that label
//
// The commands other than serve act on the first item registered; they end with code 0 when
// done, 1 when the bus or the item did not answer.

#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusPendingCall>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QFile>
#include <QObject>
#include <QStringList>
#include <QThread>

#include <cstdio>
#include <utility>
#include <vector>

namespace {

const QString kWatcherService = QStringLiteral("org.kde.StatusNotifierWatcher");
const QString kWatcherPath = QStringLiteral("/StatusNotifierWatcher");
const QString kItemInterface = QStringLiteral("org.kde.StatusNotifierItem");
const QString kMenuInterface = QStringLiteral("com.canonical.dbusmenu");
const QStringList kItemSignals = {
    QStringLiteral("NewIcon"),          QStringLiteral("NewToolTip"),
    QStringLiteral("NewTitle"),         QStringLiteral("NewStatus"),
    QStringLiteral("NewAttentionIcon"), QStringLiteral("NewOverlayIcon"),
    QStringLiteral("NewMenu")};

class Log {
  public:
    explicit Log(const QString& path) : file_(path) {
        file_.open(QIODevice::WriteOnly | QIODevice::Append);
    }
    void Line(const QString& line) {
        file_.write(line.toUtf8() + '\n');
        file_.flush();
    }

  private:
    QFile file_;
};

// Writes down the signals every item sends.
class SignalLog : public QObject {
    Q_OBJECT
  public:
    explicit SignalLog(Log& log) : log_(log) {}

  public slots:
    void Seen(const QDBusMessage& message) {
        log_.Line(message.member() + QLatin1Char(' ') + message.service());
    }

  private:
    Log& log_;
};

// The watcher itself: items register with it, and it tells them a host is there.
class StatusNotifierWatcher : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(QStringList RegisteredStatusNotifierItems READ RegisteredStatusNotifierItems)
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ IsStatusNotifierHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ ProtocolVersion)
  public:
    StatusNotifierWatcher(QDBusConnection bus, Log& log)
        : bus_(std::move(bus)),
          log_(log),
          gone_(QString(), bus_, QDBusServiceWatcher::WatchForUnregistration) {
        connect(&gone_, &QDBusServiceWatcher::serviceUnregistered, this,
                &StatusNotifierWatcher::Unregister);
    }

    QStringList RegisteredStatusNotifierItems() const { return items_; }
    bool IsStatusNotifierHostRegistered() const { return true; }
    int ProtocolVersion() const { return 0; }

  public slots:
    // An item names its own service (its path is then the usual one), or only its path.
    void RegisterStatusNotifierItem(const QString& serviceOrPath, const QDBusMessage& message) {
        QString service = serviceOrPath;
        QString path = QStringLiteral("/StatusNotifierItem");
        if (serviceOrPath.startsWith(QLatin1Char('/'))) {
            service = message.service();
            path = serviceOrPath;
        }
        items_ << service + path;
        gone_.addWatchedService(service);
        log_.Line(QStringLiteral("registered ") + service + QLatin1Char(' ') + path);
        emit StatusNotifierItemRegistered(service + path);
    }
    void RegisterStatusNotifierHost(const QString&) {}

  signals:
    void StatusNotifierItemRegistered(const QString& item);
    void StatusNotifierItemUnregistered(const QString& item);
    void StatusNotifierHostRegistered();

  private:
    void Unregister(const QString& service) {
        for (qsizetype i = items_.size() - 1; i >= 0; --i) {
            if (!items_[i].startsWith(service + QLatin1Char('/'))) continue;
            emit StatusNotifierItemUnregistered(items_[i]);
            items_.removeAt(i);
        }
        log_.Line(QStringLiteral("unregistered ") + service);
    }

    QDBusConnection bus_;
    Log& log_;
    QDBusServiceWatcher gone_;
    QStringList items_;
};

QDBusConnection Bus() {
    return QDBusConnection::sessionBus();
}

bool Failed(const QDBusMessage& reply) {
    if (reply.type() != QDBusMessage::ErrorMessage) return false;
    std::fprintf(stderr, "%s: %s\n", qPrintable(reply.errorName()),
                 qPrintable(reply.errorMessage()));
    return true;
}

struct Item {
    QString service;
    QString path;
};

// The first registered item, as the watcher lists it ("SERVICE/PATH").
bool FirstItem(Item& item) {
    QDBusMessage get = QDBusMessage::createMethodCall(
        kWatcherService, kWatcherPath, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << kWatcherService << QStringLiteral("RegisteredStatusNotifierItems");
    const QDBusMessage reply = Bus().call(get);
    if (Failed(reply)) return false;
    const QStringList items =
        reply.arguments().value(0).value<QDBusVariant>().variant().toStringList();
    if (items.isEmpty()) {
        std::fprintf(stderr, "no item is registered\n");
        return false;
    }
    const qsizetype slash = items.first().indexOf(QLatin1Char('/'));
    item = {items.first().left(slash), items.first().mid(slash)};
    return true;
}

bool ItemProperty(const Item& item, const QString& name, QVariant& value) {
    QDBusMessage get = QDBusMessage::createMethodCall(
        item.service, item.path, QStringLiteral("org.freedesktop.DBus.Properties"),
        QStringLiteral("Get"));
    get << kItemInterface << name;
    const QDBusMessage reply = Bus().call(get);
    if (Failed(reply)) return false;
    value = reply.arguments().value(0).value<QDBusVariant>().variant();
    return true;
}

// Pictures as the protocol sends them, a(iiay): width, height, ARGB bytes.
struct Picture {
    int width = 0;
    int height = 0;
    QByteArray bytes;
};

std::vector<Picture> ReadPictures(const QDBusArgument& argument) {
    std::vector<Picture> pictures;
    argument.beginArray();
    while (!argument.atEnd()) {
        Picture picture;
        argument.beginStructure();
        argument >> picture.width >> picture.height >> picture.bytes;
        argument.endStructure();
        pictures.push_back(picture);
    }
    argument.endArray();
    return pictures;
}

// The tooltip, (sa(iiay)ss): icon name, pictures, title, text.
struct Tip {
    std::vector<Picture> pictures;
    QString title;
};

Tip ReadTip(const QDBusArgument& argument) {
    Tip tip;
    QString iconName;
    QString text;
    argument.beginStructure();
    argument >> iconName;
    tip.pictures = ReadPictures(argument);
    argument >> tip.title >> text;
    argument.endStructure();
    return tip;
}

void PrintPictures(const char* what, const std::vector<Picture>& pictures) {
    for (const Picture& p : pictures) {
        const bool whole =
            p.width > 0 && p.height > 0 && p.bytes.size() == qsizetype(p.width) * p.height * 4;
        std::printf("%s %dx%d%s\n", what, p.width, p.height, whole ? "" : " bad");
    }
}

int Pictures(const Item& item) {
    QVariant icon;
    QVariant tooltip;
    if (!ItemProperty(item, QStringLiteral("IconPixmap"), icon) ||
        !ItemProperty(item, QStringLiteral("ToolTip"), tooltip))
        return 1;
    PrintPictures("IconPixmap", ReadPictures(icon.value<QDBusArgument>()));
    PrintPictures("ToolTip", ReadTip(tooltip.value<QDBusArgument>()).pictures);
    return 0;
}

int Tooltip(const Item& item) {
    QVariant tooltip;
    if (!ItemProperty(item, QStringLiteral("ToolTip"), tooltip)) return 1;
    std::printf("%s\n", qPrintable(ReadTip(tooltip.value<QDBusArgument>()).title));
    return 0;
}

// One menu entry, (ia{sv}av), and the entries below it.
void Walk(const QDBusArgument& entry, std::vector<std::pair<int, QString>>& out) {
    int id = 0;
    QVariantMap properties;
    entry.beginStructure();
    entry >> id >> properties;
    out.emplace_back(id, properties.value(QStringLiteral("label")).toString());
    entry.beginArray();
    while (!entry.atEnd()) {
        QDBusVariant child;
        entry >> child;
        Walk(child.variant().value<QDBusArgument>(), out);
    }
    entry.endArray();
    entry.endStructure();
}

bool MenuEntries(const Item& item, QString& menuPath, std::vector<std::pair<int, QString>>& out) {
    QVariant menu;
    if (!ItemProperty(item, QStringLiteral("Menu"), menu)) return false;
    menuPath = menu.value<QDBusObjectPath>().path();
    // As a host does before it opens the menu.
    QDBusMessage aboutToShow = QDBusMessage::createMethodCall(
        item.service, menuPath, kMenuInterface, QStringLiteral("AboutToShow"));
    aboutToShow << 0;
    if (Failed(Bus().call(aboutToShow))) return false;
    QDBusMessage layout = QDBusMessage::createMethodCall(item.service, menuPath, kMenuInterface,
                                                         QStringLiteral("GetLayout"));
    layout << 0 << -1 << QStringList();
    const QDBusMessage reply = Bus().call(layout);
    if (Failed(reply)) return false;
    Walk(reply.arguments().value(1).value<QDBusArgument>(), out);
    return true;
}

int Menu(const Item& item) {
    QString path;
    std::vector<std::pair<int, QString>> entries;
    if (!MenuEntries(item, path, entries)) return 1;
    for (const auto& [id, label] : entries)
        std::printf("%d %s\n", id, qPrintable(label));
    return 0;
}

int Click(const Item& item, const QString& label) {
    QString path;
    std::vector<std::pair<int, QString>> entries;
    if (!MenuEntries(item, path, entries)) return 1;
    for (const auto& [id, text] : entries) {
        if (text != label) continue;
        QDBusMessage event = QDBusMessage::createMethodCall(item.service, path, kMenuInterface,
                                                            QStringLiteral("Event"));
        event << id << QStringLiteral("clicked") << QVariant::fromValue(QDBusVariant(0)) << 0u;
        return Failed(Bus().call(event)) ? 1 : 0;
    }
    std::fprintf(stderr, "no menu entry \"%s\"\n", qPrintable(label));
    return 1;
}

// Sent without waiting for the answers, as a panel sends them: the item may be busy showing
// its window when the next one comes.
int Activate(const Item& item, const QStringList& pauses) {
    QDBusMessage activate = QDBusMessage::createMethodCall(item.service, item.path, kItemInterface,
                                                           QStringLiteral("Activate"));
    activate << 0 << 0;
    std::vector<QDBusPendingCall> calls = {Bus().asyncCall(activate)};
    for (const QString& pause : pauses) {
        QThread::msleep(pause.toULong());
        calls.push_back(Bus().asyncCall(activate));
    }
    int failed = 0;
    for (QDBusPendingCall& call : calls) {
        call.waitForFinished();
        failed += Failed(call.reply()) ? 1 : 0;
    }
    return failed == 0 ? 0 : 1;
}

int Serve(QCoreApplication& app, const QString& logPath) {
    QDBusConnection bus = Bus();
    if (!bus.isConnected()) {
        std::fprintf(stderr, "no session bus\n");
        return 1;
    }
    Log log(logPath);
    SignalLog signalLog(log);
    for (const QString& name : kItemSignals)
        bus.connect(QString(), QString(), kItemInterface, name, &signalLog,
                    SLOT(Seen(QDBusMessage)));
    StatusNotifierWatcher watcher(bus, log);
    if (!bus.registerObject(kWatcherPath, &watcher,
                            QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllSignals |
                                QDBusConnection::ExportAllProperties) ||
        !bus.registerService(kWatcherService)) {
        std::fprintf(stderr, "cannot own %s\n", qPrintable(kWatcherService));
        return 1;
    }
    log.Line(QStringLiteral("ready"));
    return app.exec();
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const QString command = args.value(0);
    if (command == QLatin1String("serve") && args.size() == 2) return Serve(app, args[1]);

    Item item;
    if (command == QLatin1String("activate"))
        return FirstItem(item) ? Activate(item, args.mid(1)) : 1;
    if (command == QLatin1String("pictures") && args.size() == 1)
        return FirstItem(item) ? Pictures(item) : 1;
    if (command == QLatin1String("tooltip") && args.size() == 1)
        return FirstItem(item) ? Tooltip(item) : 1;
    if (command == QLatin1String("menu") && args.size() == 1)
        return FirstItem(item) ? Menu(item) : 1;
    if (command == QLatin1String("click") && args.size() == 2)
        return FirstItem(item) ? Click(item, args[1]) : 1;
    std::fprintf(stderr,
                 "usage: sni_watcher serve LOG | activate [MS...] | pictures | tooltip | menu | "
                 "click LABEL\n");
    return 2;
}

#include "sni_watcher.moc"
