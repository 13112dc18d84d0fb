// The update operation against a scripted client: the decision, the download and what a
// download must be before it replaces the program.

#include "online/UpdateOperation.h"

#include "TestFiles.h"
#include "UpdateFakes.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <elf.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

using namespace updatecheck;
using namespace updatetest;
namespace fs = std::filesystem;

namespace {

constexpr std::int64_t kBuild = 200000;
constexpr std::int64_t kRunningSize = 150000;

// An "executable" of `size` bytes with this test program's own ELF header.
std::string Elf(std::int64_t size, int machine = -1, int type = -1) {
    std::string bytes(64, '\0');
    std::ifstream("/proc/self/exe", std::ios::binary).read(bytes.data(), 64);
    if (machine >= 0) bytes[18] = static_cast<char>(machine);  // little-endian on this machine
    if (type >= 0) bytes[16] = static_cast<char>(type);
    bytes.resize(static_cast<std::size_t>(size), 'x');
    return bytes;
}

std::vector<std::string> Blocks(const std::string& body, std::size_t size = 65536) {
    std::vector<std::string> blocks;
    for (std::size_t at = 0; at < body.size(); at += size)
        blocks.push_back(body.substr(at, size));
    return blocks;
}

Answer Head(std::int64_t length, std::string peer = "93.184.216.34",
            std::string location = "https://update.example.com/x") {
    Answer head;
    head.contentLength = length;
    head.location = std::move(location);
    head.peer = std::move(peer);
    return head;
}

Answer Get(const std::string& body, std::int64_t length) {
    Answer get;
    get.contentLength = length;
    get.blocks = Blocks(body);
    return get;
}

struct Rig {
    QTemporaryDir dir;
    std::string folder = dir.path().toStdString() + "/";
    std::string exe = folder + "torvane";
    FakeClock clock;
    ScriptedHttp http{clock};
    RecordingSwap swap;
    int waits = 0;
    UpdateOperation op{http, clock,
                       UpdateSite{"https://update.example.com", "1.0.2.200", folder, exe}, swap,
                       [this](std::uint32_t ms) {
                           ++waits;
                           clock.Advance(static_cast<int>(ms / 1000));
                       }};
    std::vector<UpdateOperation::Progress> progress;

    Rig() {
        testfiles::WriteBytes(exe, Elf(kRunningSize));
        ::chmod(exe.c_str(), 0750);
    }

    bool Look(const Answer& head) {
        http.heads.push_back(head);
        EXPECT_TRUE(op.Begin().started);
        return op.Look().found;
    }
    bool Fetch(const Answer& get, std::int64_t offered = kBuild) {
        if (!Look(Head(offered))) return false;
        http.gets.push_back(get);
        return op.Fetch([this](UpdateOperation::Progress p) { progress.push_back(p); }).installable;
    }
    std::string Downloaded() const { return testfiles::ReadBytes(op.DownloadPath()); }
};

}  // namespace

TEST(UpdateOperation, BeginClearsAnEarlierTryAndOneOperationRunsAtATime) {
    Rig rig;
    for (const std::string& path :
         {rig.op.DownloadPath(), rig.op.ScriptPath(), rig.op.BackupPath()})
        testfiles::WriteBytes(path, "left over");
    const auto begun = rig.op.Begin();
    EXPECT_TRUE(begun.started);
    EXPECT_EQ(begun.statusText, QString::fromUtf8("Поиск новой версии программы."));
    for (const std::string& path :
         {rig.op.DownloadPath(), rig.op.ScriptPath(), rig.op.BackupPath()})
        EXPECT_FALSE(fs::exists(path)) << path;
    testfiles::WriteBytes(rig.op.DownloadPath(), "being downloaded");
    EXPECT_FALSE(rig.op.Begin().started);  // e.g. "Update programm" while one is waiting
    EXPECT_TRUE(fs::exists(rig.op.DownloadPath()));
    rig.op.End();
    EXPECT_TRUE(rig.op.Begin().started);
}

