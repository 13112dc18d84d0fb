#include "online/THttpCli.h"

#include "online/HttpAddress.h"
#include "platform/ChildProcess.h"
#include "platform/Clock.h"

#include <QCoreApplication>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QStringList>
#include <QTimer>

#include <cstdlib>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <string_view>
#include <utility>

namespace httpcli {

// A failure that ends the request; Request turns it into the result, so it never leaves
// the client.
struct Failed {
    int status;
    std::string text;
};

// The head of one answer, as far as the client needs it.
struct Answer {
    int status = 0;
    std::string statusText;  // "404 Not Found"
    std::vector<std::string> cookies;
    std::string location;  // the Location value as sent
    std::int64_t contentLength = -1;
    bool redirects = false;  // followed: its body is not read
};

// One hop on the wire: the curl child and what it has written so far.
struct Child {
    std::unique_ptr<QProcess> process;
    std::string pending;  // of the head, not yet taken apart
    std::size_t headBytes = 0;
    Answer head;                 // being collected; the final one once `answered`
    bool inHead = false;         // status line seen, end of the head not yet
    bool answered = false;       // the final head is taken; the rest is body
    std::int64_t discarded = 0;  // body bytes of a redirection, not read
    std::string report;          // the child's standard error: what --write-out says
    bool finished = false;
    bool clean = false;  // ended by itself with exit code 0
    std::chrono::steady_clock::time_point lastHeard;
};

}  // namespace httpcli

using httpcli::Answer;
using httpcli::Child;
using httpcli::Failed;

namespace {

constexpr std::size_t kMaxHead = 64 * 1024;           // all head lines of one hop
constexpr std::int64_t kMaxRedirectBody = 64 * 1024;  // read past before the child is ended
constexpr std::size_t kMaxReport = 4096;
constexpr int kReapMs = 2000;  // for a killed child to be gone
// A child that wrote nothing for this long hangs (its own limit is kStallLimit).
constexpr auto kChildSilence = THttpCli::kStallLimit + std::chrono::seconds(30);
// The line --write-out adds to the child's standard error: the peer's numeric address.
constexpr std::string_view kPeerMark = "peer=";

bool IsRedirectStatus(int status) {
    return status == 301 || status == 302 || status == 303 || status == 307 || status == 308;
}

std::string_view Trim(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t'))
        text.remove_prefix(1);
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                             text.back() == '\n'))
        text.remove_suffix(1);
    return text;
}

bool NameIs(std::string_view name, std::string_view wanted) {
    return name.size() == wanted.size() &&
           std::equal(name.begin(), name.end(), wanted.begin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == b;
           });
}

std::int64_t ParseLength(std::string_view text) {
    std::int64_t value = -1;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 0) return -1;
    return value;
}

// "HTTP/1.1 404 Not Found" gives 404 and "404 Not Found"; false for anything else.
bool ParseStatusLine(std::string_view line, Answer& answer) {
    if (line.substr(0, 5) != "HTTP/") return false;
    const std::size_t space = line.find(' ');
    if (space == std::string_view::npos) return false;
    const std::string_view rest = Trim(line.substr(space + 1));
    answer.statusText = std::string(rest);
    const auto [end, error] = std::from_chars(
        rest.data(), rest.data() + std::min<std::size_t>(rest.size(), 3), answer.status);
    return error == std::errc() && end == rest.data() + 3 && answer.status >= 100;
}

void CollectField(std::string_view line, Answer& answer) {
    const std::size_t colon = line.find(':');
    if (colon == std::string_view::npos) return;
    const std::string_view name = line.substr(0, colon);
    const std::string_view value = Trim(line.substr(colon + 1));
    if (NameIs(name, "set-cookie")) {
        answer.cookies.emplace_back(value);
    } else if (NameIs(name, "location")) {
        answer.location = std::string(value);
    } else if (NameIs(name, "content-length") && answer.contentLength < 0) {
        answer.contentLength = ParseLength(value);
    }
}

bool HasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n", 0, 3) != std::string::npos;  // CR, LF or NUL
}

std::string WithoutLineBreaks(std::string text) {
    std::erase_if(text, [](char c) { return c == '\r' || c == '\n' || c == '\0'; });
    return text;
}

