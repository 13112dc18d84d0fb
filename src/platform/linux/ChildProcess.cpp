#include "platform/ChildProcess.h"

#include <linux/close_range.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <csignal>

namespace platform {

long CurrentProcessId() {
    return static_cast<long>(::getpid());
}

void TieChildToProgram(long parent) {
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The program may have ended before the line above took effect.
    if (static_cast<long>(::getppid()) != parent) ::_exit(127);
    ::close_range(3, ~0U, CLOSE_RANGE_CLOEXEC);
}

}  // namespace platform