TEST(UpdateOperation, ANewBuildIsLargerThan100000BytesDiffersInSizeAndComesFromATrustedSource) {
    struct Case {
        const char* what;
        Answer head;
        bool found;
    };
    Answer refused = Head(kBuild);
    refused.status = 404;
    const Case cases[] = {
        {"no content-length", Head(-1), false},
        {"100000 bytes", Head(100000), false},
        {"100001 bytes", Head(100001), true},
        {"the running executable's size", Head(kRunningSize), false},
        {"an error status", refused, false},
        {"plain http from a remote host", Head(kBuild, "93.184.216.34", "http://u.example.com/"),
         false},
        {"plain http from 127.0.0.1", Head(kBuild, "127.0.0.1", "http://127.0.0.1:8080/"), true},
        {"plain http from 127.8.9.10", Head(kBuild, "127.8.9.10", "http://localhost/"), true},
        {"plain http from ::1", Head(kBuild, "::1", "http://[::1]/"), true},
        {"plain http from ::ffff:127.0.0.1", Head(kBuild, "::ffff:127.0.0.1", "http://x/"), true},
        {"plain http from 128.0.0.1", Head(kBuild, "128.0.0.1", "http://128.0.0.1/"), false},
        {"plain http from ::2", Head(kBuild, "::2", "http://[::2]/"), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        EXPECT_EQ(rig.Look(c.head), c.found);
        EXPECT_EQ(rig.http.requested,
                  std::vector<std::string>{"HEAD https://update.example.com/cgi-bin/"
                                           "download.pl?get=tvr_update&cv=1.0.2.200"});
        EXPECT_EQ(rig.http.Agent, "Quendra group Check update");
        EXPECT_TRUE(rig.http.NoCache);
    }
    Rig rig;
    rig.http.heads.push_back(Head(100001));
    rig.op.Begin();
    EXPECT_EQ(rig.op.Look().statusText,
              QString::fromUtf8("Идет заказчка новой версии программы размером 100001 байт."));
}

TEST(UpdateOperation, OnlyAWholeExecutableForThisMachineIsInstalled) {
    const std::string build = Elf(kBuild);
    struct Case {
        const char* what;
        Answer get;
        bool installable;
    };
    Answer redirected = Get(build, kBuild);
    redirected.location = "http://mirror.example.net/tvr";
    Answer local = Get(build, kBuild);
    local.location = "http://127.0.0.1:8080/tvr";
    local.peer = "127.0.0.1";
    Answer cut = Get(build, kBuild);
    cut.ends = false;
    Answer failed = Get(build, kBuild);
    failed.status = 500;
    const Case cases[] = {
        {"whole, announced", Get(build, kBuild), true},
        {"whole, the HEAD's length", Get(build, -1), true},
        {"from a loopback mirror", local, true},
        {"cut short", Get(build.substr(0, 150000), kBuild), false},
        {"more than announced", Get(build + "tail", kBuild), false},
        {"other than the HEAD announced", Get(build + "tail", -1), false},
        {"connection cut without an end", cut, false},
        {"an error status", failed, false},
        {"redirected to plain http", redirected, false},
        {"an error page of the right size", Get(std::string(kBuild, '<'), kBuild), false},
        {"another machine's executable", Get(Elf(kBuild, EM_ARM), kBuild), false},
        {"an object file", Get(Elf(kBuild, -1, ET_REL), kBuild), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        EXPECT_EQ(rig.Fetch(c.get), c.installable);
        EXPECT_EQ(rig.op.Install().closeProgram, c.installable);
        EXPECT_EQ(rig.swap.plans.size(), c.installable ? 1u : 0u);
        if (c.installable) {
            EXPECT_EQ(rig.Downloaded(), build);
        }
    }
}

TEST(UpdateOperation, ABlockIsAppendedToTheFileAndShownAsProgress) {
    Rig rig;
    const std::string build = Elf(kBuild);
    ASSERT_TRUE(rig.Fetch(Get(build, kBuild)));
    EXPECT_EQ(rig.Downloaded(), build);
    ASSERT_EQ(rig.progress.size(), 4u);
    EXPECT_EQ(rig.progress[0].maximum, kBuild);
    EXPECT_EQ(rig.progress[0].position, 65536);
    EXPECT_EQ(rig.progress[3].position, kBuild);

    Rig unknown;
    ASSERT_TRUE(unknown.Fetch(Get(build, -1)));
    EXPECT_EQ(unknown.progress.back().maximum, 450000);
    EXPECT_EQ(unknown.progress.back().position, kBuild);
}

TEST(UpdateOperation, ADownloadSilentForMoreThanSixtySecondsIsAbandoned) {
    const std::string build = Elf(kBuild);
    struct Case {
        const char* what;
        Answer get;
        bool installable;
        int polls, waits;  // how long the operation went on
    };
    Answer gaps60 = Get(build, kBuild), gaps61 = gaps60, silent = gaps60, noEnd = gaps60;
    gaps60.gapSeconds = 60;
    gaps61.gapSeconds = 61;
    silent.blocks.resize(2);
    silent.silentPolls = 10;
    noEnd.ends = false;
    const Case cases[] = {
        {"a block every 60 seconds", gaps60, true, 4, 0},
        {"61 seconds before the first block", gaps61, false, 1, 0},
        {"silent after two blocks", silent, false, 2 + 7, 0},
        {"returned without an end", noEnd, false, 4, 61},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Rig rig;
        EXPECT_EQ(rig.Fetch(c.get), c.installable);
        EXPECT_EQ(rig.http.polls, c.polls);
        EXPECT_EQ(rig.waits, c.waits);
        EXPECT_EQ(rig.http.aborts, c.installable ? 0 : 1);
    }
}

TEST(UpdateOperation, InstallHandsTheSwapTheFilesWithTheExecutablesPermissions) {
    Rig rig;
    ASSERT_TRUE(rig.Fetch(Get(Elf(kBuild), kBuild)));
    ASSERT_TRUE(rig.op.Install().closeProgram);
    ASSERT_EQ(rig.swap.plans.size(), 1u);
    const SwapPlan& plan = rig.swap.plans[0];
    EXPECT_EQ(plan.executable, rig.exe);
    EXPECT_EQ(plan.download, rig.folder + "tvr_update.exe");
    EXPECT_EQ(plan.backup, rig.folder + "tvr.bak");
    EXPECT_EQ(plan.script, rig.folder + "tvr_update.sh");
    EXPECT_EQ(plan.waitForPid, ::getpid());
    EXPECT_EQ(fs::status(plan.download).permissions(), fs::perms(0750));
    rig.op.End();
    EXPECT_FALSE(rig.op.Begin().started);  // the program is ending

    Rig refused;
    refused.swap.fail = true;
    ASSERT_TRUE(refused.Fetch(Get(Elf(kBuild), kBuild)));
    EXPECT_FALSE(refused.op.Install().closeProgram);
    refused.op.End();
    EXPECT_TRUE(refused.op.Begin().started);
}
