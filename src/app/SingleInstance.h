#pragma once

// One copy of the program per user. The first copy holds a lock file and listens on a local
// (AF_UNIX) socket, both named after the fixed instance name in the user's runtime folder; the
// socket is served through the event loop, without Qt's network library, which the program
// would otherwise carry in the tray for this alone. A later
// start sends the class and caption of the window it looks for; the running copy shows its
// window when both match. The lock of a copy that died is taken over (the lock file names
// its owner's process, and a lock whose process is gone counts as stale).

#include <QByteArray>
#include <QLockFile>
#include <QObject>
#include <QSocketNotifier>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <map>
#include <memory>

class SingleInstance final : public QObject {
    Q_OBJECT
  public:
    // Fixed; it does not follow the version record.
    static constexpr const char* kInstanceName = "Torvane v1.01";

    enum class Claim {
        First,    // this copy holds the lock and listens
        Running,  // another live copy holds the lock
        Failed,   // the mechanism itself does not work here
    };

    enum class Answer {
        Shown,     // the running copy showed its window
        NotFound,  // it answered, but its window has another class or caption
        NoAnswer,  // nobody answered
    };

    // Window lookup of a later start: class and caption; true when the window was shown.
    using ShowHandler = std::function<bool(const QString& className, const QString& caption)>;

    // `runtimeDir`: the user's runtime folder; empty when there is none.
    explicit SingleInstance(QString runtimeDir, QObject* parent = nullptr);
    ~SingleInstance() override;

    // Takes the lock and starts listening.
    Claim ClaimInstance();

    // For a copy that runs beside another (started with "/new"): tries again every
    // `intervalMs` and takes over the lock and the socket once the other copy has ended,
    // so that later starts find this copy.
    void ClaimWhenFree(int intervalMs);

    // A later start: connects to the running copy (retrying for up to `timeoutMs`, as it may
    // still be starting) and asks it to show its window.
    Answer AskRunningCopyToShow(const QString& className, const QString& caption,
                                int timeoutMs) const;

    // Whether the lock file names a live owner (false when it cannot be read at all).
    bool LockHasOwner() const;

    void SetShowHandler(ShowHandler handler) { showHandler_ = std::move(handler); }

    bool IsListening() const { return listenFd_ >= 0; }
    QString LockPath() const;
    QString SocketPath() const;

  private:
    // A later start's connection: what it has sent so far.
    struct Connection {
        QSocketNotifier* notifier;
        QByteArray request;
    };

    bool Listen();
    void StopListening();
    void OnNewConnection();
    void OnRequest(int fd);
    void Drop(int fd);

    QString dir_;
    std::unique_ptr<QLockFile> lock_;
    int listenFd_ = -1;
    // Notifiers and the timer are children, so that they follow the object into another
    // thread.
    QSocketNotifier* listener_ = nullptr;
    std::map<int, Connection> connections_;
    QTimer retry_;
    ShowHandler showHandler_;
};

// The user's runtime folder as the desktop defines it (XDG_RUNTIME_DIR, or Qt's private
// fallback); empty when there is no usable one.
QString UserRuntimeDir();

// True when the first parameter, lower-cased by LowerCaseCyr, is exactly "/new".
// `arguments` are the program's parameters without the program name.
bool IsNewSwitch(const QStringList& arguments);
