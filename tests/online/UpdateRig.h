#pragma once

// The update operation in a private program folder, with a clock the test moves and a swap
// that only records.

#include "ElfBytes.h"
#include "FakeClock.h"
#include "RecordingSwap.h"
#include "TestFiles.h"
#include "online/UpdateOperation.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace updatetest {

constexpr std::int64_t kRunningSize = 150000;  // the running executable of the rig

using testfiles::Elf;

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
        op.emplace(client, clock,
                   updatecheck::UpdateSite{service, TORVANE_TEST_VERSION, folder, exe}, swap,
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
