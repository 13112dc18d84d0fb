#include "online/THttpCli.h"

#include "util/funcQuendra.h"

#include <QCoreApplication>

#include <curl/curl.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <deque>
#include <optional>
#include <stdexcept>
#include <string_view>
#include <utility>

namespace httpcli {

// The head of one answer, as far as the client needs it.
struct Answer {
    int status = 0;
    std::string statusText;  // "404 Not Found"
    std::vector<std::string> cookies;
    std::string location;  // the Location value as sent
    std::int64_t contentLength = -1;
    bool redirects = false;  // followed: its body is not read
};

// Something that arrived, in the order it arrived: an answer's head or a block of its body.
struct Incoming {
    bool isAnswer = false;
    Answer answer;
    std::string block;
};

// One request on the wire. libcurl's callbacks only fill `incoming`; the client fires the
// events from there once libcurl has returned.
struct Transfer {
    CURL* easy = nullptr;
    curl_slist* headers = nullptr;
    bool added = false;  // to the client's multi handle
    char error[CURL_ERROR_SIZE] = {};
    Answer head;            // being collected
    bool inHead = false;    // status line seen, end of the head not yet
    bool answered = false;  // the final head is collected; later header lines are trailers
    std::deque<Incoming> incoming;

    Transfer() = default;
    Transfer(const Transfer&) = delete;
    Transfer& operator=(const Transfer&) = delete;
    ~Transfer() {
        if (easy) curl_easy_cleanup(easy);
        curl_slist_free_all(headers);
    }
};

}  // namespace httpcli

using httpcli::Answer;
using httpcli::Incoming;
using httpcli::Transfer;

