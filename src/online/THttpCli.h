#pragma once

// The HTTP client of the online services, on libcurl's multi interface, driven from the
// caller's thread: a blocking request alternates between one pass of the injected pump (the
// window's event loop) and a short wait on the request's sockets, so the window stays alive
// and an idle wait costs next to nothing. libcurl's callbacks only collect what arrives; the
// events are fired from the wait loop, outside libcurl, so a handler may abort the client or
// start a new request on it.
//
// The client follows redirections itself (so every request header passes OnBeforeHeaderSend
// and every answer's cookies are reported), uses no proxy whatever the environment says,
// keeps certificate verification on and starts no thread of its own (MultiThreaded is not
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

namespace httpcli {
struct Answer;
struct Transfer;
}  // namespace httpcli

class THttpCli final : public HttpClient {
  public:
    using Pump = std::function<void()>;

    // How long one pass waits on the sockets at most. Bounds how late a window timer can be
    // while a request waits, against the cost of waking up for nothing.
    static constexpr std::chrono::milliseconds kSocketWait{10};
    // Redirections followed in one request before it fails.
    static constexpr int kMaxRedirects = 20;
    static constexpr std::chrono::seconds kConnectTimeout{30};

    // The program's pump: the window's pending events, then Delay(0).
    static void PumpWindow();

    explicit THttpCli(Pump pump, std::chrono::milliseconds socketWait = kSocketWait);
    ~THttpCli() override;
    THttpCli(const THttpCli&) = delete;
    THttpCli& operator=(const THttpCli&) = delete;

    void Get() override { Run(HttpMethod::httpGET); }
    void Head() override { Run(HttpMethod::httpHEAD); }
    void Abort() override;
    bool Busy() const override { return busy_; }

    std::int64_t ContentLength() const override { return contentLength_; }
    std::int64_t RcvdCount() const override { return rcvdCount_; }
    std::string Location() const override { return location_; }
    std::string PeerAddress() const override { return peerAddress_; }

  private:
    using Answer = httpcli::Answer;

    void Run(HttpMethod method);
    // Starts the request for location_: OnBeforeHeaderSend, then the transfer.
    void Send(std::uint64_t generation);
    // One perform of the transfer and the events of what it brought.
    void Step(std::uint64_t generation);
    void Deliver(std::uint64_t generation);
    void Answered(std::uint64_t generation, const Answer& answer);
    void Redirect(std::uint64_t generation, const Answer& answer);
    void Body(std::uint64_t generation, const std::string& block);
    void Completed(std::uint64_t generation, int result);
    void Wait();
    // Ends the running exchange: the transfer is dropped and the client is ready.
    void End();
    void DropTransfer();
    [[noreturn]] void Fail(int status, const std::string& text);
    bool Live(std::uint64_t generation) const { return busy_ && generation_ == generation; }

    Pump pump_;
    int socketWaitMs_;
    void* multi_ = nullptr;                        // CURLM*, kept out of this header
    std::unique_ptr<httpcli::Transfer> transfer_;  // the request on the wire

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
