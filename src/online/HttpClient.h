#pragma once

// What the program needs of an HTTP client: the banner fetch, the banner click-through and
// the update check each own one. A request blocks its caller until the exchange is over and
// meanwhile keeps the window alive: its wait runs the window's event loop, and on every pass
// the injected pump, so timers and clicks are handled inside it, and any handler run from
// there may call this same client again (abort it, start a new request once it is ready).
//
// The concrete client is THttpCli, which runs each request in a curl child; tests use a
// scripted fake with the same events.

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

enum class HttpMethod { httpGET, httpHEAD };

// How a request of Get or Head ended. An error for a final status of 400 or more (after the
// document events), a connection failure (after OnSocketError), a request on a busy client
// ("HTTP component is busy"), or an answer the client refuses (a redirection loop, a scheme
// other than http or https). `status` is the HTTP status of the answer concerned; 0 for a
// failure of the connection (also one broken off in the middle of an answer), for a busy
// client and for an address the client cannot request.
struct HttpResult {
    int status = 0;
    std::optional<std::string> error;
};

// The events, in the order they arrive during one exchange. Each may be left empty.
struct HttpEvents {
    // Before each request header is sent, also after a redirection. Lines added to
    // `headers` ("Name: value", no line end) follow the client's own lines.
    std::function<void(HttpMethod method, std::vector<std::string>& headers)> OnBeforeHeaderSend;
    // Once per set-cookie line of a response; `data` is the whole header value.
    std::function<void(const std::string& data, bool& accept)> OnCookie;
    // After the header of a redirecting response; Location() holds the new absolute
    // address, which is requested next.
    std::function<void()> OnLocationChange;
    // At the first block of body data of the final response.
    std::function<void()> OnDocBegin;
    // For each block of body data of the final response.
    std::function<void(const char* buffer, std::size_t length)> OnDocData;
    // When the answer has ended normally after at least one block of body data; never for a
    // response without body (a HEAD answer) and never after Abort.
    std::function<void()> OnDocEnd;
    // On a connection failure (refused, unreachable, name not found, timed out, a certificate
    // refused, or the connection broken off before the answer was whole).
    std::function<void()> OnSocketError;
    // On a failure of a SOCKS server; the program uses none, so this never fires, but the
    // handlers are wired as the program expects.
    std::function<void(int error, const std::string& message)> OnSocksError;
    // On every pass of a blocking request's wait, after the pump, and about once a second
    // while the server is silent; a handler may Abort.
    std::function<void()> OnPoll;
};

class HttpClient {
  public:
    virtual ~HttpClient() = default;

    // Fixed when the client is made.
    std::string Accept = "image/gif, image/x-xbitmap, image/jpeg, image/pjpeg, */*";
    std::string Agent;
    std::string LocalAddr = "0.0.0.0";
    bool MultiThreaded = false;

    // Set before a request.
    std::string URL;       // absolute http or https address with its query, sent as it stands
    bool NoCache = false;  // adds "Pragma: no-cache"
    std::string Cookie;    // when not empty, adds "Cookie: " + Cookie

    HttpEvents events;

    // Blocking requests, sent as HTTP/1.0; redirections are followed by the client itself.
    // They return when the exchange is over, or at once after Abort (without an error and
    // without OnDocEnd).
    virtual HttpResult Get() = 0;
    virtual HttpResult Head() = 0;
    // Ends a running exchange and leaves the client ready; harmless on a ready client.
    virtual void Abort() = 0;
    virtual bool Busy() const = 0;

    // Of the current or last response: its content-length (-1 when absent), the body bytes
    // received so far, and the current absolute address (the last one requested).
    virtual std::int64_t ContentLength() const = 0;
    virtual std::int64_t RcvdCount() const = 0;
    virtual std::string Location() const = 0;
    // The numeric address of the peer that gave the final answer ("127.0.0.1", "::1"),
    // empty when there was none. An https answer has always passed certificate
    // verification: the client never turns it off.
    virtual std::string PeerAddress() const = 0;
};