namespace {

CURLM* Multi(void* multi) {
    return static_cast<CURLM*>(multi);
}

void InitCurlOnce() {
    // Lives as long as the process: curl_global_cleanup is not safe while any client exists.
    static const CURLcode result = curl_global_init(CURL_GLOBAL_DEFAULT);
    if (result != CURLE_OK) throw std::runtime_error(curl_easy_strerror(result));
}

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

// "HTTP/1.1 404 Not Found" gives 404 and "404 Not Found".
void ParseStatusLine(std::string_view line, Answer& answer) {
    const std::size_t space = line.find(' ');
    if (space == std::string_view::npos) return;
    const std::string_view rest = Trim(line.substr(space + 1));
    answer.statusText = std::string(rest);
    std::from_chars(rest.data(), rest.data() + std::min<std::size_t>(rest.size(), 3),
                    answer.status);
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

std::size_t OnHeaderLine(char* data, std::size_t size, std::size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    const std::size_t length = size * count;
    std::string_view line(data, length);
    while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
        line.remove_suffix(1);
    if (transfer.answered) return length;
    if (!transfer.inHead) {
        if (line.substr(0, 5) != "HTTP/") return length;
        transfer.head = Answer{};
        ParseStatusLine(line, transfer.head);
        transfer.inHead = true;
        return length;
    }
    if (!line.empty()) {
        CollectField(line, transfer.head);
        return length;
    }
    transfer.inHead = false;
    if (transfer.head.status < 200) return length;  // an interim answer; the real one follows
    transfer.answered = true;
    const bool redirects =
        IsRedirectStatus(transfer.head.status) && !transfer.head.location.empty();
    transfer.head.redirects = redirects;
    transfer.incoming.push_back({true, std::move(transfer.head), {}});
    // Returning less than given ends the transfer here: a redirection's body is not wanted.
    return redirects ? 0 : length;
}

std::size_t OnBodyBlock(char* data, std::size_t size, std::size_t count, void* user) {
    auto& transfer = *static_cast<Transfer*>(user);
    const std::size_t length = size * count;
    if (length > 0) transfer.incoming.push_back({false, {}, std::string(data, length)});
    return length;
}

using UrlHandle = std::unique_ptr<CURLU, decltype(&curl_url_cleanup)>;

std::string UrlPart(CURLU* url, CURLUPart part, unsigned int flags = 0) {
    char* text = nullptr;
    if (curl_url_get(url, part, &text, flags) != CURLUE_OK) return {};
    std::string result(text);
    curl_free(text);
    return result;
}

bool IsHttpScheme(const std::string& scheme) {
    return scheme == "http" || scheme == "https";
}

// Scheme, host and port of an http or https address ("http://host:80"); empty for any
// other address.
std::string OriginOf(const std::string& address) {
    UrlHandle url(curl_url(), curl_url_cleanup);
    if (!url || curl_url_set(url.get(), CURLUPART_URL, address.c_str(), 0) != CURLUE_OK) return {};
    const std::string scheme = UrlPart(url.get(), CURLUPART_SCHEME);
    if (!IsHttpScheme(scheme)) return {};
    return scheme + "://" + UrlPart(url.get(), CURLUPART_HOST) + ":" +
           UrlPart(url.get(), CURLUPART_PORT, CURLU_DEFAULT_PORT);
}

// A Location value made absolute against the address that answered with it; nothing when the
// result is malformed or neither http nor https.
std::optional<std::string> ResolveHttp(const std::string& base, const std::string& location) {
    UrlHandle url(curl_url(), curl_url_cleanup);
    if (!url || curl_url_set(url.get(), CURLUPART_URL, base.c_str(), 0) != CURLUE_OK) return {};
    // Spaces and bytes above 127 in a Location are encoded, as browsers do.
    if (curl_url_set(url.get(), CURLUPART_URL, location.c_str(),
                     CURLU_URLENCODE | CURLU_ALLOW_SPACE) != CURLUE_OK)
        return {};
    if (!IsHttpScheme(UrlPart(url.get(), CURLUPART_SCHEME))) return {};
    std::string absolute = UrlPart(url.get(), CURLUPART_URL);
    if (absolute.empty()) return {};
    return absolute;
}

bool HasLineBreak(const std::string& text) {
    return text.find_first_of("\r\n", 0, 3) != std::string::npos;  // CR, LF or NUL
}

std::string WithoutLineBreaks(std::string text) {
    std::erase_if(text, [](char c) { return c == '\r' || c == '\n' || c == '\0'; });
    return text;
}

// Collects the first failure of a series of libcurl calls.
struct CurlSetup {
    CURLcode result = CURLE_OK;
    void operator()(CURLcode code) {
        if (result == CURLE_OK) result = code;
    }
};

}  // namespace

void THttpCli::PumpWindow() {
    QCoreApplication::processEvents();
    Delay(0);
}

THttpCli::THttpCli(Pump pump, std::chrono::milliseconds socketWait)
    : pump_(std::move(pump)), socketWaitMs_(static_cast<int>(socketWait.count())) {
    InitCurlOnce();
    multi_ = curl_multi_init();
    if (!multi_) throw std::runtime_error("The HTTP client could not be set up");
}

THttpCli::~THttpCli() {
    DropTransfer();
    curl_multi_cleanup(Multi(multi_));
}

void THttpCli::Abort() {
    if (busy_) End();
}

void THttpCli::Run(HttpMethod method) {
    if (busy_) throw HttpError(0, "HTTP component is busy");
    const std::string origin = OriginOf(URL);
    if (origin.empty()) throw HttpError(0, "Not an http or https address: " + URL);

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

void THttpCli::Send(std::uint64_t generation) {
    std::vector<std::string> added;
    if (events.OnBeforeHeaderSend) events.OnBeforeHeaderSend(method_, added);
    if (!Live(generation)) return;
    peerAddress_.clear();

    auto transfer = std::make_unique<Transfer>();
    transfer->easy = curl_easy_init();
    if (!transfer->easy) Fail(0, "The HTTP request could not be set up");

    std::vector<std::string> lines;
    lines.push_back(Accept.empty() ? "Accept:" : "Accept: " + WithoutLineBreaks(Accept));
    if (NoCache) lines.emplace_back("Pragma: no-cache");
    // A cookie of the first address is not handed to another site a redirection leads to.
    if (!Cookie.empty() && OriginOf(location_) == cookieOrigin_)
        lines.push_back("Cookie: " + WithoutLineBreaks(Cookie));
    for (const std::string& line : added) {
        if (!HasLineBreak(line)) lines.push_back(line);  // a line break would forge headers
    }
    for (const std::string& line : lines) {
        curl_slist* longer = curl_slist_append(transfer->headers, line.c_str());
        if (!longer) Fail(0, "The HTTP request could not be set up");
        transfer->headers = longer;
    }

    CURL* easy = transfer->easy;
    CurlSetup setup;
    setup(curl_easy_setopt(easy, CURLOPT_URL, location_.c_str()));
    setup(curl_easy_setopt(easy, CURLOPT_PATH_AS_IS, 1L));  // the address is sent as it stands
    setup(curl_easy_setopt(easy, CURLOPT_PROTOCOLS_STR, "http,https"));
    setup(curl_easy_setopt(easy, CURLOPT_HTTP_VERSION, long{CURL_HTTP_VERSION_1_0}));
    setup(curl_easy_setopt(easy, CURLOPT_NOBODY, method_ == HttpMethod::httpHEAD ? 1L : 0L));
    setup(curl_easy_setopt(easy, CURLOPT_FOLLOWLOCATION, 0L));
    // No proxy at all: an empty proxy also keeps libcurl from reading http_proxy and the like.
    setup(curl_easy_setopt(easy, CURLOPT_PROXY, ""));
    setup(curl_easy_setopt(easy, CURLOPT_NOPROXY, "*"));
    if (!Agent.empty()) setup(curl_easy_setopt(easy, CURLOPT_USERAGENT, Agent.c_str()));
    // "0.0.0.0" stands for any local address, of either family.
    const std::string local = "host!" + LocalAddr;
    if (!LocalAddr.empty() && LocalAddr != "0.0.0.0" && LocalAddr != "::")
        setup(curl_easy_setopt(easy, CURLOPT_INTERFACE, local.c_str()));
    setup(curl_easy_setopt(easy, CURLOPT_HTTPHEADER, transfer->headers));
    setup(curl_easy_setopt(easy, CURLOPT_CONNECTTIMEOUT_MS,
                           static_cast<long>(std::chrono::milliseconds(kConnectTimeout).count())));
    setup(curl_easy_setopt(easy, CURLOPT_NOSIGNAL, 1L));
    setup(curl_easy_setopt(easy, CURLOPT_FORBID_REUSE, 1L));  // no socket outlives its request
    setup(curl_easy_setopt(easy, CURLOPT_ERRORBUFFER, transfer->error));
    setup(curl_easy_setopt(easy, CURLOPT_HEADERFUNCTION, &OnHeaderLine));
    setup(curl_easy_setopt(easy, CURLOPT_HEADERDATA, transfer.get()));
    setup(curl_easy_setopt(easy, CURLOPT_WRITEFUNCTION, &OnBodyBlock));
    setup(curl_easy_setopt(easy, CURLOPT_WRITEDATA, transfer.get()));
    if (setup.result != CURLE_OK) Fail(0, curl_easy_strerror(setup.result));

    if (curl_multi_add_handle(Multi(multi_), easy) != CURLM_OK)
        Fail(0, "The HTTP request could not be started");
    transfer->added = true;
    transfer_ = std::move(transfer);
}

void THttpCli::Step(std::uint64_t generation) {
    int running = 0;
    curl_multi_perform(Multi(multi_), &running);
    Deliver(generation);
    if (!Live(generation) || !transfer_) return;
    int left = 0;
    while (CURLMsg* message = curl_multi_info_read(Multi(multi_), &left)) {
        if (message->msg == CURLMSG_DONE && message->easy_handle == transfer_->easy) {
            Completed(generation, message->data.result);
            return;
        }
    }
}

void THttpCli::Deliver(std::uint64_t generation) {
    // Each event may end the exchange (and free the transfer), so every item is taken out
    // before its event fires.
    while (Live(generation) && transfer_ && !transfer_->incoming.empty()) {
        const Incoming item = std::move(transfer_->incoming.front());
        transfer_->incoming.pop_front();
        if (item.isAnswer) {
            Answered(generation, item.answer);
        } else {
            Body(generation, item.block);
        }
    }
}

void THttpCli::Answered(std::uint64_t generation, const Answer& answer) {
    status_ = answer.status;
    statusText_ = answer.statusText;
    contentLength_ = answer.contentLength;
    rcvdCount_ = 0;
    const char* peer = nullptr;
    if (curl_easy_getinfo(transfer_->easy, CURLINFO_PRIMARY_IP, &peer) == CURLE_OK && peer)
        peerAddress_ = peer;
    for (const std::string& cookie : answer.cookies) {
        bool accept = true;  // the program keeps its cookies itself
        if (events.OnCookie) events.OnCookie(cookie, accept);
        if (!Live(generation)) return;
    }
    if (answer.redirects) Redirect(generation, answer);
}

void THttpCli::Redirect(std::uint64_t generation, const Answer& answer) {
    DropTransfer();
    if (++redirects_ > kMaxRedirects) Fail(status_, "Too many redirections");
    const std::optional<std::string> next = ResolveHttp(location_, answer.location);
    if (!next)
        Fail(status_, "Redirection to an address that is not http or https: " + answer.location);
    location_ = *next;
    if (events.OnLocationChange) events.OnLocationChange();
    if (!Live(generation)) return;
    Send(generation);
}

void THttpCli::Body(std::uint64_t generation, const std::string& block) {
    if (!docBegun_) {
        docBegun_ = true;
        if (events.OnDocBegin) events.OnDocBegin();
        if (!Live(generation)) return;
    }
    rcvdCount_ += static_cast<std::int64_t>(block.size());
    if (events.OnDocData) events.OnDocData(block.data(), block.size());
}

void THttpCli::Completed(std::uint64_t generation, int result) {
    if (result == CURLE_OK) {
        if (docBegun_) {
            if (events.OnDocEnd) events.OnDocEnd();
            if (!Live(generation)) return;
        }
        const int status = status_;
        const std::string text = statusText_;
        End();
        if (status >= 400) throw HttpError(status, text);
        return;
    }
    // Refused, unreachable, name not found, timed out, cut short, a certificate refused.
    const std::string text =
        transfer_->error[0] ? transfer_->error : curl_easy_strerror(static_cast<CURLcode>(result));
    if (events.OnSocketError) events.OnSocketError();
    if (!Live(generation)) return;
    Fail(0, text);
}

void THttpCli::Wait() {
    // Returns at once when a socket is ready, and never later than libcurl's own timeout.
    curl_multi_poll(Multi(multi_), nullptr, 0, socketWaitMs_, nullptr);
}

void THttpCli::End() {
    DropTransfer();
    busy_ = false;
    ++generation_;
}

void THttpCli::DropTransfer() {
    if (!transfer_) return;
    if (transfer_->added) curl_multi_remove_handle(Multi(multi_), transfer_->easy);
    transfer_.reset();
}

void THttpCli::Fail(int status, const std::string& text) {
    End();
    throw HttpError(status, text);
}
