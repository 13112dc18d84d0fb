#pragma once

// Real HTTP servers on 127.0.0.1 for the tests of the HTTP client and its users.
//
// LocalHttpServer serves canned answers on a free port and records every request it gets:
//   /text?body=B            200 with the body B ("hello" when absent)
//   /big?size=N             200 with N bytes (100000 when absent), so several blocks
//   /noclen                 200, 3000 bytes without content-length, ended by closing
//   /empty                  200 with an empty body
//   /status/N               status N with the body "status N"
//   /redirect?to=U&code=N   status N (302 when absent) with the Location U, taken verbatim
//   /loop                   302 back to /loop, for ever
//   /cut                    content-length 1000, then 100 bytes and the connection closed
//   /slow?ms=N              200 "late" after N ms (10000 when absent), or at ReleaseSlow()
//   /cgi-bin/download.pl    the update service: HEAD and GET answer as ServeBuild() says
//   /moved/cgi-bin/...      302 to the same update address without "/moved"
// and any other path the answer a test put there (Put), whatever the query.
// Every answer also carries one Set-Cookie line per "cookie" parameter, in their order.
//
// With `selfSignedTls` it speaks https with a certificate that no authority has signed.
//
// RawHeadServer answers every request with a fixed 200 and keeps the request's head byte for
// byte, for what the parsed requests cannot show (the order of the header lines).

#include <httplib.h>
#include <openssl/evp.h>
#include <openssl/x509.h>

#include <QtCore/qtestsupport_core.h>

#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

namespace httptest {

// A TCP socket bound to a free port of 127.0.0.1.
inline int BindLoopback(int& port) {
    const int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
        getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0)
        throw std::runtime_error("no free port on 127.0.0.1");
    port = ntohs(address.sin_port);
    return fd;
}

struct RecordedRequest {
    std::string method;
    std::string target;  // path and query exactly as sent
    std::string version;
    httplib::Headers headers;

    std::string Header(const std::string& name) const {
        const auto found = headers.find(name);
        return found == headers.end() ? std::string() : found->second;
    }
};

// A certificate for 127.0.0.1 signed with its own key.
class SelfSignedCertificate {
  public:
    SelfSignedCertificate() : key_(EVP_EC_gen("P-256")), cert_(X509_new()) {
        X509_set_version(cert_, 2);
        ASN1_INTEGER_set(X509_get_serialNumber(cert_), 1);
        X509_gmtime_adj(X509_getm_notBefore(cert_), 0);
        X509_gmtime_adj(X509_getm_notAfter(cert_), 3600);
        X509_set_pubkey(cert_, key_);
        X509_NAME* name = X509_get_subject_name(cert_);
        X509_NAME_add_entry_by_txt(name, "CN", MBSTRING_ASC,
                                   reinterpret_cast<const unsigned char*>("127.0.0.1"), -1, -1, 0);
        X509_set_issuer_name(cert_, name);
        X509_sign(cert_, key_, EVP_sha256());
    }
    ~SelfSignedCertificate() {
        X509_free(cert_);
        EVP_PKEY_free(key_);
    }
    SelfSignedCertificate(const SelfSignedCertificate&) = delete;
    SelfSignedCertificate& operator=(const SelfSignedCertificate&) = delete;

    X509* Certificate() const { return cert_; }
    EVP_PKEY* Key() const { return key_; }

  private:
    EVP_PKEY* key_;
    X509* cert_;
};

// An answer a test puts at a path of its own.
struct Canned {
    int status = 200;
    std::string body = {};
    std::vector<std::pair<std::string, std::string>> headers = {};  // in the order sent
    // Sent after this long, or at ReleaseSlow(); a server that is slow to answer.
    std::chrono::milliseconds wait{0};
};

// How the update service answers: the HEAD announces a length, the GET sends a build.
struct BuildAnswer {
    std::string body;                          // what the GET sends, in blocks of 64 KiB
    std::int64_t headLength = -1;              // the HEAD's content-length; -1: the body's length
    bool getAnnounces = true;                  // the GET says its length (else it ends by closing)
    std::size_t cutAfter = std::string::npos;  // the GET breaks off after so many bytes
    std::size_t stallAfter = std::string::npos;  // or falls silent until ReleaseSlow()
    int getStatus = 200;
};