QString CurlProgram() {
    QString found = QStandardPaths::findExecutable(QStringLiteral("curl"));
    if (found.isEmpty())
        found = QStandardPaths::findExecutable(
            QStringLiteral("curl"), {QStringLiteral("/usr/bin"), QStringLiteral("/bin")});
    return found;
}

}  // namespace

void THttpCli::PumpWindow() {
    QCoreApplication::processEvents();
}

THttpCli::THttpCli(Pump pump, const Clock& clock, std::chrono::milliseconds pollPeriod)
    : pump_(std::move(pump)), clock_(clock), pollPeriod_(pollPeriod) {}

THttpCli::~THttpCli() {
    DropChild();
}

void THttpCli::Abort() {
    if (busy_) End();
}

HttpResult THttpCli::Request(HttpMethod method) {
    try {
        Run(method);
    } catch (const Failed& failed) {
        return {failed.status, failed.text};
    }
    return {status_, std::nullopt};
}

void THttpCli::Run(HttpMethod method) {
    if (busy_) throw Failed{0, "HTTP component is busy"};
    const std::string origin = httpaddress::OriginOf(URL);
    if (origin.empty()) throw Failed{0, "Not an http or https address: " + URL};

    const std::uint64_t generation = ++generation_;
    busy_ = true;
    method_ = method;
    redirects_ = 0;
    cookieOrigin_ = origin;
    docBegun_ = false;
    status_ = 0;
    statusText_.clear();
    contentLength_ = -1;
    rcvdCount_ = 0;
    location_ = URL;
    peerAddress_.clear();

    // Whatever leaves this call (a handler's exception included) leaves the client ready,
    // unless the exchange has already ended and another may be running.
    struct EndOnExit {
        THttpCli& client;
        std::uint64_t generation;
        ~EndOnExit() {
            if (client.Live(generation)) client.End();
        }
    } endOnExit{*this, generation};

    // The slow tick that bounds a wait on a silent server; without an event loop the wait
    // on the child's pipe is bounded instead.
    QTimer tick;
    if (QCoreApplication::instance()) tick.start(pollPeriod_);

    Send(generation);
    while (Live(generation)) {
        Step(generation);
        if (!Live(generation)) break;
        if (pump_) pump_();
        if (!Live(generation)) break;
        if (events.OnPoll) events.OnPoll();
        if (!Live(generation)) break;
        Wait();
    }
}

std::vector<std::string> THttpCli::Arguments(const std::vector<std::string>& added) const {
    // -q first: no ~/.curlrc. No globbing of [] and {} in addresses, no progress meter, the
    // head before the body on standard output, unbuffered, no redirection followed.
    std::vector<std::string> args = {"-q",
                                     "--silent",
                                     "--globoff",
                                     "--no-buffer",
                                     "--include",
                                     "--http1.0",
                                     "--path-as-is",
                                     "--noproxy",
                                     "*",
                                     "--proto",
                                     "=http,https",
                                     "--connect-timeout",
                                     std::to_string(kConnectTimeout.count()),
                                     "--speed-limit",
                                     "1",
                                     "--speed-time",
                                     std::to_string(kStallLimit.count()),
                                     "--max-time",
                                     std::to_string(kRequestLimit.count()),
                                     "--write-out",
                                     "%{stderr}" + std::string(kPeerMark) + "%{remote_ip}\n",
                                     "--user-agent",
                                     WithoutLineBreaks(Agent)};  // empty: no User-Agent line
    if (method_ == HttpMethod::httpHEAD) args.emplace_back("--head");
    // "0.0.0.0" stands for any local address, of either family.
    if (!LocalAddr.empty() && LocalAddr != "0.0.0.0" && LocalAddr != "::") {
        args.emplace_back("--interface");
        args.push_back("host!" + WithoutLineBreaks(LocalAddr));
    }
    std::vector<std::string> lines;
    lines.push_back(Accept.empty() ? "Accept:" : "Accept: " + WithoutLineBreaks(Accept));
    if (NoCache) lines.emplace_back("Pragma: no-cache");
    // A cookie of the first address is not handed to another site a redirection leads to.
    if (!Cookie.empty() && httpaddress::OriginOf(location_) == cookieOrigin_)
        lines.push_back("Cookie: " + WithoutLineBreaks(Cookie));
    for (const std::string& line : added) {
        // A line break would forge headers; a leading "@" would name a file to read.
        if (!HasLineBreak(line) && !line.empty() && line.front() != '@') lines.push_back(line);
    }
    for (std::string& line : lines) {
        args.emplace_back("--header");
        args.push_back(std::move(line));
    }
    args.emplace_back("--url");
    args.push_back(location_);
    return args;
}

