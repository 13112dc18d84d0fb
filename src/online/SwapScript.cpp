#include "online/SwapScript.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <system_error>

namespace updatecheck {

namespace {

[[noreturn]] void RaiseErrno(const char* what) {
    throw std::system_error(errno, std::generic_category(), what);
}

[[noreturn]] void ReportAndExit(int errorPipe) {
    const int error = errno;
    [[maybe_unused]] const ssize_t n = ::write(errorPipe, &error, sizeof error);
    ::_exit(127);
}

// Only async-signal-safe calls from here on: the program may have other threads.
[[noreturn]] void ExecInNewSession(char* const* argv, int devNull, int errorPipe, int maxFd) {
    if (::setsid() < 0) ReportAndExit(errorPipe);
    const pid_t grandchild = ::fork();
    if (grandchild < 0) ReportAndExit(errorPipe);
    if (grandchild > 0) ::_exit(0);  // the middle child ends at once; init adopts the rest
    ::dup2(devNull, STDIN_FILENO);
    ::dup2(devNull, STDOUT_FILENO);
    ::dup2(devNull, STDERR_FILENO);
    // Every other descriptor closes at exec, the error pipe too (it already does), so
    // its reader sees the end of the pipe once the program runs.
    if (::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC) != 0) {
        for (int fd = 3; fd < maxFd; ++fd)
            ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    }
    sigset_t none;
    ::sigemptyset(&none);
    ::sigprocmask(SIG_SETMASK, &none, nullptr);
    struct sigaction dfl {};
    dfl.sa_handler = SIG_DFL;
    ::sigaction(SIGPIPE, &dfl, nullptr);
    ::sigaction(SIGCHLD, &dfl, nullptr);
    ::execv(argv[0], argv);
    ReportAndExit(errorPipe);
}

}  // namespace

std::string QuoteForShell(const std::string& text) {
    std::string quoted = "'";
    for (const char c : text) {
        if (c == '\'')
            quoted += "'\\''";
        else
            quoted += c;
    }
    return quoted + "'";
}

std::string SwapScriptText(const SwapPlan& plan) {
    char moment[32];
    std::snprintf(moment, sizeof moment, "%d.%03d", plan.startCheckMs / 1000,
                  plan.startCheckMs % 1000);
    std::string text =
        "#!/bin/sh\n"
        "# Puts a downloaded update in place of the program once the old copy has ended.\n";
    const auto assign = [&text](const char* name, const std::string& value) {
        text += name;
        text += '=';
        text += value;
        text += '\n';
    };
    assign("exe", QuoteForShell(plan.executable));
    assign("new", QuoteForShell(plan.download));
    assign("bak", QuoteForShell(plan.backup));
    assign("self", QuoteForShell(plan.script));
    assign("pid", std::to_string(plan.waitForPid));
    assign("moment", moment);
    // Each move is judged by where the files are afterwards, not by what mv answers: a move
    // whose mv was cut off may have been made all the same.
    // A process that has ended is gone, or a zombie (state Z or X) until it is reaped;
    // without /proc, kill -0 is the best guess. The name in the stat line may hold
    // anything, newlines too, so the state is read after its last ") ".
    text += R"(pause() { sleep "$1" 2>/dev/null || sleep 1; }
running() {
    [ -r /proc/$$/stat ] || { kill -0 "$1" 2>/dev/null; return; }
    stat=$(cat "/proc/$1/stat" 2>/dev/null) || return 1
    state=${stat##*") "}
    case ${state%% *} in Z|X|'') return 1 ;; esac
}
n=0
while [ "$pid" -gt 0 ] && [ "$n" -lt 100 ] && running "$pid"; do
    pause 0.1
    n=$((n + 1))
done
start() { "$1" /new </dev/null >/dev/null 2>&1 & }
started() { start "$1"; child=$!; pause "$moment"; running "$child"; }
mv -f -- "$exe" "$bak"
if [ -e "$exe" ] || [ ! -e "$bak" ]; then
    start "$exe"
else
    mv -f -- "$new" "$exe"
    if [ -e "$exe" ] && [ ! -e "$new" ] && started "$exe"; then
        :
    else
        [ -e "$exe" ] && mv -f -- "$exe" "$new"
        mv -f -- "$bak" "$exe"
        start "$exe"
    fi
fi
rm -f -- "$self"
)";
    return text;
}

void StartDetached(const std::vector<std::string>& argv) {
    // Everything the child needs is made before the fork.
    std::vector<char*> args;
    for (const std::string& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    rlimit files{};
    const int maxFd = ::getrlimit(RLIMIT_NOFILE, &files) == 0 && files.rlim_cur < 65536
                          ? static_cast<int>(files.rlim_cur)
                          : 65536;
    const int devNull = ::open("/dev/null", O_RDWR | O_CLOEXEC);
    if (devNull < 0) RaiseErrno("open /dev/null");
    int pipeFds[2];
    if (::pipe2(pipeFds, O_CLOEXEC) != 0) {
        ::close(devNull);
        RaiseErrno("pipe");
    }
    const pid_t child = ::fork();
    if (child == 0) ExecInNewSession(args.data(), devNull, pipeFds[1], maxFd);
    const int forkError = errno;
    ::close(pipeFds[1]);
    ::close(devNull);
    if (child < 0) {
        ::close(pipeFds[0]);
        throw std::system_error(forkError, std::generic_category(), "fork");
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    // The pipe ends without a word once the program runs; a failure on the way sends its
    // error number.
    int execError = 0;
    ssize_t got;
    while ((got = ::read(pipeFds[0], &execError, sizeof execError)) < 0 && errno == EINTR) {
    }
    ::close(pipeFds[0]);
    if (got == static_cast<ssize_t>(sizeof execError))
        throw std::system_error(execError, std::generic_category(), "exec " + argv.at(0));
}

void ScriptSwapInstaller::Install(const SwapPlan& plan) {
    const std::string text = SwapScriptText(plan);
    const int fd = ::open(plan.script.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0700);
    if (fd < 0) RaiseErrno("create the update script");
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int error = errno;
            ::close(fd);
            ::unlink(plan.script.c_str());
            throw std::system_error(error, std::generic_category(), "write the update script");
        }
        done += static_cast<std::size_t>(n);
    }
    if (::close(fd) != 0) {
        ::unlink(plan.script.c_str());
        RaiseErrno("write the update script");
    }
    try {
        StartDetached({"/bin/sh", plan.script});
    } catch (...) {
        ::unlink(plan.script.c_str());
        throw;
    }
}

}  // namespace updatecheck
