// The update operation against a scripted client: the decision, the download and what a
// download must be before it replaces the program.

#include "online/UpdateOperation.h"

#include "ElfBytes.h"
#include "FakeClock.h"
#include "FakeHttpClient.h"
#include "RecordingSwap.h"
#include "TestFiles.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <elf.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <optional>

using namespace updatecheck;
using httpfake::Response;
using testfiles::Elf;
namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kBuild = 200000;
constexpr std::int64_t kRunningSize = 150000;  // the running executable of the rig
constexpr char kService[] = "https://update.example.com";
constexpr char kRemote[] = "93.184.216.34";

std::vector<std::string> Blocks(const std::string& body, std::size_t size = 65536) {
    std::vector<std::string> blocks;
    for (std::size_t at = 0; at < body.size(); at += size)
        blocks.push_back(body.substr(at, size));
    return blocks;
}

Response Answer(const std::string& body, std::int64_t length, const char* peer = kRemote) {
    return {.contentLength = length, .blocks = Blocks(body), .peer = peer};
}

// The operation in a private program folder, with a scripted client, a clock the test
// moves and a swap that only records.
struct Rig {
    QTemporaryDir dir;
    std::string folder = dir.path().toStdString() + "/";
    std::string exe = folder + "torvane";
    FakeClock clock;
    RecordingSwap swap;
    httpfake::FakeHttpClient http;
    int waits = 0;  // one-second pauses after a GET that returned without an end
    std::vector<UpdateProgress> progress;
    std::optional<UpdateOperation> op;

    explicit Rig(const std::string& service = kService) {
        testfiles::WriteBytes(exe, Elf(kRunningSize));
        ::chmod(exe.c_str(), 0750);
        op.emplace(http, clock, UpdateSite{service, TORVANE_TEST_VERSION, folder, exe}, swap,
                   [this](std::uint32_t ms) {
                       ++waits;
                       clock.Advance(ms);
                   });
    }
    bool Look() {
        EXPECT_TRUE(op->Begin().started);
        return op->Look().found;
    }
    // The HEAD's answer, then the GET's hops: whether the download may be installed.
    bool Fetch(std::vector<Response> get, std::int64_t offered = kBuild) {
        http.exchanges.push_back({{.contentLength = offered, .peer = get.back().peer}});
        http.exchanges.push_back(std::move(get));
        if (!Look()) return false;
        return op->Fetch([this](UpdateProgress p) { progress.push_back(p); }).installable;
    }
    std::string Downloaded() const { return testfiles::ReadBytes(op->DownloadPath()); }
};

// What the operation shows, written down in order.
struct RecordingView final : UpdateView {
    std::vector<std::string> shown;
    void ShowStatus(const QString& text) override { shown.push_back(text.toStdString()); }
    void ShowWindow() override { shown.push_back("window"); }
    void StartProgress() override { shown.push_back("bar"); }
    void ShowProgress(UpdateProgress p) override {
        shown.push_back(std::to_string(p.position) + "/" + std::to_string(p.maximum));
    }
    void HideProgress() override { shown.push_back("no bar"); }
    void EndProgram() override { shown.push_back("end"); }
};

}  // namespace