void THttpCli::Send(std::uint64_t generation) {
    std::vector<std::string> added;
    if (events.OnBeforeHeaderSend) events.OnBeforeHeaderSend(method_, added);
    if (!Live(generation)) return;
    peerAddress_.clear();

    const QString program = CurlProgram();
    if (program.isEmpty()) return Failure(generation, "The curl tool is not installed");
    QStringList args;
    for (const std::string& arg : Arguments(added))
        args.push_back(QString::fromStdString(arg));

    auto child = std::make_unique<Child>();
    Child* const c = child.get();
    c->lastHeard = clock_.Monotonic();
    c->process = std::make_unique<QProcess>();
    QProcess& process = *c->process;
    process.setProgram(program);
    process.setArguments(args);
    // Nothing of the program's environment: no proxy, no certificate store, no preloaded
    // library. A locale only, for host names beyond ASCII.
    QProcessEnvironment environment;
    environment.insert(QStringLiteral("LC_ALL"), QStringLiteral("C.UTF-8"));
    process.setProcessEnvironment(environment);
    process.setStandardInputFile(QProcess::nullDevice());
    process.setChildProcessModifier(
        [parent = platform::CurrentProcessId()] { platform::TieChildToProgram(parent); });
    QObject::connect(&process, &QProcess::readyReadStandardOutput, &process, [c] {
        // Bounded even while another wait holds this one suspended.
        if (c->process->bytesAvailable() > kMaxBody + static_cast<qint64>(kMaxHead))
            c->process->kill();
    });
    QObject::connect(&process, &QProcess::readyReadStandardError, &process, [c] {
        const QByteArray text = c->process->readAllStandardError();
        c->report.append(
            text.constData(),
            std::min<std::size_t>(static_cast<std::size_t>(text.size()),
                                  kMaxReport - std::min(kMaxReport, c->report.size())));
    });
    QObject::connect(&process, &QProcess::finished, &process,
                     [c](int exitCode, QProcess::ExitStatus status) {
                         c->finished = true;
                         c->clean = status == QProcess::NormalExit && exitCode == 0;
                     });
    QObject::connect(&process, &QProcess::errorOccurred, &process, [c](QProcess::ProcessError e) {
        if (e == QProcess::FailedToStart) c->finished = true;
    });
    child_ = std::move(child);
    process.start(QIODevice::ReadOnly);
}

void THttpCli::Step(std::uint64_t generation) {
    if (!child_) return;
    Take(generation);
    if (!Live(generation) || !child_) return;
    Child& c = *child_;
    if (c.finished && c.process->bytesAvailable() == 0) {
        Completed(generation);
    } else if (clock_.Monotonic() - c.lastHeard > kChildSilence) {
        Failure(generation, "The HTTP request hangs");
    }
}

void THttpCli::Take(std::uint64_t generation) {
    Child& c = *child_;
    const QByteArray data = c.process->readAllStandardOutput();
    if (data.isEmpty()) return;
    c.lastHeard = clock_.Monotonic();
    if (c.answered) {
        if (c.head.redirects) {
            c.discarded += data.size();
            if (c.discarded > kMaxRedirectBody) c.process->kill();
            return;
        }
        return Body(generation, data.toStdString());
    }
    c.pending.append(data.constData(), static_cast<std::size_t>(data.size()));
    // Every line of the head is taken apart here; each event may end the exchange.
    while (Live(generation) && child_.get() == &c && !c.answered) {
        const std::size_t end = c.pending.find('\n');
        if (end == std::string::npos) {
            if (c.headBytes + c.pending.size() > kMaxHead)
                return Failure(generation, "The HTTP answer's head is too long");
            return;
        }
        c.headBytes += end + 1;
        if (c.headBytes > kMaxHead)
            return Failure(generation, "The HTTP answer's head is too long");
        std::string_view line(c.pending.data(), end);
        if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
        if (!c.inHead) {
            c.head = Answer{};
            if (!ParseStatusLine(line, c.head))
                return Failure(generation, "The answer is not HTTP");
            c.inHead = true;
        } else if (!line.empty()) {
            CollectField(line, c.head);
        } else {
            c.inHead = false;
            if (c.head.status >= 200) {  // else an interim answer; the real one follows
                c.answered = true;
                c.head.redirects = IsRedirectStatus(c.head.status) && !c.head.location.empty();
            }
        }
        c.pending.erase(0, end + 1);
        if (c.answered) {
            std::string rest = std::exchange(c.pending, std::string());
            const Answer head = c.head;
            Answered(generation, head);
            if (!Live(generation) || child_.get() != &c) return;
            if (head.redirects) {
                c.discarded += static_cast<std::int64_t>(rest.size());
            } else if (!rest.empty()) {
                Body(generation, std::move(rest));
            }
        }
    }
}