class LocalHttpServer {
  public:
    // `host` is the numeric address to listen on ("::1" for IPv6 loopback).
    explicit LocalHttpServer(std::string host = "127.0.0.1", bool selfSignedTls = false)
        : host_(std::move(host)), scheme_(selfSignedTls ? "https" : "http") {
        if (selfSignedTls) {
            certificate_ = std::make_unique<SelfSignedCertificate>();
            server_ = std::make_unique<httplib::SSLServer>(certificate_->Certificate(),
                                                           certificate_->Key());
        } else {
            server_ = std::make_unique<httplib::Server>();
        }
        server_->set_pre_routing_handler([this](const httplib::Request& req, httplib::Response&) {
            Record(req);
            return httplib::Server::HandlerResponse::Unhandled;
        });
        server_->set_post_routing_handler([](const httplib::Request& req, httplib::Response& res) {
            for (std::size_t i = 0; i < req.get_param_value_count("cookie"); ++i)
                res.set_header("Set-Cookie", req.get_param_value("cookie", i));
        });
        Routes();
        port_ = server_->bind_to_any_port(host_);
        if (port_ <= 0) throw std::runtime_error("the test server found no port");
        thread_ = std::thread([this] { server_->listen_after_bind(); });
        // stop() does nothing to a server that is not running yet, which would then never end.
        if (!QTest::qWaitFor([this] { return server_->is_running(); }, 5000))
            throw std::runtime_error("the test server never started listening");
    }

    ~LocalHttpServer() {
        ReleaseSlow();
        server_->stop();
        thread_.join();
    }

    LocalHttpServer(const LocalHttpServer&) = delete;
    LocalHttpServer& operator=(const LocalHttpServer&) = delete;

    int Port() const { return port_; }
    std::string Url(const std::string& pathAndQuery) const {
        const std::string host = host_.find(':') == std::string::npos ? host_ : "[" + host_ + "]";
        return scheme_ + "://" + host + ":" + std::to_string(port_) + pathAndQuery;
    }

    std::vector<RecordedRequest> Requests() const {
        std::lock_guard lock(mutex_);
        return requests_;
    }

    // The answer to every later request for `path`; a request already waiting keeps its own.
    void Put(const std::string& path, Canned answer) {
        std::lock_guard lock(mutex_);
        canned_[path] = std::move(answer);
    }

    void ServeBuild(BuildAnswer answer) {
        std::lock_guard lock(mutex_);
        build_ = std::move(answer);
    }

    // Lets every slow answer go now.
    void ReleaseSlow() {
        std::lock_guard lock(mutex_);
        released_ = true;
        wake_.notify_all();
    }

    // A port of 127.0.0.1 on which nothing listens.
    static int RefusedPort() {
        int port = 0;
        close(BindLoopback(port));
        return port;
    }

  private:
    static std::string Param(const httplib::Request& req, const char* name,
                             const std::string& otherwise) {
        return req.has_param(name) ? req.get_param_value(name) : otherwise;
    }

    void Record(const httplib::Request& req) {
        RecordedRequest recorded{req.method, req.target, req.version, req.headers};
        for (const char* own : {"REMOTE_ADDR", "REMOTE_PORT", "LOCAL_ADDR", "LOCAL_PORT"})
            recorded.headers.erase(own);
        std::lock_guard lock(mutex_);
        requests_.push_back(std::move(recorded));
    }

