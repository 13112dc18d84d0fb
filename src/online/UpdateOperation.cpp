#include "online/UpdateOperation.h"

#include "online/DownloadAcceptance.h"
#include "online/HttpClient.h"
#include "platform/Clock.h"
#include "util/funcQuendra.h"

#include <QScopeGuard>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <exception>
#include <utility>

namespace updatecheck {

namespace {

// One block at the end of the file: opened (created when missing), written, closed.
bool AppendBlock(const std::string& path, const char* data, std::size_t length) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return false;
    bool ok = ::lseek(fd, 0, SEEK_END) >= 0;
    while (ok && length > 0) {
        const ssize_t n = ::write(fd, data, length);
        if (n < 0 && errno == EINTR) continue;
        ok = n > 0;
        if (ok) {
            data += n;
            length -= static_cast<std::size_t>(n);
        }
    }
    return ::close(fd) == 0 && ok;
}

std::int64_t SizeOfFile(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode) ? st.st_size : -1;
}

UpdateOperation::Progress ScaledProgress(std::int64_t maximum, std::int64_t position) {
    const std::int64_t scale = maximum / INT_MAX + 1;
    const std::int64_t scaled = std::min<std::int64_t>(position / scale, INT_MAX);
    return {static_cast<int>(maximum / scale), static_cast<int>(scaled)};
}

}  // namespace

UpdateOperation::UpdateOperation(HttpClient& getpic, const Clock& clock, UpdateSite site,
                                 SwapInstaller& installer, Wait wait)
    : getpic_(getpic),
      clock_(clock),
      site_(std::move(site)),
      installer_(installer),
      wait_(wait ? std::move(wait) : Wait(&Delay)) {
    Prepare();
}

void UpdateOperation::Prepare() {
    getpic_.Agent = kUpdateAgent;
    getpic_.NoCache = true;
    getpic_.Cookie.clear();
    getpic_.URL = site_.serviceAddress + kUpdateQuery + site_.version;
    getpic_.events = HttpEvents{};
}

bool UpdateOperation::Stalled() const {
    const std::int64_t ms = updateLastData.msecsTo(clock_.Now());
    return (ms < 0 ? -ms : ms) / 1000 > kStallSeconds;
}

UpdateOutcome UpdateOperation::Run(UpdateView& view) {
    const Begun begun = Begin();
    if (!begun.started) return UpdateOutcome::Busy;
    const auto end = qScopeGuard([&] {
        End();
        view.HideProgress();
        view.ShowStatus(QString());
    });
    view.ShowStatus(begun.statusText);
    const Offer offer = Look();
    if (!offer.found) return UpdateOutcome::NothingNew;
    view.ShowWindow();
    view.ShowStatus(offer.statusText);
    view.StartProgress();
    const Download download = Fetch([&view](Progress progress) { view.ShowProgress(progress); });
    view.HideProgress();
    if (!download.installable) return UpdateOutcome::Dropped;
    view.ShowStatus(download.statusText);
    if (!Install().closeProgram) return UpdateOutcome::Dropped;
    view.EndProgram();
    return UpdateOutcome::Installed;
}

UpdateOperation::Begun UpdateOperation::Begin() {
    if (underWay_ || installed_ || cancelled_) return {};
    underWay_ = true;
    installable_ = false;
    offeredSize_ = -1;
    for (const std::string& path : {DownloadPath(), ScriptPath(), BackupPath()})
        std::remove(path.c_str());
    return {true, QString::fromUtf8("Поиск новой версии программы.")};
}

UpdateOperation::Offer UpdateOperation::Look() {
    if (!underWay_) return {};
    Prepare();
    if (getpic_.Head().error.has_value() || cancelled_) return {};
    const std::int64_t size = getpic_.ContentLength();
    // Code from a plain-http answer of a remote host could have been changed on the way.
    if (!TrustedOrigin(getpic_.Location(), getpic_.PeerAddress())) return {};
    if (size <= kSmallestBuild || size == FileSizeOf(site_.executablePath)) return {};
    offeredSize_ = size;
    return {true, size,
            QString::fromUtf8("Идет заказчка новой версии программы размером %1 байт.").arg(size)};
}

