#pragma once

// A program folder that fails the way a user's disk does, for the tests of the files the
// program writes:
//   ReadOnly  a read-only bind mount over a folder holding the given files;
//   Full      a tiny tmpfs holding the same files, filled to its last page, so that only
//             what is left of each file's last page still takes bytes.
// The mounts live in a private mount namespace that the test process enters once, so they
// never show outside it and go with it. Needs root; ok() tells, error() says why not.

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sched.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <map>
#include <set>
#include <string>

namespace faultyfolder {

enum class Fault { ReadOnly, Full };

inline const char* Name(Fault fault) {
    switch (fault) {
        case Fault::ReadOnly:
            return "ReadOnly";
        case Fault::Full:
            return "Full";
    }
    return "?";
}

inline std::string Failed(const std::string& what) {
    return what + " failed: " + std::strerror(errno);
}

// Puts the process into a mount namespace of its own with private propagation, once. Empty
// when it is in one, else the reason it cannot be.
inline const std::string& EnterPrivateMounts() {
    static const std::string reason = []() -> std::string {
        if (::geteuid() != 0) return "needs root";
        if (::unshare(CLONE_NEWNS) != 0) return Failed("unshare(CLONE_NEWNS)");
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0)
            return Failed("making the mounts private");
        return {};
    }();
    return reason;
}

class FaultyFolder {
  public:
    using Files = std::map<std::string, std::string>;  // name -> bytes

    static constexpr const char* kFiller = "zz-filler";
    static constexpr const char* kTmpfsSize = "size=64k";

    FaultyFolder(Fault fault, Files files) : fault_(fault), files_(std::move(files)) {
        if (const std::string& reason = EnterPrivateMounts(); !reason.empty()) {
            error_ = reason;
            return;
        }
        const char* tmp = std::getenv("TMPDIR");
        std::string pattern =
            std::string(tmp != nullptr && *tmp != '\0' ? tmp : "/tmp") + "/tv-faults.XXXXXX";
        if (::mkdtemp(pattern.data()) == nullptr) {
            error_ = Failed("mkdtemp");
            return;
        }
        dir_ = pattern;
        error_ = Prepare();
    }

    ~FaultyFolder() {
        EndFault();
        if (mounted_) ::umount2(dir_.c_str(), MNT_DETACH);
        if (!dir_.empty()) {
            std::error_code ignored;
            std::filesystem::remove_all(dir_, ignored);
        }
    }

    FaultyFolder(const FaultyFolder&) = delete;
    FaultyFolder& operator=(const FaultyFolder&) = delete;

    bool ok() const { return error_.empty(); }
    const std::string& error() const { return error_; }
    // The folder with its closing separator, as the program keeps its folder.
    std::string Path() const { return dir_ + "/"; }
    std::string PathOf(const std::string& name) const { return Path() + name; }

    // Bytes the folder's file system still takes.
    unsigned long long FreeBytes() const {
        struct statvfs fs {};
        if (::statvfs(dir_.c_str(), &fs) != 0) return 0;
        return static_cast<unsigned long long>(fs.f_bavail) * fs.f_frsize;
    }

    // A full folder with `bytes` of room again, taken off its filler.
    void Free(off_t bytes) {
        const std::string filler = PathOf(kFiller);
        struct stat st {};
        if (::stat(filler.c_str(), &st) == 0)
            static_cast<void>(::truncate(filler.c_str(), std::max<off_t>(0, st.st_size - bytes)));
    }

    // Ends the fault: the folder is writable and has room again.
    void EndFault() {
        if (dir_.empty()) return;
        if (fault_ == Fault::ReadOnly && mounted_)
            ::mount(nullptr, dir_.c_str(), nullptr, MS_REMOUNT | MS_BIND, nullptr);
        ::unlink(PathOf(kFiller).c_str());
    }

    // Success when the folder holds its files byte for byte and nothing else (the filler
    // aside).
    ::testing::AssertionResult Unchanged() const {
        for (const auto& [name, bytes] : files_) {
            const std::string now = Read(name);
            if (now != bytes)
                return ::testing::AssertionFailure()
                       << name << " holds " << now.size() << " bytes, not its " << bytes.size()
                       << (now.size() > bytes.size() ? ", ends in: " + Tail(now) : std::string());
        }
        for (const std::string& name : Listing()) {
            if (!files_.contains(name) && name != kFiller)
                return ::testing::AssertionFailure() << "a file was left behind: " << name;
        }
        return ::testing::AssertionSuccess();
    }

    std::string Read(const std::string& name) const {
        std::string bytes;
        const int fd = ::open(PathOf(name).c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0) return "<missing>";
        char block[4096];
        for (ssize_t n; (n = ::read(fd, block, sizeof block)) > 0;)
            bytes.append(block, static_cast<std::size_t>(n));
        ::close(fd);
        return bytes;
    }

    std::set<std::string> Listing() const {
        std::set<std::string> names;
        std::error_code unreadable;
        for (const auto& entry : std::filesystem::directory_iterator(dir_, unreadable))
            names.insert(entry.path().filename().string());
        return names;
    }

  private:
    static std::string Tail(const std::string& bytes) {
        std::string tail = bytes.substr(bytes.size() > 40 ? bytes.size() - 40 : 0);
        for (char& c : tail)
            if (c == '\r' || c == '\n') c = '|';
        return tail;
    }

    std::string Prepare() {
        if (fault_ != Fault::ReadOnly) {
            if (::mount("tmpfs", dir_.c_str(), "tmpfs", MS_NOSUID | MS_NODEV, kTmpfsSize) != 0)
                return Failed("mounting a tmpfs");
            mounted_ = true;
        }
        for (const auto& [name, bytes] : files_) {
            if (!WriteWhole(PathOf(name), bytes)) return Failed("writing " + name);
        }
        if (fault_ == Fault::ReadOnly) {
            if (::mount(dir_.c_str(), dir_.c_str(), nullptr, MS_BIND, nullptr) != 0)
                return Failed("bind mount");
            mounted_ = true;
            if (::mount(nullptr, dir_.c_str(), nullptr, MS_REMOUNT | MS_BIND | MS_RDONLY,
                        nullptr) != 0)
                return Failed("read-only remount");
            return {};
        }
        if (!Fill()) return Failed("filling the tmpfs");
        if (FreeBytes() != 0) return "the tmpfs still has room";
        return {};
    }

    static bool WriteWhole(const std::string& path, const std::string& bytes) {
        const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0) return false;
        const bool whole =
            ::write(fd, bytes.data(), bytes.size()) == static_cast<ssize_t>(bytes.size());
        return ::close(fd) == 0 && whole;
    }

    // Writes the filler until the file system takes no more.
    bool Fill() const {
        const int fd = ::open(PathOf(kFiller).c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0) return false;
        const std::string block(4096, 'F');
        while (::write(fd, block.data(), block.size()) > 0) {
        }
        const bool full = errno == ENOSPC;
        ::close(fd);
        return full;
    }

    Fault fault_;
    Files files_;
    std::string dir_;
    std::string error_;
    bool mounted_ = false;
};

}  // namespace faultyfolder
