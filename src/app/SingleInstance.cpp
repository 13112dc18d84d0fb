#include "SingleInstance.h"

#include "util/CodePage.h"
#include "util/funcQuendra.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QThread>

#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>
#include <utility>

namespace {

// Request: class line and caption line; answer: "1" shown, "0" not found.
constexpr qsizetype kMaxRequest = 4096;
constexpr char kShown[] = "1\n";
constexpr char kNotFound[] = "0\n";

// The socket address of a path; nothing when the path is too long for one.
std::optional<sockaddr_un> AddressOf(const QString& path) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray name = QFile::encodeName(path);
    if (name.isEmpty() || static_cast<std::size_t>(name.size()) >= sizeof address.sun_path)
        return std::nullopt;
    std::memcpy(address.sun_path, name.constData(), static_cast<std::size_t>(name.size()));
    return address;
}

const sockaddr* Raw(const sockaddr_un& address) {
    return reinterpret_cast<const sockaddr*>(&address);
}

// Closes a descriptor when it goes out of scope.
struct Descriptor {
    int fd;
    ~Descriptor() {
        if (fd >= 0) ::close(fd);
    }
};

}  // namespace

SingleInstance::SingleInstance(QString runtimeDir, QObject* parent)
    : QObject(parent), dir_(std::move(runtimeDir)), retry_(this) {
    connect(&retry_, &QTimer::timeout, this, [this] {
        if (ClaimInstance() != Claim::Running) retry_.stop();
    });
}

SingleInstance::~SingleInstance() {
    StopListening();
    if (lock_ != nullptr) lock_->unlock();
}

QString SingleInstance::LockPath() const {
    return dir_ + QLatin1Char('/') + QLatin1String(kInstanceName) + QStringLiteral(".lock");
}

QString SingleInstance::SocketPath() const {
    return dir_ + QLatin1Char('/') + QLatin1String(kInstanceName) + QStringLiteral(".socket");
}

SingleInstance::Claim SingleInstance::ClaimInstance() {
    if (dir_.isEmpty() || !QFileInfo(dir_).isDir()) return Claim::Failed;
    if (lock_ != nullptr && lock_->isLocked()) return IsListening() ? Claim::First : Claim::Failed;

    lock_ = std::make_unique<QLockFile>(LockPath());
    // Never stale by age: a copy may run for months. A lock whose process has died is
    // still recognised and taken over.
    lock_->setStaleLockTime(0);
    if (lock_->tryLock(0)) return Listen() ? Claim::First : Claim::Failed;
    return lock_->error() == QLockFile::LockFailedError ? Claim::Running : Claim::Failed;
}

void SingleInstance::ClaimWhenFree(int intervalMs) {
    retry_.start(intervalMs);
}

bool SingleInstance::Listen() {
    StopListening();
    const std::optional<sockaddr_un> address = AddressOf(SocketPath());
    if (!address) return false;
    Descriptor socket{::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0)};
    if (socket.fd < 0) return false;
    // A socket file left by a copy that died would block the name; the lock says it is ours.
    ::unlink(address->sun_path);
    if (::bind(socket.fd, Raw(*address), sizeof *address) != 0) return false;
    // Only this user may ask (the runtime folder is the user's alone as well).
    if (::chmod(address->sun_path, S_IRUSR | S_IWUSR) != 0 || ::listen(socket.fd, 8) != 0) {
        ::unlink(address->sun_path);
        return false;
    }
    listenFd_ = std::exchange(socket.fd, -1);
    listener_ = new QSocketNotifier(listenFd_, QSocketNotifier::Read, this);
    connect(listener_, &QSocketNotifier::activated, this, &SingleInstance::OnNewConnection);
    return true;
}

void SingleInstance::StopListening() {
    while (!connections_.empty())
        Drop(connections_.begin()->first);
    if (listenFd_ < 0) return;
    delete listener_;
    listener_ = nullptr;
    ::close(std::exchange(listenFd_, -1));
    if (const std::optional<sockaddr_un> address = AddressOf(SocketPath()))
        ::unlink(address->sun_path);
}