TEST(UpdateOperation, RunShowsEachStepAndClearsTheViewWhateverItReached) {
    const std::string build = Elf(kBuild);
    const std::vector<std::string> looking = {"Поиск новой версии программы."};
    const std::vector<std::string> loading = {
        "window", "Идет заказчка новой версии программы размером 200000 байт.", "bar"};
    const auto join = [](std::initializer_list<std::vector<std::string>> parts) {
        std::vector<std::string> all;
        for (const auto& part : parts)
            all.insert(all.end(), part.begin(), part.end());
        return all;
    };
    const std::vector<std::string> progress = {"65536/200000", "131072/200000", "196608/200000",
                                               "200000/200000"};
    const std::vector<std::string> cleared = {"no bar", ""};
    struct Case {
        const char* what;
        std::vector<std::vector<Response>> exchanges;
        bool swapFails;
        UpdateOutcome outcome;
        std::vector<std::string> shown;
    };
    const Case cases[] = {
        {"nothing new",
         {{{.contentLength = 100000}}},
         false,
         UpdateOutcome::NothingNew,
         join({looking, cleared})},
        {"cut short",
         {{{.contentLength = kBuild}}, {Answer(build.substr(0, 65536), kBuild)}},
         false,
         UpdateOutcome::Dropped,
         join({looking, loading, {"65536/200000", "no bar"}, cleared})},
        {"refused by the swap",
         {{{.contentLength = kBuild}}, {Answer(build, kBuild)}},
         true,
         UpdateOutcome::Dropped,
         join({looking, loading, progress, {"no bar", "Установка"}, cleared})},
        {"installed",
         {{{.contentLength = kBuild}}, {Answer(build, kBuild)}},
         false,
         UpdateOutcome::Installed,
         join({looking, loading, progress, {"no bar", "Установка", "end"}, cleared})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        rig.swap.fail = c.swapFails;
        for (const auto& exchange : c.exchanges)
            rig.http.exchanges.push_back(exchange);
        RecordingView view;
        EXPECT_EQ(rig.op->Run(view), c.outcome);
        EXPECT_EQ(view.shown, c.shown);
        EXPECT_FALSE(rig.op->UnderWay());
    }
    // One operation at a time: a run while another waits shows nothing.
    Rig rig;
    rig.op->Begin();
    RecordingView view;
    EXPECT_EQ(rig.op->Run(view), UpdateOutcome::Busy);
    EXPECT_TRUE(view.shown.empty());
}

TEST(UpdateOperation, BeginClearsAnEarlierTryAndOneOperationRunsAtATime) {
    Rig rig;
    const std::vector<std::string> files = {rig.op->DownloadPath(), rig.op->ScriptPath(),
                                            rig.op->BackupPath()};
    for (const std::string& path : files)
        testfiles::WriteBytes(path, "left over");
    const auto begun = rig.op->Begin();
    EXPECT_TRUE(begun.started);
    EXPECT_EQ(begun.statusText, QString::fromUtf8("Поиск новой версии программы."));
    for (const std::string& path : files)
        EXPECT_FALSE(fs::exists(path)) << path;
    testfiles::WriteBytes(rig.op->DownloadPath(), "being downloaded");
    EXPECT_FALSE(rig.op->Begin().started);  // e.g. "Update programm" while one is waiting
    EXPECT_TRUE(fs::exists(rig.op->DownloadPath()));
    rig.op->End();
    EXPECT_TRUE(rig.op->Begin().started);
    rig.op->Cancel();  // the program ends
    rig.op->End();
    EXPECT_FALSE(rig.op->Begin().started);
}

TEST(UpdateOperation, ANewBuildIsLargerThan100000BytesDiffersInSizeAndComesFromATrustedSource) {
    struct Case {
        const char* what;
        const char* service;
        Response head;
        bool found;
    };
    const Case cases[] = {
        {"no content-length", kService, {.peer = kRemote}, false},
        {"100000 bytes", kService, {.contentLength = 100000, .peer = kRemote}, false},
        {"100001 bytes", kService, {.contentLength = 100001, .peer = kRemote}, true},
        {"the running executable's size",
         kService,
         {.contentLength = kRunningSize, .peer = kRemote},
         false},
        {"an error status", kService, {.status = 404, .contentLength = kBuild}, false},
        {"a failed connection", kService, {.connectionFails = true}, false},
        {"plain http from a remote host",
         "http://u.example.com",
         {.contentLength = kBuild, .peer = kRemote},
         false},
        {"plain http from 127.0.0.1", "http://127.0.0.1:8080", {.contentLength = kBuild}, true},
        {"plain http from 127.8.9.10",
         "http://localhost",
         {.contentLength = kBuild, .peer = "127.8.9.10"},
         true},
        {"plain http from ::1", "http://[::1]", {.contentLength = kBuild, .peer = "::1"}, true},
        {"plain http from ::ffff:127.0.0.1",
         "http://x",
         {.contentLength = kBuild, .peer = "::ffff:127.0.0.1"},
         true},
        {"plain http from 128.0.0.1",
         "http://128.0.0.1",
         {.contentLength = kBuild, .peer = "128.0.0.1"},
         false},
        {"plain http from ::2", "http://[::2]", {.contentLength = kBuild, .peer = "::2"}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig(c.service);
        rig.http.exchanges.push_back({c.head});
        EXPECT_EQ(rig.Look(), c.found);
        ASSERT_EQ(rig.http.sent.size(), 1u);
        EXPECT_EQ(rig.http.sent[0].method, HttpMethod::httpHEAD);
        EXPECT_EQ(rig.http.sent[0].url,
                  std::string(c.service) +
                      "/cgi-bin/download.pl?get=tvr_update&cv=" TORVANE_TEST_VERSION);
        EXPECT_TRUE(rig.http.sent[0].noCache);
        EXPECT_EQ(rig.http.Agent, "Quendra group Check update");
    }
    Rig rig;
    rig.http.exchanges.push_back({{.contentLength = 100001}});
    rig.op->Begin();
    EXPECT_EQ(rig.op->Look().statusText,
              QString::fromUtf8("Идет заказчка новой версии программы размером 100001 байт."));
}

TEST(UpdateOperation, OnlyAWholeExecutableForThisMachineFromATrustedSourceIsInstalled) {
    const std::string build = Elf(kBuild);
    struct Case {
        const char* what;
        std::vector<Response> get;
        bool installable;
    };
    Response failed = Answer(build, kBuild);
    failed.status = 500;
    const Case cases[] = {
        {"whole, announced", {Answer(build, kBuild)}, true},
        {"whole, the HEAD's length", {Answer(build, -1)}, true},
        {"from a loopback mirror", {Answer(build, kBuild, "127.0.0.1")}, true},
        {"cut short", {Answer(build.substr(0, 150000), kBuild)}, false},
        {"more than announced", {Answer(build + "tail", kBuild)}, false},
        {"other than the HEAD announced", {Answer(build + "tail", -1)}, false},
        {"an error status", {failed}, false},
        {"redirected to plain http",
         {{.location = "http://mirror.example.net/tvr", .peer = kRemote}, Answer(build, kBuild)},
         false},
        {"an error page of the right size", {Answer(std::string(kBuild, '<'), kBuild)}, false},
        {"another machine's executable", {Answer(Elf(kBuild, EM_ARM), kBuild)}, false},
        {"an object file", {Answer(Elf(kBuild, -1, ET_REL), kBuild)}, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        EXPECT_EQ(rig.Fetch(c.get), c.installable);
        EXPECT_EQ(rig.op->Install().closeProgram, c.installable);
        EXPECT_EQ(rig.swap.plans.size(), c.installable ? 1u : 0u);
        if (c.installable) {
            EXPECT_EQ(rig.Downloaded(), build);
        }
    }
}

TEST(UpdateOperation, ABlockIsAppendedToTheFileAndShownAsProgress) {
    const std::string build = Elf(kBuild);
    Rig rig;
    ASSERT_TRUE(rig.Fetch({Answer(build, kBuild)}));
    EXPECT_EQ(rig.Downloaded(), build);
    ASSERT_EQ(rig.progress.size(), 4u);
    EXPECT_EQ(rig.progress[0].maximum, kBuild);
    EXPECT_EQ(rig.progress[0].position, 65536);
    EXPECT_EQ(rig.progress[3].position, kBuild);

    Rig unknown;
    ASSERT_TRUE(unknown.Fetch({Answer(build, -1)}));
    EXPECT_EQ(unknown.progress.back().maximum, 450000);
    EXPECT_EQ(unknown.progress.back().position, kBuild);
}

// The client's pump moves the clock as the window's loop would let time pass.
TEST(UpdateOperation, ADownloadSilentForMoreThanSixtySecondsIsAbandoned) {
    const std::string build = Elf(kBuild);
    struct Case {
        const char* what;
        Response get;
        std::int64_t msPerPass;
        bool installable;
        std::size_t kept;  // bytes in the download file: none unless installable
        int waits;
    };
    Response silent = Answer(build, kBuild);
    silent.blocks.resize(2);
    silent.stalls = true;
    const Case cases[] = {
        {"a block every 60 seconds", Answer(build, kBuild), 30000, true, build.size(), 0},
        {"61 seconds before the first block", Answer(build, kBuild), 30500, false, 0, 0},
        {"silent after two blocks", silent, 10000, false, 0, 0},
        {"returned without an end", {.contentLength = kBuild, .peer = kRemote}, 0, false, 0, 61},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        rig.http.pump = [&rig, &c] { rig.clock.Advance(c.msPerPass); };
        EXPECT_EQ(rig.Fetch({c.get}), c.installable);
        EXPECT_EQ(rig.Downloaded().size(), c.kept);
        EXPECT_EQ(rig.waits, c.waits);
        EXPECT_FALSE(rig.http.Busy());
    }
}

TEST(UpdateOperation, InstallHandsTheSwapTheFilesWithTheExecutablesPermissions) {
    Rig rig;
    ASSERT_TRUE(rig.Fetch({Answer(Elf(kBuild), kBuild)}));
    ASSERT_TRUE(rig.op->Install().closeProgram);
    ASSERT_EQ(rig.swap.plans.size(), 1u);
    const SwapPlan& plan = rig.swap.plans[0];
    EXPECT_EQ(plan.executable, rig.exe);
    EXPECT_EQ(plan.download, rig.folder + "tvr_update.exe");
    EXPECT_EQ(plan.backup, rig.folder + "tvr.bak");
    EXPECT_EQ(plan.script, rig.folder + "tvr_update.sh");
    EXPECT_EQ(plan.waitForPid, ::getpid());
    EXPECT_EQ(fs::status(plan.download).permissions(), fs::perms(0750));
    rig.op->End();
    EXPECT_FALSE(rig.op->Begin().started);  // the program is ending

    Rig refused;
    refused.swap.fail = true;
    ASSERT_TRUE(refused.Fetch({Answer(Elf(kBuild), kBuild)}));
    EXPECT_FALSE(refused.op->Install().closeProgram);
    refused.op->End();
    EXPECT_TRUE(refused.op->Begin().started);
}

TEST(UpdateOperation, ACancelledDownloadEndsAtOnceAndIsNotInstalled) {
    Rig rig;
    Response stalled = Answer(Elf(kBuild), kBuild);
    stalled.blocks.resize(1);
    stalled.stalls = true;
    rig.http.pump = [&rig] {
        if (rig.http.RcvdCount() > 0) rig.op->Cancel();  // "Exit" while the download waits
    };
    EXPECT_FALSE(rig.Fetch({stalled}));
    EXPECT_EQ(rig.waits, 0);
    EXPECT_FALSE(rig.op->Install().closeProgram);
    EXPECT_TRUE(rig.swap.plans.empty());
}
