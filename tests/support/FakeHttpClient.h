#pragma once

// Aids for tests of code that uses an HttpClient:
//   FakeHttpClient plays scripted exchanges with the events of the real client, in its order,
//     and records every request header it "sends";
//   HttpEventLog writes the events of any client down as short texts, for comparing orders.

#include "online/HttpClient.h"

#include <cstdint>
#include <deque>
#include <functional>
#include <stdexcept>
#include <string>
#include <vector>

namespace httpfake {

// One answer of a scripted exchange.
struct Response {
    int status = 200;
    std::vector<std::string> cookies{};  // Set-Cookie values, in order
    // Absolute address: the answer redirects there (OnLocationChange) and the next Response
    // of the exchange answers the request that follows.
    std::string location{};
    std::int64_t contentLength = -1;
    std::vector<std::string> blocks{};  // body blocks (not delivered for HEAD)
    bool connectionFails = false;       // no answer: OnSocketError, then an error of status 0
    bool stalls = false;  // after the blocks the request waits (pump, OnPoll) until aborted
    std::string peer = "127.0.0.1";
};

// A request header as the client would send it.
struct SentRequest {
    HttpMethod method;
    std::string url;
    bool noCache;
    std::string cookie;
    std::vector<std::string> added;  // lines from OnBeforeHeaderSend
};

class FakeHttpClient final : public HttpClient {
  public:
    // One entry per Get or Head, taken in order: the answers of its hops. A request nobody
    // scripted fails.
    std::deque<std::vector<Response>> exchanges;
    std::vector<SentRequest> sent;
    // Runs before every request header and every block, as the window's loop would.
    std::function<void()> pump;

    HttpResult Get() override { return Request(HttpMethod::httpGET); }
    HttpResult Head() override { return Request(HttpMethod::httpHEAD); }
    void Abort() override {
        if (busy_) End();
    }
    bool Busy() const override { return busy_; }
    std::int64_t ContentLength() const override { return contentLength_; }
    std::int64_t RcvdCount() const override { return rcvdCount_; }
    std::string Location() const override { return location_; }
    std::string PeerAddress() const override { return peer_; }

  private:
    struct Failed {
        HttpResult result;
    };

    HttpResult Request(HttpMethod method) {
        if (busy_) return {0, "HTTP component is busy"};
        if (exchanges.empty()) return {0, "no exchange scripted for " + URL};
        try {
            Run(method);
        } catch (const Failed& failed) {
            return failed.result;
        }
        return {status_, std::nullopt};
    }

    void Run(HttpMethod method) {
        const std::vector<Response> hops = std::move(exchanges.front());
        exchanges.pop_front();
        const std::uint64_t generation = ++generation_;
        busy_ = true;
        location_ = URL;
        contentLength_ = -1;
        rcvdCount_ = 0;
        peer_.clear();
        struct EndOnExit {
            FakeHttpClient& client;
            std::uint64_t generation;
            ~EndOnExit() {
                if (client.Live(generation)) client.End();
            }
        } endOnExit{*this, generation};

        for (std::size_t hop = 0; hop < hops.size(); ++hop) {
            const Response& answer = hops[hop];
            if (!Pass(generation)) return;
            std::vector<std::string> added;
            if (events.OnBeforeHeaderSend) events.OnBeforeHeaderSend(method, added);
            if (!Live(generation)) return;
            sent.push_back({method, location_, NoCache, Cookie, added});
            if (answer.connectionFails) {
                if (events.OnSocketError) events.OnSocketError();
                if (!Live(generation)) return;
                Fail(0, "connection failed");
            }
            contentLength_ = answer.contentLength;
            rcvdCount_ = 0;
            peer_ = answer.peer;
            for (const std::string& cookie : answer.cookies) {
                bool accept = true;
                if (events.OnCookie) events.OnCookie(cookie, accept);
                if (!Live(generation)) return;
            }
            if (answer.location.empty()) return Final(method, answer, generation);
            if (hop + 1 == hops.size()) throw std::logic_error("script ends with a redirection");
            location_ = answer.location;
            if (events.OnLocationChange) events.OnLocationChange();
            if (!Live(generation)) return;
        }
    }