bool SingleInstance::LockHasOwner() const {
    qint64 pid = 0;
    QString host, app;
    QLockFile probe(LockPath());
    return probe.getLockInfo(&pid, &host, &app) && pid > 0;
}

void SingleInstance::OnNewConnection() {
    for (;;) {
        const int fd = ::accept4(listenFd_, nullptr, nullptr, SOCK_CLOEXEC | SOCK_NONBLOCK);
        if (fd < 0) return;
        auto* notifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
        connections_[fd] = Connection{notifier, {}};
        connect(notifier, &QSocketNotifier::activated, this, [this, fd] { OnRequest(fd); });
    }
}

void SingleInstance::OnRequest(int fd) {
    const auto found = connections_.find(fd);
    if (found == connections_.end()) return;
    QByteArray& request = found->second.request;
    char buffer[1024];
    for (;;) {
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        if (got > 0) {
            request.append(buffer, got);
            if (request.size() > kMaxRequest) return Drop(fd);
            continue;
        }
        if (got < 0 && errno == EINTR) continue;
        if (got < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) break;
        if (request.count('\n') < 2) return Drop(fd);  // gone before asking
        break;
    }
    if (request.count('\n') < 2) return;
    const QList<QByteArray> lines = request.split('\n');
    const QString className = QString::fromUtf8(lines.at(0));
    const QString caption = QString::fromUtf8(lines.at(1));
    const bool shown = showHandler_ && showHandler_(className, caption);
    ::send(fd, shown ? kShown : kNotFound, 2, MSG_NOSIGNAL);
    Drop(fd);
}

void SingleInstance::Drop(int fd) {
    const auto found = connections_.find(fd);
    if (found == connections_.end()) return;
    // Its own signal may be running: the notifier goes once control is back in the loop.
    found->second.notifier->setEnabled(false);
    found->second.notifier->deleteLater();
    connections_.erase(found);
    ::close(fd);
}

SingleInstance::Answer SingleInstance::AskRunningCopyToShow(const QString& className,
                                                            const QString& caption,
                                                            int timeoutMs) const {
    const QDeadlineTimer deadline(timeoutMs);
    const std::optional<sockaddr_un> address = AddressOf(SocketPath());
    if (!address) return Answer::NoAnswer;
    Descriptor socket{-1};
    for (;;) {
        socket.fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (socket.fd >= 0 && ::connect(socket.fd, Raw(*address), sizeof *address) == 0) break;
        if (socket.fd >= 0) ::close(std::exchange(socket.fd, -1));
        if (deadline.hasExpired()) return Answer::NoAnswer;
        QThread::msleep(50);  // the running copy may still be starting up
    }
    const QByteArray request = className.toUtf8() + '\n' + caption.toUtf8() + '\n';
    if (::send(socket.fd, request.constData(), static_cast<std::size_t>(request.size()),
               MSG_NOSIGNAL) != request.size())
        return Answer::NoAnswer;
    QByteArray answer;
    while (!answer.contains('\n') && !deadline.hasExpired()) {
        pollfd ready{socket.fd, POLLIN, 0};
        if (::poll(&ready, 1, static_cast<int>(std::max<qint64>(1, deadline.remainingTime()))) <= 0)
            break;
        char buffer[64];
        const ssize_t got = ::read(socket.fd, buffer, sizeof buffer);
        if (got <= 0) break;
        answer.append(buffer, got);
    }
    if (answer.startsWith('1')) return Answer::Shown;
    if (answer.startsWith('0')) return Answer::NotFound;
    return Answer::NoAnswer;
}

QString UserRuntimeDir() {
    const QString dir = QStandardPaths::writableLocation(QStandardPaths::RuntimeLocation);
    if (dir.isEmpty() || !QFileInfo(dir).isDir()) return {};
    return dir;
}

bool IsNewSwitch(const QStringList& arguments) {
    if (arguments.isEmpty()) return false;
    return LowerCaseCyr(codepage::ToAnsi(arguments.first())) == "/new";
}
