#include "SingleInstance.h"

#include "util/CodePage.h"
#include "util/funcQuendra.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFileInfo>
#include <QLocalSocket>
#include <QStandardPaths>
#include <QThread>

namespace {

// Request: class line and caption line; answer: "1" shown, "0" not found.
constexpr qsizetype kMaxRequest = 4096;
constexpr char kShown[] = "1\n";
constexpr char kNotFound[] = "0\n";

}  // namespace

SingleInstance::SingleInstance(QString runtimeDir, QObject* parent)
    : QObject(parent), dir_(std::move(runtimeDir)), server_(this), retry_(this) {
    server_.setSocketOptions(QLocalServer::UserAccessOption);
    connect(&server_, &QLocalServer::newConnection, this, &SingleInstance::OnNewConnection);
    connect(&retry_, &QTimer::timeout, this, [this] {
        if (ClaimInstance() != Claim::Running) retry_.stop();
    });
}

SingleInstance::~SingleInstance() {
    server_.close();
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
    if (lock_ != nullptr && lock_->isLocked())
        return server_.isListening() ? Claim::First : Claim::Failed;

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
    // A socket file left by a copy that died would block the name; the lock says it is ours.
    QLocalServer::removeServer(SocketPath());
    return server_.listen(SocketPath());
}

bool SingleInstance::LockHasOwner() const {
    qint64 pid = 0;
    QString host, app;
    QLockFile probe(LockPath());
    return probe.getLockInfo(&pid, &host, &app) && pid > 0;
}

void SingleInstance::OnNewConnection() {
    while (QLocalSocket* socket = server_.nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QLocalSocket::readyRead, socket, [this, socket] {
            QByteArray request = socket->property("request").toByteArray() + socket->readAll();
            if (request.size() > kMaxRequest) {
                socket->abort();
                return;
            }
            socket->setProperty("request", request);
            if (request.count('\n') < 2) return;
            const QList<QByteArray> lines = request.split('\n');
            const QString className = QString::fromUtf8(lines.at(0));
            const QString caption = QString::fromUtf8(lines.at(1));
            const bool shown = showHandler_ && showHandler_(className, caption);
            socket->write(shown ? kShown : kNotFound);
            socket->flush();
            socket->disconnectFromServer();
        });
    }
}

SingleInstance::Answer SingleInstance::AskRunningCopyToShow(const QString& className,
                                                            const QString& caption,
                                                            int timeoutMs) const {
    const QDeadlineTimer deadline(timeoutMs);
    QLocalSocket socket;
    for (;;) {
        socket.connectToServer(SocketPath());
        if (socket.waitForConnected(std::max<qint64>(1, deadline.remainingTime()))) break;
        if (deadline.hasExpired()) return Answer::NoAnswer;
        QThread::msleep(50);  // the running copy may still be starting up
    }
    socket.write(className.toUtf8() + '\n' + caption.toUtf8() + '\n');
    if (!socket.waitForBytesWritten(std::max<qint64>(1, deadline.remainingTime())))
        return Answer::NoAnswer;
    QByteArray answer;
    while (!answer.contains('\n')) {
        if (!socket.waitForReadyRead(std::max<qint64>(1, deadline.remainingTime()))) break;
        answer += socket.readAll();
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