void THttpCli::Answered(std::uint64_t generation, const Answer& answer) {
    status_ = answer.status;
    statusText_ = answer.statusText;
    contentLength_ = answer.contentLength;
    rcvdCount_ = 0;
    for (const std::string& cookie : answer.cookies) {
        bool accept = true;  // the program keeps its cookies itself
        if (events.OnCookie) events.OnCookie(cookie, accept);
        if (!Live(generation)) return;
    }
}

void THttpCli::Body(std::uint64_t generation, std::string block) {
    if (!docBegun_) {
        docBegun_ = true;
        if (events.OnDocBegin) events.OnDocBegin();
        if (!Live(generation)) return;
    }
    rcvdCount_ += static_cast<std::int64_t>(block.size());
    if (rcvdCount_ > kMaxBody) return Failure(generation, "The HTTP answer is too long");
    if (events.OnDocData) events.OnDocData(block.data(), block.size());
}

void THttpCli::Completed(std::uint64_t generation) {
    Child& c = *child_;
    const std::size_t mark = c.report.rfind(kPeerMark);
    if (mark != std::string::npos) {
        const std::size_t from = mark + kPeerMark.size();
        peerAddress_ = std::string(Trim(std::string_view(c.report).substr(from)));
    }
    // A redirection whose head came whole is followed, whatever became of its body.
    if (c.answered && c.head.redirects) return Redirect(generation);
    if (!c.clean || !c.answered) {
        // Refused, unreachable, name not found, timed out, cut short, a certificate refused,
        // or a child that died or wrote no whole head.
        return Failure(generation, "The HTTP exchange failed");
    }
    DropChild();
    if (docBegun_) {
        if (events.OnDocEnd) events.OnDocEnd();
        if (!Live(generation)) return;
    }
    const int status = status_;
    const std::string text = statusText_;
    End();
    if (status >= 400) throw Failed{status, text};
}

void THttpCli::Redirect(std::uint64_t generation) {
    const std::string location = child_->head.location;
    DropChild();
    if (++redirects_ > kMaxRedirects) Fail(status_, "Too many redirections");
    const std::optional<std::string> next = httpaddress::ResolveHttp(location_, location);
    if (!next) Fail(status_, "Redirection to an address that is not http or https: " + location);
    location_ = *next;
    if (events.OnLocationChange) events.OnLocationChange();
    if (!Live(generation)) return;
    Send(generation);
}

void THttpCli::Wait() {
    if (!child_) return;
    QProcess& process = *child_->process;
    if (child_->finished || process.bytesAvailable() > 0) return;
    if (QCoreApplication::instance()) {
        // Until something happens: the child writes or ends, a timer, a click, the tick.
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    } else {
        process.waitForReadyRead(static_cast<int>(pollPeriod_.count()));
    }
}

void THttpCli::Failure(std::uint64_t generation, const std::string& text) {
    DropChild();
    if (events.OnSocketError) events.OnSocketError();
    if (!Live(generation)) return;
    Fail(0, text);
}

void THttpCli::End() {
    DropChild();
    busy_ = false;
    ++generation_;
}

void THttpCli::DropChild() {
    if (!child_) return;
    const std::unique_ptr<Child> child = std::move(child_);
    QProcess& process = *child->process;
    QObject::disconnect(&process, nullptr, nullptr, nullptr);
    if (process.state() != QProcess::NotRunning) {
        process.kill();
        process.waitForFinished(kReapMs);
    }
}

void THttpCli::Fail(int status, const std::string& text) {
    End();
    throw Failed{status, text};
}
