#pragma once

// An HTTP client that sends the program's requests to a test server: the address the program
// built is handed on with its scheme and host replaced, everything else goes through as the
// program set it. For window tests whose addresses are fixed when the program is built.

#include "online/HttpClient.h"

#include <memory>
#include <string>
#include <utility>

class RetargetedHttpClient final : public HttpClient {
  public:
    // Requests for addresses that begin with `from` go to `to` + the rest of the address.
    RetargetedHttpClient(std::unique_ptr<HttpClient> inner, std::string from, std::string to)
        : inner_(std::move(inner)), from_(std::move(from)), to_(std::move(to)) {}

    HttpResult Get() override {
        Forward();
        return inner_->Get();
    }
    HttpResult Head() override {
        Forward();
        return inner_->Head();
    }
    void Abort() override { inner_->Abort(); }
    bool Busy() const override { return inner_->Busy(); }
    std::int64_t ContentLength() const override { return inner_->ContentLength(); }
    std::int64_t RcvdCount() const override { return inner_->RcvdCount(); }
    std::string Location() const override { return inner_->Location(); }
    std::string PeerAddress() const override { return inner_->PeerAddress(); }

  private:
    void Forward() {
        if (inner_->Busy()) return;  // the request refuses; the running one keeps its settings
        inner_->Accept = Accept;
        inner_->Agent = Agent;
        inner_->LocalAddr = LocalAddr;
        inner_->MultiThreaded = MultiThreaded;
        inner_->NoCache = NoCache;
        inner_->Cookie = Cookie;
        inner_->events = events;
        inner_->URL = URL.starts_with(from_) ? to_ + URL.substr(from_.size()) : URL;
    }

    std::unique_ptr<HttpClient> inner_;
    std::string from_;
    std::string to_;
};