    void Final(HttpMethod method, const Response& answer, std::uint64_t generation) {
        bool begun = false;
        for (const std::string& block :
             method == HttpMethod::httpGET ? answer.blocks : std::vector<std::string>{}) {
            if (!Pass(generation)) return;
            if (!begun) {
                begun = true;
                if (events.OnDocBegin) events.OnDocBegin();
                if (!Live(generation)) return;
            }
            rcvdCount_ += static_cast<std::int64_t>(block.size());
            if (events.OnDocData) events.OnDocData(block.data(), block.size());
            if (!Live(generation)) return;
        }
        if (answer.stalls && !pump && !events.OnPoll)
            throw std::logic_error("a stalled exchange needs a pump or OnPoll to abort it");
        while (answer.stalls) {
            if (!Pass(generation)) return;
        }
        if (begun) {
            if (events.OnDocEnd) events.OnDocEnd();
            if (!Live(generation)) return;
        }
        status_ = answer.status;
        if (answer.status >= 400) Fail(answer.status, std::to_string(answer.status));
        End();
    }

    bool Pass(std::uint64_t generation) {
        if (pump) pump();
        if (!Live(generation)) return false;
        if (events.OnPoll) events.OnPoll();
        return Live(generation);
    }

    bool Live(std::uint64_t generation) const { return busy_ && generation_ == generation; }
    void End() {
        busy_ = false;
        ++generation_;
    }
    [[noreturn]] void Fail(int status, const std::string& text) {
        End();
        throw Failed{{status, text}};
    }

    bool busy_ = false;
    std::uint64_t generation_ = 0;
    int status_ = 0;
    std::int64_t contentLength_ = -1;
    std::int64_t rcvdCount_ = 0;
    std::string location_;
    std::string peer_;
};

}  // namespace httpfake

namespace httptest {

// The events of a client as texts: "send GET", "cookie <value>", "location <address>",
// "begin", "data" (once for a run of blocks; `body` and `blocks` keep them), "end",
// "socket error"; Request() adds "error <status>" for a request that failed.
class HttpEventLog {
  public:
    std::vector<std::string> log;
    std::string body;
    int blocks = 0;
    std::vector<std::string> addLines;  // handed to every OnBeforeHeaderSend

    explicit HttpEventLog(HttpClient& client) : client_(client) {
        HttpEvents& events = client.events;
        events.OnBeforeHeaderSend = [this](HttpMethod method, std::vector<std::string>& lines) {
            log.push_back(method == HttpMethod::httpGET ? "send GET" : "send HEAD");
            lines.insert(lines.end(), addLines.begin(), addLines.end());
        };
        events.OnCookie = [this](const std::string& data, bool&) {
            log.push_back("cookie " + data);
        };
        events.OnLocationChange = [this] { log.push_back("location " + client_.Location()); };
        events.OnDocBegin = [this] { log.push_back("begin"); };
        events.OnDocData = [this](const char* buffer, std::size_t length) {
            if (log.empty() || log.back() != "data") log.push_back("data");
            body.append(buffer, length);
            ++blocks;
        };
        events.OnDocEnd = [this] { log.push_back("end"); };
        events.OnSocketError = [this] { log.push_back("socket error"); };
    }

    // Runs one request, recording its error.
    void Request(HttpMethod method, const std::string& url) {
        client_.URL = url;
        const HttpResult result = method == HttpMethod::httpGET ? client_.Get() : client_.Head();
        if (result.error.has_value()) log.push_back("error " + std::to_string(result.status));
    }

  private:
    HttpClient& client_;
};

}  // namespace httptest
