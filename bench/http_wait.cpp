// What a blocking HTTP request costs while it waits on a server that answers after 10 s: the
// CPU time of the whole process (user and system) against the wall time, with the program's
// own pump (the window's pending events), and how late a 1000 ms timer fires
// meanwhile, and how often the waiting thread wakes up (its voluntary context switches).
// The argument is the client's poll period: the longest wait before OnPoll runs.

#include "online/THttpCli.h"
#include "platform/Clock.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <benchmark/benchmark.h>

#include <netinet/in.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <stdexcept>
#include <string>
#include <thread>

namespace {

using namespace std::chrono_literals;

constexpr auto kAnswerDelay = 10s;

// Accepts one connection on 127.0.0.1, reads the request and answers it after a delay.
class SlowServer {
  public:
    SlowServer() {
        listener_ = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t length = sizeof address;
        if (bind(listener_, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0 ||
            listen(listener_, 1) != 0 ||
            getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0)
            throw std::runtime_error("no port for the slow server");
        url_ = "http://127.0.0.1:" + std::to_string(ntohs(address.sin_port)) + "/slow";
        thread_ = std::thread([this] { Serve(); });
    }
    ~SlowServer() {
        thread_.join();
        close(listener_);
    }
    const std::string& Url() const { return url_; }

  private:
    void Serve() {
        const int connection = accept(listener_, nullptr, nullptr);
        char buffer[4096];
        [[maybe_unused]] const ssize_t got = recv(connection, buffer, sizeof buffer, 0);
        std::this_thread::sleep_for(kAnswerDelay);
        const std::string answer = "HTTP/1.0 200 OK\r\nContent-Length: 4\r\n\r\nlate";
        send(connection, answer.data(), answer.size(), MSG_NOSIGNAL);
        close(connection);
    }

    int listener_ = -1;
    std::string url_;
    std::thread thread_;
};

double ProcessCpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// Voluntary context switches of the calling thread: each is one sleep, so one wake-up.
long WakeUps() {
    std::ifstream status("/proc/thread-self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("voluntary_ctxt_switches:", 0) == 0) return std::stol(line.substr(24));
    }
    return 0;
}

void EnsureApp() {
    static int argc = 1;
    static char name[] = "bench_http_wait";
    static char* argv[] = {name, nullptr};
    if (!QCoreApplication::instance()) new QCoreApplication(argc, argv);
}

void BM_WaitOnSlowServer(benchmark::State& state) {
    EnsureApp();
    for (auto _ : state) {
        SlowServer server;
        SystemClock clock;
        THttpCli client(&THttpCli::PumpWindow, clock, std::chrono::milliseconds(state.range(0)));
        client.URL = server.Url();
        std::string body;
        client.events.OnDocData = [&](const char* data, std::size_t size) {
            body.append(data, size);
        };
        int passes = 0;
        client.events.OnPoll = [&] { ++passes; };

        QElapsedTimer wall;
        QTimer timer;
        timer.setTimerType(Qt::PreciseTimer);
        int ticks = 0;
        qint64 latestMs = 0;
        QObject::connect(&timer, &QTimer::timeout, [&] {
            ++ticks;
            latestMs = std::max(latestMs, wall.elapsed() - ticks * 1000);
        });

        const double cpuBefore = ProcessCpuSeconds();
        const long wakeUpsBefore = WakeUps();
        wall.start();
        timer.start(1000);
        client.Get();
        const double wallSeconds = wall.elapsed() / 1000.0;
        const double cpuSeconds = ProcessCpuSeconds() - cpuBefore;
        const long wakeUps = WakeUps() - wakeUpsBefore;
        timer.stop();

        if (body != "late") state.SkipWithError("the slow answer did not arrive");
        state.counters["cpu_percent_of_core"] = 100.0 * cpuSeconds / wallSeconds;
        state.counters["timer_late_max_ms"] = static_cast<double>(latestMs);
        state.counters["timer_ticks"] = ticks;
        state.counters["passes_per_s"] = passes / wallSeconds;
        state.counters["wakeups_per_s"] = static_cast<double>(wakeUps) / wallSeconds;
    }
}

BENCHMARK(BM_WaitOnSlowServer)
    ->ArgName("poll_period_ms")
    ->Arg(50)
    ->Arg(250)
    ->Arg(THttpCli::kPollPeriod.count())
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace

BENCHMARK_MAIN();
