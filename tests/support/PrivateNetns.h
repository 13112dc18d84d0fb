#pragma once

// A private network namespace, with a sysfs of its own, for tests and benchmarks that need
// the real kernel: devices made in it vanish with it and never touch the machine's network.
// The calling thread enters it on construction and goes back to where it was on destruction
// (or in between with Leave/Enter). Needs root and a process that has no other threads.

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

class PrivateNetns {
  public:
    PrivateNetns() {
        if (geteuid() != 0) {
            error_ = "needs root";
            return;
        }
        homeNet_ = open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
        homeMnt_ = open("/proc/self/ns/mnt", O_RDONLY | O_CLOEXEC);
        homeDir_ = open(".", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (homeNet_ < 0 || homeMnt_ < 0 || homeDir_ < 0) {
            error_ = Failed("opening the current namespaces");
            return;
        }
        if (unshare(CLONE_NEWNET | CLONE_NEWNS) != 0) {
            error_ = Failed("unshare(CLONE_NEWNET | CLONE_NEWNS)");
            return;
        }
        entered_ = true;
        // A sysfs of this namespace, so that /sys/class/net shows its devices; the mount
        // stays private to this mount namespace. Without it the namespace still works, but
        // sysfs shows the machine's devices.
        ownSysfs_ = mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0 &&
                    mount("sysfs", "/sys", "sysfs", 0, nullptr) == 0;
        ownNet_ = open("/proc/self/ns/net", O_RDONLY | O_CLOEXEC);
        ownMnt_ = open("/proc/self/ns/mnt", O_RDONLY | O_CLOEXEC);
        ok_ = ownNet_ >= 0 && ownMnt_ >= 0;
        if (!ok_) error_ = Failed("opening the new namespaces");
    }

    ~PrivateNetns() {
        Leave();
        for (int fd : {homeNet_, homeMnt_, homeDir_, ownNet_, ownMnt_}) {
            if (fd >= 0) close(fd);
        }
    }

    PrivateNetns(const PrivateNetns&) = delete;
    PrivateNetns& operator=(const PrivateNetns&) = delete;

    bool ok() const { return ok_; }
    bool ownSysfs() const { return ownSysfs_; }
    const std::string& error() const { return error_; }

    void Leave() {
        if (!entered_) return;
        if (setns(homeMnt_, CLONE_NEWNS) != 0 || setns(homeNet_, CLONE_NEWNET) != 0) {
            std::perror("leaving the private network namespace");
            std::abort();  // carrying on would run the rest in the wrong namespace
        }
        if (fchdir(homeDir_) != 0) std::perror("fchdir");
        entered_ = false;
    }

    bool Enter() {
        if (!ok_ || entered_) return entered_;
        entered_ = setns(ownMnt_, CLONE_NEWNS) == 0 && setns(ownNet_, CLONE_NEWNET) == 0;
        if (fchdir(homeDir_) != 0) std::perror("fchdir");
        return entered_;
    }

    // Runs `ip` with the arguments in this namespace; true on success.
    static bool Ip(const std::string& arguments) {
        return std::system(("ip " + arguments + " >/dev/null 2>&1").c_str()) == 0;
    }

    // Runs many `ip` commands at once (`ip -batch`); true on success.
    static bool IpBatch(const std::vector<std::string>& commands) {
        FILE* ip = popen("ip -batch - >/dev/null 2>&1", "w");
        if (ip == nullptr) return false;
        for (const std::string& command : commands) {
            std::fputs((command + "\n").c_str(), ip);
        }
        return pclose(ip) == 0;
    }

  private:
    static std::string Failed(const char* what) {
        return std::string(what) + " failed: " + std::strerror(errno);
    }

    int homeNet_ = -1, homeMnt_ = -1, homeDir_ = -1, ownNet_ = -1, ownMnt_ = -1;
    bool entered_ = false;
    bool ownSysfs_ = false;
    bool ok_ = false;
    std::string error_;
};
