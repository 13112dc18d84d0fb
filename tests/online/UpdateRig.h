#pragma once

// The update operation in a private program folder, with a clock the test moves, a swap that
// only records, and "executables" made from this test program's own ELF header.

#include "FakeClock.h"
#include "RecordingSwap.h"
#include "TestFiles.h"
#include "online/UpdateOperation.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>
#include <fstream>
#include <optional>
#include <string>
#include <vector>

namespace updatetest {

constexpr std::int64_t kRunningSize = 150000;  // the running executable of the rig

// `size` bytes that begin with this program's ELF header; the machine or the type changed
// when asked (both are little-endian halves here).
inline std::string Elf(std::int64_t size, int machine = -1, int type = -1) {
    std::string bytes(64, '\0');
    std::ifstream("/proc/self/exe", std::ios::binary).read(bytes.data(), 64);
    if (machine >= 0) bytes[18] = static_cast<char>(machine);
    if (type >= 0) bytes[16] = static_cast<char>(type);
    bytes.resize(static_cast<std::size_t>(size), 'x');
    return bytes;
}

struct UpdateRig {
    QTemporaryDir dir;
    std::string folder = dir.path().toStdString() + "/";
    std::string exe = folder + "torvane";
    FakeClock clock;
    RecordingSwap swap;
    int waits = 0;  // one-second pauses after a GET that returned without an end
    std::vector<updatecheck::UpdateOperation::Progress> progress;
    std::optional<updatecheck::UpdateOperation> op;

    UpdateRig() {
        testfiles::WriteBytes(exe, Elf(kRunningSize));
        ::chmod(exe.c_str(), 0750);
    }

    void Make(HttpClient& client, const std::string& service) {
        op.emplace(client, clock, updatecheck::UpdateSite{service, "1.0.2.200", folder, exe}, swap,
                   [this](std::uint32_t ms) {
                       ++waits;
                       clock.Advance(ms);
                   });
    }
    bool Look() {
        EXPECT_TRUE(op->Begin().started);
        return op->Look().found;
    }
    // The HEAD and, when it finds a build, the GET: whether the download may be installed.
    bool Fetch() {
        if (!Look()) return false;
        return op
            ->Fetch([this](updatecheck::UpdateOperation::Progress p) { progress.push_back(p); })
            .installable;
    }
    std::string Downloaded() const { return testfiles::ReadBytes(op->DownloadPath()); }
};

}  // namespace updatetest
