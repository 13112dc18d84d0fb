#pragma once

// The HTTP client of the online services. Each request (each hop of a redirection) runs in a
// child process, the system's curl tool, started for it and gone when it ends: the program
// lives in the tray for days, and a banner every ten minutes does not justify keeping an
// HTTP and TLS stack mapped all that time. The child gets the whole request as arguments
// (no shell, no user configuration, no environment of ours) and writes the answer's head
// and body to a pipe; the client takes them apart and fires the events from its own wait
// loop, so a handler may abort the client or start a new request on it.
//
// The wait is event-driven: with an application object it runs the event loop until the
// child writes or ends (or a slow tick passes, for OnPoll); without one it waits on the
// child's pipe alone. A child that dies, hangs or writes anything but an HTTP answer is a
// connection failure.
//
// The client follows redirections itself (so every request header passes OnBeforeHeaderSend
// and every answer's cookies are reported), uses no proxy whatever the environment says,
// never turns certificate verification off and starts no thread (MultiThreaded is not
// consulted). Cookie goes only to the scheme, host and port of URL, never to another site a
// redirection leads to. LocalAddr "0.0.0.0" (or empty) leaves the local address to the
// system, for IPv4 and IPv6 alike; any other value binds the requests to that address.
//
// A client must not be destroyed while one of its requests is running.

#include "online/HttpClient.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class Clock;

namespace httpcli {
struct Answer;
struct Child;
}  // namespace httpcli

class THttpCli final : public HttpClient {
  public:
    using Pump = std::function<void()>;

    // How long a wait on a silent server lasts at most before OnPoll runs: the time limits
    // of the client's users are whole seconds, and each tick wakes the program.
    static constexpr std::chrono::milliseconds kPollPeriod{1000};
    // Redirections followed in one request before it fails.
    static constexpr int kMaxRedirects = 20;
    static constexpr std::chrono::seconds kConnectTimeout{30};
    // A server silent this long ends the request (the child gives up); a child silent
    // somewhat longer is taken for hung and ended.
    static constexpr std::chrono::seconds kStallLimit{120};
    // No request lasts longer, however slowly its answer trickles in.
    static constexpr std::chrono::seconds kRequestLimit{3600};
    // The longest body taken; a longer one is a failure.
    static constexpr std::int64_t kMaxBody = std::int64_t{64} << 20;

    // The program's pump: the window's pending events.
    static void PumpWindow();

    // `clock` measures the silence of a child.
    THttpCli(Pump pump, const Clock& clock, std::chrono::milliseconds pollPeriod = kPollPeriod);
    ~THttpCli() override;
    THttpCli(const THttpCli&) = delete;
    THttpCli& operator=(const THttpCli&) = delete;

    HttpResult Get() override { return Request(HttpMethod::httpGET); }
    HttpResult Head() override { return Request(HttpMethod::httpHEAD); }
    void Abort() override;
    bool Busy() const override { return busy_; }

    std::int64_t ContentLength() const override { return contentLength_; }
    std::int64_t RcvdCount() const override { return rcvdCount_; }
    std::string Location() const override { return location_; }
    std::string PeerAddress() const override { return peerAddress_; }

  private:
    using Answer = httpcli::Answer;

    // Run, with a failure that ends it as the result.
    HttpResult Request(HttpMethod method);
    void Run(HttpMethod method);
    // Starts the child for location_: OnBeforeHeaderSend, then the child.
    void Send(std::uint64_t generation);
    std::vector<std::string> Arguments(const std::vector<std::string>& added) const;
    // Takes what the child wrote, fires its events, and ends the hop once the child has.
    void Step(std::uint64_t generation);
    void Take(std::uint64_t generation);
    void Answered(std::uint64_t generation, const Answer& answer);
    void Body(std::uint64_t generation, std::string block);
    void Completed(std::uint64_t generation);
    void Redirect(std::uint64_t generation);
    void Wait();
    // A connection failure: OnSocketError, then the error.
    void Failure(std::uint64_t generation, const std::string& text);
    // Ends the running exchange: the child is ended and the client is ready.
    void End();
    void DropChild();
    [[noreturn]] void Fail(int status, const std::string& text);
    bool Live(std::uint64_t generation) const { return busy_ && generation_ == generation; }

    Pump pump_;
    const Clock& clock_;
    std::chrono::milliseconds pollPeriod_;
    std::unique_ptr<httpcli::Child> child_;  // the request on the wire

    // The exchange: a new generation at every start and every end, so a request suspended in
    // the pump sees that its exchange is over even when another one has started since.
    bool busy_ = false;
    std::uint64_t generation_ = 0;
    HttpMethod method_ = HttpMethod::httpGET;
    int redirects_ = 0;
    std::string cookieOrigin_;  // Cookie is sent only to the origin of URL
    bool docBegun_ = false;
    int status_ = 0;
    std::string statusText_;

    std::int64_t contentLength_ = -1;
    std::int64_t rcvdCount_ = 0;
    std::string location_;
    std::string peerAddress_;
};
