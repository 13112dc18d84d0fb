#pragma once

// Replacing the running executable by a verified download. The program cannot overwrite
// itself while it runs, so it writes a small POSIX sh script, "tvr_update.sh" beside the
// executable, and starts it detached; the script outlives the program and does the swap:
//   1. waits (at most about ten seconds) for the old process to end,
//   2. renames the old executable to "tvr.bak",
//   3. gives the download the executable's name,
//   4. starts it with "/new" and checks that it keeps running for a moment,
//   5. if it cannot start: moves it back to the download's name, puts the old executable
//      back in place and starts that with "/new", so the user always has a working program,
//   6. deletes itself.

#include <sys/types.h>
#include <string>
#include <vector>

namespace updatecheck {

// The files of one swap, all absolute paths.
struct SwapPlan {
    std::string executable;  // the running executable, replaced
    std::string download;    // the verified download that takes its name
    std::string backup;      // where the old executable is kept
    std::string script;      // the script itself
    pid_t waitForPid = 0;    // the process whose end the script awaits first; 0: none
    // How long the new copy must keep running to count as started.
    int startCheckMs = 2000;
};

// `text` as one sh word that stands for exactly these bytes: single quotes around it, each
// single quote inside written as '\''. Blanks, double quotes, "$", backquotes, backslashes
// and newlines then mean nothing to the shell.
std::string QuoteForShell(const std::string& text);

// The script's text for a plan (LF line ends).
std::string SwapScriptText(const SwapPlan& plan);

// Runs argv[0] (an absolute path) with these arguments in a session of its own, so that it
// outlives the program: stdin, stdout and stderr on /dev/null, none of the program's other
// file descriptors (lock file, sockets) inherited, the environment kept. Returns once the
// program has been executed; raises std::system_error when it cannot be.
void StartDetached(const std::vector<std::string>& argv);

// What puts a download in place of the running executable after the program has ended.
class SwapInstaller {
  public:
    virtual ~SwapInstaller() = default;
    // Sets the swap going; raises when it cannot be set going (nothing is changed then).
    virtual void Install(const SwapPlan& plan) = 0;
};

// Writes the script to plan.script and starts it with /bin/sh.
class ScriptSwapInstaller final : public SwapInstaller {
  public:
    void Install(const SwapPlan& plan) override;
};

}  // namespace updatecheck
