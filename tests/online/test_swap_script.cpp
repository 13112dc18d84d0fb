// The swap script: its quoting of paths, and real runs with /bin/sh in a private folder
// whose names hold everything a shell could misread.

#include "online/SwapScript.h"

#include "Eventually.h"
#include "TestFiles.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <sstream>

using namespace updatecheck;
namespace fs = std::filesystem;

namespace {

const char* const kAwkward[] = {
    "plain", "two  words", "it's",        "\"double\"",  "$HOME",       "${x:-y}",
    "`id`",  "$(id)",      "line\nbreak", "back\\slash", "'",           "''",
    "",      "-n",         "*",           "tab\there",   "semi;colon&",
};

// A stand-in executable: records how it was started, then runs for a while.
std::string Dummy(const fs::path& record, const std::string& name, std::size_t padTo = 0) {
    std::string text =
        "#!/bin/sh\nprintf '%s %s\\n' " + name + " \"$*\" >> '" + record.string() + "'\nsleep 3\n";
    if (text.size() < padTo) text += std::string(padTo - text.size() - 1, '#') + "\n";
    return text;
}

void Put(const fs::path& path, const std::string& bytes, fs::perms mode) {
    testfiles::WriteBytes(path, bytes);
    fs::permissions(path, mode);
}

// A program folder named with every awkward character, and an executable named so too.
struct SwapFolder {
    QTemporaryDir base;
    fs::path records = fs::path(base.path().toStdString());
    fs::path folder = records / "dir 'q' \"d\" $HOME `x`\nline";
    fs::path record = records / "started.txt";
    SwapPlan plan;

    SwapFolder() {
        fs::create_directory(folder);
        plan = {.executable = (folder / "tor) vane'$x`\n\"e\"").string(),
                .download = (folder / "tvr_update.exe").string(),
                .backup = (folder / "tvr.bak").string(),
                .script = (folder / "tvr_update.sh").string(),
                .waitForPid = 0,
                .startCheckMs = 300};
    }
    std::string Record() const { return testfiles::ReadBytes(record); }
    bool ScriptGone() const { return !fs::exists(plan.script); }
};

}  // namespace

TEST(SwapScript, AQuotedPathIsOneShellWordThatKeepsEveryByte) {
    for (const char* text : kAwkward) {
        SCOPED_TRACE(text);
        QProcess sh;
        sh.start("/bin/sh", {"-c", QString::fromStdString("printf %s " + QuoteForShell(text))});
        ASSERT_TRUE(sh.waitForFinished(5000));
        EXPECT_EQ(sh.readAllStandardOutput().toStdString(), text);
        EXPECT_EQ(sh.exitCode(), 0);
    }
}

TEST(SwapScript, SwapsTheExecutablesStartsTheNewOneAndRemovesItself) {
    SwapFolder f;
    const auto old = Dummy(f.record, "old");
    const auto download = Dummy(f.record, "new", 10 * 1024 * 1024);
    Put(f.plan.executable, old, fs::perms::owner_all);
    Put(f.plan.download, download, fs::perms::owner_all);

    const auto start = std::chrono::steady_clock::now();
    ScriptSwapInstaller().Install(f.plan);
    ASSERT_EVENTUALLY(!f.Record().empty(), 10000);
    const auto running = std::chrono::steady_clock::now() - start;
    ASSERT_EVENTUALLY(f.ScriptGone(), 10000);

    EXPECT_EQ(f.Record(), "new /new\n");
    EXPECT_EQ(testfiles::ReadBytes(f.plan.executable), download);
    EXPECT_EQ(testfiles::ReadBytes(f.plan.backup), old);
    EXPECT_FALSE(fs::exists(f.plan.download));
    RecordProperty(
        "InstallToNewCopyRunningUs",
        static_cast<int>(std::chrono::duration_cast<std::chrono::microseconds>(running).count()));
}

TEST(SwapScript, WaitsUntilTheOldProcessHasEndedEvenWhenNobodyReapsIt) {
    SwapFolder f;
    Put(f.plan.executable, Dummy(f.record, "old"), fs::perms::owner_all);
    Put(f.plan.download, Dummy(f.record, "new"), fs::perms::owner_all);
    const pid_t old = ::fork();  // stays a zombie once it ends: this test never reaps it
    if (old == 0) {
        ::usleep(400000);
        ::_exit(0);
    }
    f.plan.waitForPid = old;
    const auto start = std::chrono::steady_clock::now();
    ScriptSwapInstaller().Install(f.plan);
    ASSERT_EVENTUALLY(!f.Record().empty(), 5000);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(400));
    EXPECT_EQ(f.Record(), "new /new\n");
    ::waitpid(old, nullptr, 0);
}

