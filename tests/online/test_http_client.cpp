// The HTTP client against real servers on the loopback interface: what goes on the wire,
// the order of the events, redirections, failures, and handlers that re-enter the client.

#include "online/THttpCli.h"

#include "FakeClock.h"
#include "FakeHttpClient.h"
#include "LocalHttpServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <ostream>

using httptest::HttpEventLog;
using httptest::LocalHttpServer;
using httptest::RawHeadServer;
using Strings = std::vector<std::string>;

namespace {

constexpr HttpMethod GET = HttpMethod::httpGET;
constexpr HttpMethod HEAD = HttpMethod::httpHEAD;

// The main thread's voluntary context switches so far: each one is a sleep, so a wake-up.
long WakeUps() {
    std::ifstream status("/proc/self/task/" + std::to_string(getpid()) + "/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("voluntary_ctxt_switches:", 0) == 0) return std::stol(line.substr(24));
    }
    return -1;
}

// The children of this process that are still there (running or not yet reaped).
std::vector<pid_t> Children() {
    std::ifstream list("/proc/self/task/" + std::to_string(getpid()) + "/children");
    std::vector<pid_t> children;
    for (pid_t child = 0; list >> child;)
        children.push_back(child);
    return children;
}

std::string Escaped(const std::string& text) {
    return QByteArray::fromStdString(text).toPercentEncoding().toStdString();
}

std::string Replaced(std::string text, const std::string& find, const std::string& with) {
    for (std::size_t at = text.find(find); at != std::string::npos; at = text.find(find, at))
        text.replace(at, find.size(), with), at += with.size();
    return text;
}

class HttpClientTest : public ::testing::Test {
  protected:
    LocalHttpServer server;
    int passes = 0;
    FakeClock clock;
    std::int64_t msPerPass = 0;  // how far the clock moves on each pass of the wait
    THttpCli client{[this] {
                        ++passes;
                        clock.Advance(msPerPass);
                        QCoreApplication::processEvents();
                    },
                    clock};
    HttpEventLog events{client};
};

TEST_F(HttpClientTest, SendsHttp10HeadersWithItsOwnLinesBeforeTheAddedOnes) {
    RawHeadServer raw;
    const std::string host = "Host: 127.0.0.1:" + std::to_string(raw.Port()) + "\r\n";
    const std::string accept = "Accept: " + client.Accept + "\r\n";
    // Escapes, dot segments and a "//" in the query go out exactly as given.
    const std::string target = "/bb.cgi?cmd=ad&loc=http%3A//c.example/&q=%D0%BF+%2b/../x";
    client.Agent = "Mozilla/6.0 (compatible)";
    client.NoCache = true;
    client.Cookie = "b=2; path=/;a=1;";
    events.addLines = {"Referer: http://c.example/", "X-Forged: a\r\nInjected: b"};
    events.Request(GET, raw.Url(target));

    client.Agent = "Quendra group Check update";
    client.NoCache = false;
    client.Cookie.clear();
    events.addLines.clear();
    events.Request(HEAD, raw.Url("/cgi-bin/download.pl?get=tvr_update&cv=" TORVANE_TEST_VERSION));

    EXPECT_EQ(raw.Heads(),
              (Strings{"GET " + target + " HTTP/1.0\r\n" + host +
                           "User-Agent: Mozilla/6.0 (compatible)\r\n" + accept +
                           "Pragma: no-cache\r\nCookie: b=2; path=/;a=1;\r\n"
                           "Referer: http://c.example/\r\n\r\n",
                       "HEAD /cgi-bin/download.pl?get=tvr_update&cv=" TORVANE_TEST_VERSION
                       " HTTP/1.0\r\n" +
                           host + "User-Agent: Quendra group Check update\r\n" + accept + "\r\n"}));
    EXPECT_EQ(events.log, (Strings{"send GET", "begin", "data", "end", "send HEAD"}));
}

TEST_F(HttpClientTest, IgnoresTheProxiesOfTheEnvironment) {
    const std::string proxy = "http://127.0.0.1:" + std::to_string(LocalHttpServer::RefusedPort());
    const Strings names = {"http_proxy", "HTTP_PROXY", "https_proxy", "all_proxy", "ALL_PROXY"};
    for (const std::string& name : names)
        setenv(name.c_str(), proxy.c_str(), 1);
    events.Request(GET, server.Url("/text"));
    for (const std::string& name : names)
        unsetenv(name.c_str());

    EXPECT_EQ(events.log, (Strings{"send GET", "begin", "data", "end"}));
    EXPECT_EQ(events.body, "hello");
}

// In paths and expectations "{base}" stands for the server's address; in paths "{base%}"
// for the same percent-encoded, "{port}" for its port, "{refused}" for a port where nothing
// listens.
struct Scenario {
    const char* name;
    HttpMethod method;
    std::string path;
    Strings log;
    std::int64_t contentLength;
    std::string location{};  // Location() at the end, "" for the address requested
    int minBlocks = 0;
};

// How a scenario appears in the test's output: its name, not its bytes.
void PrintTo(const Scenario& scenario, std::ostream* out) {
    *out << scenario.name;
}

const Scenario kScenarios[] = {
    {"Get", GET, "/text", {"send GET", "begin", "data", "end"}, 5},
    {"Head", HEAD, "/text", {"send HEAD"}, 5},
    {"ManyBlocks", GET, "/big", {"send GET", "begin", "data", "end"}, 100000, "", 2},
    {"NoContentLength", GET, "/noclen", {"send GET", "begin", "data", "end"}, -1},
    {"EmptyBody", GET, "/empty", {"send GET"}, 0},
    {"RedirectWithCookies",
     GET,
     "/redirect?to={base%}%2Ftext%3Fbody%3Dx&cookie=a%3D1%3B%20path%3D%2F&cookie=b%3D2",
     {"send GET", "cookie a=1; path=/", "cookie b=2", "location {base}/text?body=x", "send GET",
      "begin", "data", "end"},
     1,
     "{base}/text?body=x"},
    {"RelativeRedirect",
     GET,
     "/redirect?code=301&to=text%3Fbody%3Drel",
     {"send GET", "location {base}/text?body=rel", "send GET", "begin", "data", "end"},
     3,
     "{base}/text?body=rel"},
    {"DotRedirect",
     GET,
     "/redirect?code=307&to=.%2Fbig%2F..%2Ftext",
     {"send GET", "location {base}/text", "send GET", "begin", "data", "end"},
     5,
     "{base}/text"},
    {"SchemeRelativeRedirect",
     GET,
     "/redirect?code=308&to=%2F%2F127.0.0.1%3A{port}%2Fredirect%3Fcode%3D303%26to%3D%252Ftext",
     {"send GET", "location {base}/redirect?code=303&to=%2Ftext", "send GET",
      "location {base}/text", "send GET", "begin", "data", "end"},
     5,
     "{base}/text"},
    {"HeadStaysHead",
     HEAD,
     "/redirect?to=%2Ftext",
     {"send HEAD", "location {base}/text", "send HEAD"},
     5,
     "{base}/text"},
    {"UnlistedRedirectStatusIsFinal",
     GET,
     "/redirect?code=300&to=%2Ftext",
     {"send GET", "begin", "data", "end"},
     5},
    {"NotFound", GET, "/status/404", {"send GET", "begin", "data", "end", "error 404"}, 10},
    {"ServerError", GET, "/status/500", {"send GET", "begin", "data", "end", "error 500"}, 10},
    {"HeadNotFound", HEAD, "/status/404", {"send HEAD", "error 404"}, 10},
    {"RedirectToFtp", GET, "/redirect?to=ftp%3A%2F%2F127.0.0.1%2Fx", {"send GET", "error 302"}, 5},
    {"CutShort", GET, "/cut", {"send GET", "begin", "data", "socket error", "error 0"}, 1000},
    {"Refused",
     GET,
     "http://127.0.0.1:{refused}/text",
     {"send GET", "socket error", "error 0"},
     -1},
    {"NotHttp", GET, "file:///etc/passwd", {"error 0"}, -1, "-"},
};

class HttpScenarioTest : public HttpClientTest, public ::testing::WithParamInterface<Scenario> {};

TEST_P(HttpScenarioTest, FiresTheEventsInOrder) {
    const Scenario& scenario = GetParam();
    const std::string base = server.Url("");
    const auto fill = [&](const std::string& text) { return Replaced(text, "{base}", base); };
    std::string url = Replaced(scenario.path, "{base%}", Escaped(base));
    url = Replaced(url, "{port}", std::to_string(server.Port()));
    url = Replaced(url, "{refused}", std::to_string(LocalHttpServer::RefusedPort()));
    if (url.front() == '/') url = base + url;

    events.Request(scenario.method, url);

    Strings expected;
    for (const std::string& line : scenario.log)
        expected.push_back(fill(line));
    EXPECT_EQ(events.log, expected);
    EXPECT_FALSE(client.Busy());
    EXPECT_EQ(client.ContentLength(), scenario.contentLength);
    EXPECT_EQ(client.RcvdCount(), static_cast<std::int64_t>(events.body.size()));
    EXPECT_GE(events.blocks, scenario.minBlocks);
    if (scenario.location != "-") {
        EXPECT_EQ(client.Location(), scenario.location.empty() ? url : fill(scenario.location));
    }
    EXPECT_EQ(client.PeerAddress(), url.rfind(base, 0) == 0 ? "127.0.0.1" : "");
}

INSTANTIATE_TEST_SUITE_P(Scenarios, HttpScenarioTest, ::testing::ValuesIn(kScenarios),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(HttpClientTest, EveryRequestOfARedirectionCarriesTheHeadersButCookiesStayHome) {
    LocalHttpServer other;
    client.NoCache = true;
    client.Cookie = "id=7";
    events.addLines = {"Referer: http://c.example/"};
    events.Request(GET, server.Url("/redirect?to=" + Escaped(server.Url("/text"))));
    events.Request(GET, server.Url("/redirect?to=" + Escaped(other.Url("/text"))));

    std::vector<httptest::RecordedRequest> sent = server.Requests();
    const std::vector<httptest::RecordedRequest> elsewhere = other.Requests();
    sent.insert(sent.end(), elsewhere.begin(), elsewhere.end());
    ASSERT_EQ(sent.size(), 4u);
    for (const auto& request : sent) {
        EXPECT_EQ(request.version, "HTTP/1.0");
        EXPECT_EQ(request.Header("Pragma"), "no-cache");
        EXPECT_EQ(request.Header("Referer"), "http://c.example/");
    }
    EXPECT_EQ(sent[0].Header("Cookie"), "id=7");
    EXPECT_EQ(sent[1].Header("Cookie"), "id=7");  // same site
    EXPECT_EQ(sent[2].Header("Cookie"), "id=7");
    EXPECT_FALSE(sent[3].headers.count("Cookie"));  // another port is another site
    EXPECT_EQ(sent[3].target, "/text");
}

TEST_F(HttpClientTest, ARedirectionLoopEndsAfterTwentyHops) {
    client.URL = server.Url("/loop");
    EXPECT_EQ(client.Get().error, std::optional<std::string>("Too many redirections"));
    EXPECT_EQ(server.Requests().size(), 1u + THttpCli::kMaxRedirects);
    EXPECT_FALSE(client.Busy());
}

TEST_F(HttpClientTest, ReachesTheIpv6Loopback) {
    std::optional<LocalHttpServer> six;
    try {
        six.emplace("::1");
    } catch (const std::runtime_error&) {
        GTEST_SKIP() << "no IPv6 loopback here";
    }
    events.Request(GET, six->Url("/text"));
    EXPECT_EQ(events.body, "hello");
    EXPECT_EQ(client.PeerAddress(), "::1");
}

TEST_F(HttpClientTest, RefusesACertificateNoAuthoritySigned) {
    LocalHttpServer tls("127.0.0.1", true);
    events.Request(GET, tls.Url("/text"));
    EXPECT_EQ(events.log, (Strings{"send GET", "socket error", "error 0"}));
    EXPECT_TRUE(tls.Requests().empty());
}

// While a request waits the pump runs and timers fire on time.
TEST_F(HttpClientTest, WaitingKeepsTheWindowAlive) {
    int ticks = 0;
    int polls = 0;
    QTimer timer;
    timer.setTimerType(Qt::PreciseTimer);
    QObject::connect(&timer, &QTimer::timeout, [&] { ++ticks; });
    timer.start(50);
    client.events.OnPoll = [&] { ++polls; };
    events.Request(GET, server.Url("/slow?ms=500"));

    EXPECT_EQ(events.body, "late");
    EXPECT_GE(ticks, 6);
    EXPECT_GE(polls, passes - 1);
    EXPECT_LE(polls, passes);
}

// A server that says nothing for five seconds: the waiting thread sleeps (each wake-up is
// one voluntary context switch) but for the slow tick and the child's start and end.
TEST_F(HttpClientTest, AWaitOnASilentServerWakesAtMostFiveTimesASecond) {
    int polls = 0;
    client.events.OnPoll = [&] { ++polls; };
    const long before = WakeUps();
    events.Request(GET, server.Url("/slow?ms=5000"));
    const long wakeUps = WakeUps() - before;

    EXPECT_EQ(events.body, "late");
    EXPECT_GE(polls, 5);  // OnPoll still runs, for the time limits of the client's users
    EXPECT_LE(wakeUps, 5 * 5);
}

// The child runs with an environment and a configuration of its own: what the user's
// ~/.curlrc or a proxy variable says does not reach the request.
TEST_F(HttpClientTest, TheUsersCurlConfigurationAndProxiesChangeNothing) {
    const std::string refused =
        "http://127.0.0.1:" + std::to_string(LocalHttpServer::RefusedPort());
    const std::string home = ::testing::TempDir() + "curlrc-home";
    std::filesystem::create_directories(home);
    std::ofstream(home + "/.curlrc") << "header = \"X-Curlrc: 1\"\nuser-agent = \"rc\"\n"
                                     << "proxy = \"" << refused << "\"\n";
    const char* oldHome = std::getenv("HOME");
    const std::string keptHome = oldHome ? oldHome : "";
    setenv("HOME", home.c_str(), 1);
    setenv("CURL_HOME", home.c_str(), 1);
    setenv("http_proxy", refused.c_str(), 1);
    client.Agent = "Mozilla/6.0 (compatible)";
    events.Request(GET, server.Url("/text"));
    oldHome ? setenv("HOME", keptHome.c_str(), 1) : unsetenv("HOME");
    unsetenv("CURL_HOME");
    unsetenv("http_proxy");

    EXPECT_EQ(events.body, "hello");
    const auto requests = server.Requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_FALSE(requests[0].headers.count("X-Curlrc"));
    EXPECT_EQ(requests[0].Header("User-Agent"), "Mozilla/6.0 (compatible)");
}

// A child that dies in the middle of a body is a failure of the connection; the program
// neither waits for it nor takes the part for the whole.
TEST_F(HttpClientTest, AChildKilledMidBodyIsASocketError) {
    server.ServeBuild({.body = std::string(300000, 'x'), .stallAfter = 65536});
    client.events.OnDocData = [&, inner = client.events.OnDocData](const char* data,
                                                                   std::size_t length) {
        inner(data, length);
        if (events.blocks != 1) return;
        for (const pid_t child : Children())
            kill(child, SIGKILL);
    };
    events.Request(GET, server.Url("/cgi-bin/download.pl"));

    EXPECT_EQ(events.log, (Strings{"send GET", "begin", "data", "socket error", "error 0"}));
    EXPECT_LT(client.RcvdCount(), 300000);
    EXPECT_FALSE(client.Busy());
    EXPECT_TRUE(Children().empty());  // ended and reaped
}

// A child that writes nothing for longer than the server may stay silent hangs: it is ended,
// and the request fails as a connection does.
TEST_F(HttpClientTest, AChildSilentPastTheStallLimitIsTakenForHung) {
    server.ServeBuild({.body = std::string(300000, 'x'), .stallAfter = 65536});
    client.events.OnDocData = [&, inner = client.events.OnDocData](const char* data,
                                                                   std::size_t length) {
        inner(data, length);
        msPerPass = 60000;  // the server is silent from here on
    };
    events.Request(GET, server.Url("/cgi-bin/download.pl"));
    EXPECT_EQ(events.log, (Strings{"send GET", "begin", "data", "socket error", "error 0"}));
    EXPECT_GT(clock.monotonic.time_since_epoch(), THttpCli::kStallLimit);
    EXPECT_TRUE(Children().empty());
}

TEST_F(HttpClientTest, AbortFromATimerEndsTheWaitingRequestQuietly) {
    QTimer::singleShot(100, [&] {
        EXPECT_TRUE(client.Busy());
        client.Abort();
        client.Abort();  // harmless once ready
    });
    QElapsedTimer clock;
    clock.start();
    events.Request(GET, server.Url("/slow"));
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(events.log, (Strings{"send GET"}));
    EXPECT_FALSE(client.Busy());
    EXPECT_TRUE(Children().empty());  // the abort ended the child

    events.Request(GET, server.Url("/text"));  // ready for the next one
    EXPECT_EQ(events.body, "hello");
}

TEST_F(HttpClientTest, ARequestOnABusyClientFailsAndANestedOneRunsAfterAbort) {
    QTimer::singleShot(100, [&] {
        events.log.push_back(client.Get().error.value_or("no error"));
        client.Abort();
        events.Request(GET, server.Url("/text?body=nested"));
        events.log.push_back("nested done");
    });
    events.Request(GET, server.Url("/slow"));
    events.log.push_back("outer done");

    EXPECT_EQ(events.log, (Strings{"send GET", "HTTP component is busy", "send GET", "begin",
                                   "data", "end", "nested done", "outer done"}));
    EXPECT_EQ(client.Location(), server.Url("/text?body=nested"));
    EXPECT_FALSE(client.Busy());
}

class AbortInHandlerTest : public HttpClientTest, public ::testing::WithParamInterface<int> {};

// Each handler may abort; nothing of that exchange follows, not even its error status.
TEST_P(AbortInHandlerTest, EndsTheExchangeThere) {
    const Strings all = {
        "send GET", "cookie c=1", "location {base}/status/404", "send GET", "begin", "data", "end"};
    const std::size_t at = static_cast<std::size_t>(GetParam());
    const std::string base = server.Url("");
    auto abortAfter = [this, at](auto& handler) {
        handler = [this, at, inner = handler](auto&&... args) {
            inner(args...);
            if (events.log.size() == at + 1) client.Abort();
        };
    };
    HttpEvents& e = client.events;
    abortAfter(e.OnBeforeHeaderSend);
    abortAfter(e.OnCookie);
    abortAfter(e.OnLocationChange);
    abortAfter(e.OnDocBegin);
    abortAfter(e.OnDocData);
    abortAfter(e.OnDocEnd);

    events.Request(GET, server.Url("/redirect?to=%2Fstatus%2F404&cookie=c%3D1"));

    Strings expected;
    for (std::size_t i = 0; i <= at; ++i)
        expected.push_back(Replaced(all[i], "{base}", base));
    EXPECT_EQ(events.log, expected);
    EXPECT_FALSE(client.Busy());
}

INSTANTIATE_TEST_SUITE_P(EachEvent, AbortInHandlerTest, ::testing::Range(0, 7));

TEST_F(HttpClientTest, AHandlerMayAbortAndStartAnotherRequestAtOnce) {
    client.events.OnDocData = [&, inner = client.events.OnDocData](const char* data,
                                                                   std::size_t length) {
        inner(data, length);
        if (events.blocks != 1) return;
        client.Abort();
        events.Request(GET, server.Url("/text"));
    };
    events.Request(GET, server.Url("/big"));

    EXPECT_EQ(events.log,
              (Strings{"send GET", "begin", "data", "send GET", "begin", "data", "end"}));
    EXPECT_EQ(events.blocks, 2);
    EXPECT_EQ(events.body.substr(events.body.size() - 5), "hello");
    EXPECT_EQ(client.ContentLength(), 5);
    EXPECT_FALSE(client.Busy());
}

// The fake that other code's tests use plays the same exchange in the same order.
TEST_F(HttpClientTest, TheFakeClientMatchesTheRealOne) {
    const std::string target = server.Url("/text?body=x");
    events.Request(GET, server.Url("/redirect?to=" + Escaped(target) + "&cookie=a&cookie=b"));

    httpfake::FakeHttpClient fake;
    fake.exchanges.push_back(
        {{.cookies = {"a", "b"}, .location = target}, {.contentLength = 1, .blocks = {"x"}}});
    HttpEventLog fakeEvents(fake);
    fakeEvents.Request(GET, server.Url("/redirect"));

    EXPECT_EQ(fakeEvents.log, events.log);
    EXPECT_EQ(fake.RcvdCount(), client.RcvdCount());
    EXPECT_EQ(fake.Location(), client.Location());
    ASSERT_EQ(fake.sent.size(), 2u);
    EXPECT_EQ(fake.sent[1].url, target);
}

TEST(FakeHttpClient, AStalledExchangeWaitsForItsAbort) {
    httpfake::FakeHttpClient fake;
    fake.exchanges.push_back({{.status = 404, .blocks = {"ab"}, .stalls = true}});
    fake.exchanges.push_back({{.connectionFails = true}});
    HttpEventLog events(fake);
    int passes = 0;
    fake.pump = [&] {
        if (++passes == 5) fake.Abort();
    };
    events.Request(GET, "http://example.com/");
    events.Request(GET, "http://example.com/");
    EXPECT_EQ(events.log,
              (Strings{"send GET", "begin", "data", "send GET", "socket error", "error 0"}));
    EXPECT_FALSE(fake.Busy());
}

}  // namespace
