// Test aid of the end-to-end runs, never part of the program: the update service on the
// loopback. It answers HEAD and GET of /cgi-bin/download.pl with one file, the "new build":
// the HEAD with the file's length, the GET with the file in blocks of 64 KiB. It can pace
// the blocks, so that a person would see the progress, and break the answer off, as a
// connection that fails in the middle does. Every request is logged with the moment it came
// ("<ms since the epoch> <method> <target>"), and so is the end of a whole build ("<ms> SENT
// <bytes>"). It ends by itself after a while.
//
//   update_server --port N --build FILE --log FILE [--block-delay-ms MS] [--cut BYTES]
//                 [--lifetime SECONDS]

#include <httplib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <iterator>
#include <mutex>
#include <string>
#include <thread>

namespace {

struct Options {
    int port = 0;
    std::string build;
    std::string log;
    int blockDelayMs = 0;
    std::size_t cut = std::string::npos;
    int lifetime = 300;
};

bool Parse(int argc, char** argv, Options& options) {
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string name = argv[i];
        const char* value = argv[i + 1];
        if (name == "--port") {
            options.port = std::atoi(value);
        } else if (name == "--build") {
            options.build = value;
        } else if (name == "--log") {
            options.log = value;
        } else if (name == "--block-delay-ms") {
            options.blockDelayMs = std::atoi(value);
        } else if (name == "--cut") {
            options.cut = std::stoul(value);
        } else if (name == "--lifetime") {
            options.lifetime = std::atoi(value);
        } else {
            return false;
        }
    }
    return options.port > 0 && !options.build.empty() && !options.log.empty();
}

long long EpochMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

int main(int argc, char** argv) {
    Options options;
    if (!Parse(argc, argv, options)) {
        std::cerr << "usage: update_server --port N --build FILE --log FILE "
                     "[--block-delay-ms MS] [--cut BYTES] [--lifetime SECONDS]\n";
        return 2;
    }
    std::ifstream in(options.build, std::ios::binary);
    const std::string build((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (!in.good() && !in.eof()) {
        std::cerr << "cannot read " << options.build << "\n";
        return 2;
    }
    std::mutex logMutex;
    const auto note = [&](const std::string& line) {
        std::lock_guard lock(logMutex);
        std::ofstream(options.log, std::ios::app) << EpochMs() << ' ' << line << std::endl;
    };
    const auto log = [&](const httplib::Request& req) { note(req.method + ' ' + req.target); };

    httplib::Server server;
    server.Get("/cgi-bin/download.pl", [&](const httplib::Request& req, httplib::Response& res) {
        log(req);
        if (req.method == "HEAD") {
            res.set_header("Content-Length", std::to_string(build.size()));
            return;
        }
        res.set_content_provider(
            build.size(), "application/octet-stream",
            [&](std::size_t offset, std::size_t, httplib::DataSink& sink) {
                if (offset >= options.cut) return false;  // breaks the connection off
                if (options.blockDelayMs > 0)
                    std::this_thread::sleep_for(std::chrono::milliseconds(options.blockDelayMs));
                const std::size_t end = std::min({build.size(), options.cut, offset + 65536});
                const bool written = sink.write(build.data() + offset, end - offset);
                if (written && end == build.size()) note("SENT " + std::to_string(end));
                return written;
            });
    });
    server.set_error_handler([&](const httplib::Request& req, httplib::Response&) { log(req); });
    if (!server.bind_to_port("127.0.0.1", options.port)) {
        std::cerr << "cannot listen on 127.0.0.1:" << options.port << "\n";
        return 1;
    }
    std::thread stopper([&] {
        std::this_thread::sleep_for(std::chrono::seconds(options.lifetime));
        server.stop();
    });
    stopper.detach();
    std::cout << "listening on 127.0.0.1:" << options.port << std::endl;
    server.listen_after_bind();
    return 0;
}