TEST(SwapScript, ANewCopyThatCannotStartGivesWayToTheOldOne) {
    struct Case {
        const char* what;
        std::string download;
        fs::perms mode;
    };
    const Case cases[] = {
        {"not executable", "#!/bin/sh\nexec sleep 3\n", fs::perms::owner_read},
        {"ends at once", "#!/bin/sh\nexit 3\n", fs::perms::owner_all},
        {"not a program", std::string(4096, '\x01'), fs::perms::owner_all},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SwapFolder f;
        const auto old = Dummy(f.record, "old");
        Put(f.plan.executable, old, fs::perms::owner_all);
        Put(f.plan.download, c.download, c.mode);

        ScriptSwapInstaller().Install(f.plan);
        ASSERT_EVENTUALLY(f.ScriptGone() && !f.Record().empty(), 10000);

        EXPECT_EQ(f.Record(), "old /new\n");
        EXPECT_EQ(testfiles::ReadBytes(f.plan.executable), old);
        EXPECT_EQ(testfiles::ReadBytes(f.plan.download), c.download);  // deleted by the next try
        EXPECT_FALSE(fs::exists(f.plan.backup));
    }
}

// mv cut off after its work (killed, or failing on the way out) answers failure although the
// file has moved; the swap goes by where the files are.
TEST(SwapScript, AMoveThatReportsFailureAfterMovingStillEndsInAWorkingProgram) {
    SwapFolder f;
    const fs::path tools = f.records / "tools";
    fs::create_directory(tools);
    Put(tools / "mv", "#!/bin/sh\n/bin/mv \"$@\"\nexit 1\n", fs::perms::owner_all);
    const std::string path = std::getenv("PATH");
    ::setenv("PATH", (tools.string() + ":" + path).c_str(), 1);
    const auto download = Dummy(f.record, "new");
    Put(f.plan.executable, Dummy(f.record, "old"), fs::perms::owner_all);
    Put(f.plan.download, download, fs::perms::owner_all);
    ScriptSwapInstaller().Install(f.plan);
    ::setenv("PATH", path.c_str(), 1);
    ASSERT_EVENTUALLY(f.ScriptGone() && !f.Record().empty(), 10000);
    EXPECT_EQ(f.Record(), "new /new\n");
    EXPECT_EQ(testfiles::ReadBytes(f.plan.executable), download);
}

TEST(SwapScript, TheScriptRunsInASessionOfItsOwnWithNoneOfTheProgramsDescriptors) {
    QTemporaryDir dir;
    const std::string record = dir.filePath("seen").toStdString();
    const int leaked = ::open("/dev/null", O_RDONLY);  // as a library might leave one open
    ASSERT_GE(::dup2(leaked, 57), 0);
    StartDetached({"/bin/sh", "-c",
                   "{ [ -e /proc/$$/fd/57 ] && echo inherited; cat /proc/$$/stat; } > '" + record +
                       ".part' && mv '" + record + ".part' '" + record + "'"});
    ::close(57);
    ::close(leaked);
    ASSERT_EVENTUALLY(fs::exists(record), 10000);
    const std::string seen = testfiles::ReadBytes(record);
    EXPECT_EQ(seen.find("inherited"), std::string::npos);
    // After the name in parentheses: state, parent, process group, session.
    std::istringstream fields(seen.substr(seen.rfind(')') + 1));
    std::string state;
    pid_t parent = 0, group = 0, session = 0;
    fields >> state >> parent >> group >> session;
    EXPECT_NE(session, ::getsid(0));
    EXPECT_NE(parent, ::getpid());
}

TEST(SwapScript, AProgramThatCannotBeStartedIsReported) {
    EXPECT_THROW(StartDetached({"/nonexistent/program"}), std::system_error);
    SwapFolder f;
    f.plan.script = (f.folder / "missing folder" / "tvr_update.sh").string();
    EXPECT_THROW(ScriptSwapInstaller().Install(f.plan), std::system_error);
}
