// The advertising service of the end-to-end runs and of the idle measurement, on cpp-httplib:
//
//   banner_server PORT RECORD
//
// "/bb.cgi?cmd=ad..." answers with a 468 x 60 GIF banner of four stripes (red, green, blue,
// white from left to right) and two Set-Cookie lines; "/bb.cgi?cmd=go..." (the click
// counter) redirects to the advertiser's page "/advertiser/shop?id=7&u=%41b" on the same
// server, which answers with a short page. Every request is appended to RECORD as one line:
// method, path and query as sent, version, then the Cookie, Referer, Pragma and User-Agent
// header values, separated by "|". Prints "ready" once it listens on 127.0.0.1.

#include "TestPictures.h"

#include <httplib.h>

#include <cstdio>
#include <fstream>
#include <mutex>
#include <string>

int main(int argc, char* argv[]) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: banner_server PORT RECORD\n");
        return 2;
    }
    const int port = std::stoi(argv[1]);
    const std::string record = argv[2];
    std::mutex mutex;
    const std::string banner = testpictures::PaddedTo(testpictures::StripedBanner(), 2000);

    httplib::Server server;
    server.set_pre_routing_handler([&](const httplib::Request& req, httplib::Response&) {
        const auto header = [&req](const char* name) { return req.get_header_value(name); };
        std::lock_guard lock(mutex);
        std::ofstream(record, std::ios::app)
            << req.method << ' ' << req.target << ' ' << req.version << '|' << header("Cookie")
            << '|' << header("Referer") << '|' << header("Pragma") << '|' << header("User-Agent")
            << '\n';
        return httplib::Server::HandlerResponse::Unhandled;
    });
    server.Get("/bb.cgi", [&](const httplib::Request& req, httplib::Response& res) {
        if (req.get_param_value("cmd") == "go") {
            res.status = 302;
            res.set_header("Location", "http://127.0.0.1:" + std::to_string(port) +
                                           "/advertiser/shop?id=7&u=%41b");
            return;
        }
        res.headers.emplace("Set-Cookie", "uid=42; path=/");
        res.headers.emplace("Set-Cookie", "seen=1");
        res.set_content(banner, "image/gif");
    });
    server.Get("/advertiser/shop", [](const httplib::Request&, httplib::Response& res) {
        res.set_content("<html>welcome</html>", "text/html");
    });
    if (!server.bind_to_port("127.0.0.1", port)) {
        std::fprintf(stderr, "banner_server: cannot listen on 127.0.0.1:%d\n", port);
        return 1;
    }
    std::printf("ready\n");
    std::fflush(stdout);
    return server.listen_after_bind() ? 0 : 1;
}