    void Routes() {
        server_->Get("/text", [](const httplib::Request& req, httplib::Response& res) {
            res.set_content(Param(req, "body", "hello"), "text/plain");
        });
        const auto big = [](const char* defaultSize) {
            return [defaultSize](const httplib::Request& req, httplib::Response& res) {
                const std::size_t size = std::stoul(Param(req, "size", defaultSize));
                std::string body(size, '\0');
                for (std::size_t i = 0; i < size; ++i)
                    body[i] = static_cast<char>('a' + i % 26);
                res.set_content(body, "application/octet-stream");
            };
        };
        server_->Get("/big", big("100000"));
        server_->Get("/noclen", [](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider("text/plain", [](std::size_t, httplib::DataSink& sink) {
                const std::string body(3000, 'n');
                sink.write(body.data(), body.size());
                sink.done();
                return true;
            });
        });
        server_->Get("/empty", [](const httplib::Request&, httplib::Response& res) {
            res.set_content("", "text/plain");
        });
        server_->Get(R"(/status/(\d+))", [](const httplib::Request& req, httplib::Response& res) {
            res.status = std::stoi(req.matches[1]);
            res.set_content("status " + std::string(req.matches[1]), "text/plain");
        });
        server_->Get("/redirect", [](const httplib::Request& req, httplib::Response& res) {
            res.status = std::stoi(Param(req, "code", "302"));
            res.set_header("Location", Param(req, "to", "/text"));
            res.set_content("moved", "text/plain");
        });
        server_->Get("/loop", [](const httplib::Request&, httplib::Response& res) {
            res.set_redirect("/loop");
        });
        server_->Get("/cut", [](const httplib::Request&, httplib::Response& res) {
            res.set_content_provider(1000, "application/octet-stream",
                                     [](std::size_t, std::size_t, httplib::DataSink& sink) {
                                         sink.write(std::string(100, 'c').data(), 100);
                                         return false;  // closes the connection
                                     });
        });
        server_->Get("/slow", [this](const httplib::Request& req, httplib::Response& res) {
            const std::chrono::milliseconds wait(std::stoi(Param(req, "ms", "10000")));
            std::unique_lock lock(mutex_);
            wake_.wait_for(lock, wait, [this] { return released_; });
            res.set_content("late", "text/plain");
        });
        server_->Get(
            "/cgi-bin/download.pl", [this](const httplib::Request& req, httplib::Response& res) {
                std::unique_lock lock(mutex_);
                const BuildAnswer build = build_;
                lock.unlock();
                if (req.method == "HEAD") {
                    const std::int64_t length = build.headLength >= 0
                                                    ? build.headLength
                                                    : static_cast<std::int64_t>(build.body.size());
                    res.set_header("Content-Length", std::to_string(length));
                    return;
                }
                res.status = build.getStatus;
                const auto send = [this, build](std::size_t offset, httplib::DataSink& sink) {
                    const std::size_t end =
                        std::min({build.body.size(), build.cutAfter, build.stallAfter});
                    if (offset < end) {
                        const std::size_t n = std::min<std::size_t>(end - offset, 65536);
                        return sink.write(build.body.data() + offset, n);
                    }
                    if (offset >= build.body.size()) {
                        sink.done();
                        return true;
                    }
                    if (end == build.stallAfter) {
                        std::unique_lock wait(mutex_);
                        wake_.wait(wait, [this] { return released_; });
                    }
                    return false;  // breaks the connection off
                };
                if (build.getAnnounces) {
                    res.set_content_provider(
                        build.body.size(), "application/octet-stream",
                        [send](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                            return send(offset, sink);
                        });
                } else {
                    res.set_content_provider("application/octet-stream",
                                             [send](std::size_t offset, httplib::DataSink& sink) {
                                                 return send(offset, sink);
                                             });
                }
            });
        server_->Get("/moved/cgi-bin/download.pl",
                     [](const httplib::Request& req, httplib::Response& res) {
                         const std::string& target = req.target;
                         res.set_redirect(target.substr(target.find("/cgi-bin/")));
                     });
        server_->Get(".*", [this](const httplib::Request& req, httplib::Response& res) {
            std::unique_lock lock(mutex_);
            const auto found = canned_.find(req.path);
            if (found == canned_.end()) {
                res.status = 404;
                return;
            }
            const Canned answer = found->second;
            wake_.wait_for(lock, answer.wait, [this] { return released_; });
            res.status = answer.status;
            for (const auto& [name, value] : answer.headers)
                res.headers.emplace(name, value);
            res.set_content(answer.body, "application/octet-stream");
        });
    }

    std::string host_;
    std::string scheme_;
    std::unique_ptr<SelfSignedCertificate> certificate_;
    std::unique_ptr<httplib::Server> server_;
    int port_ = 0;
    std::thread thread_;
    mutable std::mutex mutex_;
    std::condition_variable wake_;
    bool released_ = false;
    std::vector<RecordedRequest> requests_;
    std::map<std::string, Canned> canned_;
    BuildAnswer build_;
};

class RawHeadServer {
  public:
    RawHeadServer() {
        listener_ = BindLoopback(port_);
        if (listen(listener_, 8) != 0)
            throw std::runtime_error("the raw test server cannot listen");
        thread_ = std::thread([this] { Serve(); });
    }

    ~RawHeadServer() {
        stop_ = true;
        thread_.join();
        close(listener_);
    }

    RawHeadServer(const RawHeadServer&) = delete;
    RawHeadServer& operator=(const RawHeadServer&) = delete;

    int Port() const { return port_; }
    std::string Url(const std::string& pathAndQuery) const {
        return "http://127.0.0.1:" + std::to_string(port_) + pathAndQuery;
    }
    std::vector<std::string> Heads() const {
        std::lock_guard lock(mutex_);
        return heads_;
    }

  private:
    void Serve() {
        while (!stop_) {
            pollfd ready{listener_, POLLIN, 0};
            if (poll(&ready, 1, 20) <= 0) continue;
            const int connection = accept(listener_, nullptr, nullptr);
            if (connection < 0) continue;
            std::string head;
            char buffer[4096];
            while (head.find("\r\n\r\n") == std::string::npos) {
                const ssize_t got = recv(connection, buffer, sizeof buffer, 0);
                if (got <= 0) break;
                head.append(buffer, static_cast<std::size_t>(got));
            }
            {
                std::lock_guard lock(mutex_);
                heads_.push_back(head);
            }
            const std::string answer = "HTTP/1.0 200 OK\r\nContent-Length: 2\r\n\r\nok";
            send(connection, answer.data(), answer.size(), MSG_NOSIGNAL);
            close(connection);
        }
    }

    int listener_ = -1;
    int port_ = 0;
    std::atomic<bool> stop_{false};
    std::thread thread_;
    mutable std::mutex mutex_;
    std::vector<std::string> heads_;
};

}  // namespace httptest