UpdateOperation::Download UpdateOperation::Fetch(const std::function<void(Progress)>& onProgress) {
    installable_ = false;
    // One download per offer: a second one would append to the first.
    const std::int64_t offered = std::exchange(offeredSize_, -1);
    if (!underWay_ || cancelled_ || offered <= 0) return {};
    const std::string file = DownloadPath();
    // A download that will not be installed (cut short, refused, of the wrong kind) goes as
    // soon as that is known, rather than lie beside the program until the next check.
    struct DropUnlessInstallable {
        const bool& installable;
        const std::string& file;
        ~DropUnlessInstallable() {
            if (!installable) std::remove(file.c_str());
        }
    } drop{installable_, file};
    // The length the GET announces; without one, the length the HEAD announced.
    const auto expected = [this, offered] {
        const std::int64_t announced = getpic_.ContentLength();
        return announced > 0 ? announced : offered;
    };
    DownloadRecord record;
    bool updateDone = false;
    const auto giveUp = [&] {
        record.aborted = true;
        updateDone = true;
        getpic_.Abort();
    };
    Prepare();
    getpic_.events.OnDocData = [&](const char* buffer, std::size_t length) {
        if (record.aborted) return;
        updateLastData = clock_.Now();
        if (!AppendBlock(file, buffer, length)) {
            // A block the disk did not take makes the download useless; on a full disk the
            // part already stored would keep the log and the history from their next lines.
            std::remove(file.c_str());
            return giveUp();
        }
        const std::int64_t announced = getpic_.ContentLength();
        if (onProgress)
            onProgress(ScaledProgress(announced > 0 ? announced : kUnknownLengthMaximum,
                                      getpic_.RcvdCount()));
        if (getpic_.RcvdCount() > expected()) giveUp();
    };
    getpic_.events.OnDocEnd = [&] {
        record.documentEnded = true;
        updateDone = true;
    };
    getpic_.events.OnPoll = [&] {
        if (!record.aborted && Stalled()) giveUp();
    };
    struct EventsCleared {
        HttpClient& client;
        ~EventsCleared() { client.events = HttpEvents{}; }
    } cleared{getpic_};

    updateLastData = clock_.Now();
    if (getpic_.Get().error.has_value()) return {};
    updateLastData = clock_.Now();
    while (!updateDone && !cancelled_) {
        wait_(1000);
        if (Stalled()) giveUp();
    }
    if (cancelled_) return {};

    record.expectedSize = expected();
    record.received = getpic_.RcvdCount();
    record.fileSize = SizeOfFile(file);
    installable_ = DownloadWhole(record) &&
                   TrustedOrigin(getpic_.Location(), getpic_.PeerAddress()) &&
                   ExecutableForThisMachine(file, site_.executablePath);
    if (!installable_) return {};
    return {true, QString::fromUtf8("Установка")};
}

UpdateOperation::Installation UpdateOperation::Install() {
    if (!underWay_ || !installable_ || cancelled_) return {};
    installable_ = false;
    try {
        if (!CopyPermissions(site_.executablePath, DownloadPath())) {
            std::remove(DownloadPath().c_str());
            return {};
        }
        installer_.Install(SwapPlan{.executable = site_.executablePath,
                                    .download = DownloadPath(),
                                    .backup = BackupPath(),
                                    .script = ScriptPath(),
                                    .waitForPid = ::getpid()});
    } catch (const std::exception&) {
        std::remove(DownloadPath().c_str());
        return {};
    }
    installed_ = true;
    return {true};
}

void UpdateOperation::End() {
    underWay_ = false;
    installable_ = false;
    offeredSize_ = -1;
}

void UpdateOperation::Cancel() {
    cancelled_ = true;
    installable_ = false;
    getpic_.Abort();
}

}  // namespace updatecheck
