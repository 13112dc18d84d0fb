// The update operation with the real HTTP client against a real update service on
// 127.0.0.1: what a download must be to be installed, the progress, and a stall measured on
// a clock the client's pump moves, so that the test does not wait a minute.

#include "online/UpdateOperation.h"

#include "LocalHttpServer.h"
#include "UpdateRig.h"
#include "online/THttpCli.h"

#include <gtest/gtest.h>

#include <chrono>
#include <utility>

using httptest::BuildAnswer;
using httptest::LocalHttpServer;
using updatetest::Elf;

namespace {

constexpr std::int64_t kBuild = 300000;

struct Case {
    const char* what;
    BuildAnswer answer;
    bool installable;
    std::pair<std::int64_t, std::int64_t> received;  // least and most body bytes
    int maximum;                                     // of the last progress shown
    const char* path = "";                           // before /cgi-bin/download.pl
    std::int64_t msPerPass = 0;  // the clock moves so much per pass once data has come
};

}  // namespace

TEST(UpdateDownload, OnlyAWholeExecutableIsInstalledAndTheProgressFollowsTheAnnouncedLength) {
    const std::string build = Elf(kBuild);
    const std::string page = "<html>" + std::string(kBuild - 13, ' ') + "</html>";
    const Case cases[] = {
        {"whole", {.body = build}, true, {kBuild, kBuild}, kBuild},
        {"whole, without content-length",
         {.body = build, .getAnnounces = false},
         true,
         {kBuild, kBuild},
         450000},
        {"redirected: the final length counts",
         {.body = build},
         true,
         {kBuild, kBuild},
         kBuild,
         "/moved"},
        {"cut short", {.body = build, .cutAfter = 131072}, false, {131072, 131072}, kBuild},
        {"longer than announced",
         {.body = build + std::string(70000, 'x'), .headLength = kBuild, .getAnnounces = false},
         false,
         {kBuild + 1, kBuild + 70000},
         450000},
        {"an error page of the right size", {.body = page}, false, {kBuild, kBuild}, kBuild},
        {"404 on the GET",
         {.body = "not here", .headLength = kBuild, .getStatus = 404},
         false,
         {8, 8},
         8},
        {"silent for more than 60 seconds",
         {.body = build, .stallAfter = 65536},
         false,
         {65536, 65536},
         kBuild,
         "",
         10000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        LocalHttpServer server;
        server.ServeBuild(c.answer);
        updatetest::UpdateRig rig;
        THttpCli client([&] {
            if (client.RcvdCount() > 0) rig.clock.Advance(c.msPerPass);
        });
        rig.Make(client, server.Url(c.path));
        const auto start = std::chrono::steady_clock::now();
        EXPECT_EQ(rig.Fetch(), c.installable);
        EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(20));
        EXPECT_GE(client.RcvdCount(), c.received.first);
        EXPECT_LE(client.RcvdCount(), c.received.second);
        // Nothing is left of a download that is not installed.
        EXPECT_EQ(rig.Downloaded(), c.installable ? build : "");
        EXPECT_EQ(rig.progress.empty() ? 0 : rig.progress.back().maximum, c.maximum);
        EXPECT_EQ(rig.op->Install().closeProgram, c.installable);
        const auto requests = server.Requests();
        ASSERT_GE(requests.size(), 2u);
        EXPECT_EQ(requests.front().method, "HEAD");
        EXPECT_EQ(
            requests.front().target,
            std::string(c.path) + "/cgi-bin/download.pl?get=tvr_update&cv=" TORVANE_TEST_VERSION);
        EXPECT_EQ(requests.front().Header("User-Agent"), "Quendra group Check update");
        EXPECT_EQ(requests.back().method, "GET");
        EXPECT_EQ(requests.back().target,
                  "/cgi-bin/download.pl?get=tvr_update&cv=" TORVANE_TEST_VERSION);
    }
}

TEST(UpdateDownload, AnAnswerOfNoBytesOrOfTheRunningSizeOffersNothing) {
    for (const std::int64_t length : {std::int64_t{0}, updatetest::kRunningSize}) {
        SCOPED_TRACE(length);
        LocalHttpServer server;
        server.ServeBuild({.body = Elf(kBuild), .headLength = length});
        updatetest::UpdateRig rig;
        THttpCli client([] {});
        rig.Make(client, server.Url(""));
        EXPECT_FALSE(rig.Look());
        EXPECT_EQ(server.Requests().size(), 1u);
    }
}
