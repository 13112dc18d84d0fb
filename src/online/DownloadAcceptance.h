#pragma once

// The checks a downloaded update must pass before it may replace the running executable:
// it came from a source trusted to run code here, it arrived whole, and it is an executable
// for this machine.

#include <cstdint>
#include <string>

namespace updatecheck {

// A numeric address of this machine's loopback: 127.0.0.0/8, ::1, or ::ffff:127.x.y.z.
bool IsLoopbackAddress(const std::string& numericAddress);

// An answer may carry code to run when it came over https (the client always verifies the
// certificate) or from a loopback peer (a local mirror). `location` is the final address.
bool TrustedOrigin(const std::string& location, const std::string& peerAddress);

// How a download went, as the client and the file tell it.
struct DownloadRecord {
    bool documentEnded = false;     // the answer ended normally
    bool aborted = false;           // cut off: stalled, a file error, more than expected
    std::int64_t expectedSize = 0;  // the length the service announced
    std::int64_t received = 0;      // body bytes the client received
    std::int64_t fileSize = -1;     // size of the file they were written to, -1 unreadable
};

// Ended normally, not cut off, and every announced byte received and on disk, no more.
bool DownloadWhole(const DownloadRecord& record);

// True when `candidatePath` is an ELF executable or shared object (a position-independent
// executable) of the same class, byte order and machine as the ELF file `runningPath`.
bool ExecutableForThisMachine(const std::string& candidatePath, const std::string& runningPath);

// Gives `to` the permission bits of `from`; false when either cannot be reached.
bool CopyPermissions(const std::string& from, const std::string& to);

}  // namespace updatecheck
