// A download as it may come, checked before it may replace the program. It is accepted as an
// executable for this machine exactly when its ELF header has the running executable's class,
// byte order and machine, the current version, and the type of an executable or a shared
// object (a position-independent executable). The same bytes, read as "location\npeer\n"
// and a record of how the download went: an https location is always trusted, any other only
// with a peer that the system's own numeric-address parser places on the loopback; and a
// download is whole only when it ended normally and every announced byte came and reached
// the file, no more.

#include "online/DownloadAcceptance.h"

#include "FuzzSupport.h"

#include <netdb.h>
#include <netinet/in.h>
#include <strings.h>
#include <sys/socket.h>

#include <array>
#include <cstring>
#include <fstream>

namespace {

std::array<unsigned char, 20> OwnHeader() {
    std::array<unsigned char, 20> head{};
    std::ifstream("/proc/self/exe", std::ios::binary)
        .read(reinterpret_cast<char*>(head.data()), head.size());
    return head;
}

bool ExpectedExecutable(const std::uint8_t* data, std::size_t size) {
    static const std::array<unsigned char, 20> own = OwnHeader();
    if (size < own.size() || std::memcmp(data, own.data(), 4) != 0) return false;
    const bool little = data[5] == 1;
    const unsigned type = little ? data[16] | data[17] << 8 : data[16] << 8 | data[17];
    return data[4] == own[4] && data[5] == own[5] && data[6] == 1 && data[18] == own[18] &&
           data[19] == own[19] && (type == 2 || type == 3);
}

bool LoopbackPeer(const std::string& peer) {
    addrinfo hints{};
    hints.ai_flags = AI_NUMERICHOST;
    addrinfo* found = nullptr;
    if (::getaddrinfo(peer.c_str(), nullptr, &hints, &found) != 0) return false;
    bool loopback = false;
    if (found->ai_family == AF_INET) {
        const auto* v4 = reinterpret_cast<const sockaddr_in*>(found->ai_addr);
        loopback = (ntohl(v4->sin_addr.s_addr) >> 24) == 127;
    } else if (found->ai_family == AF_INET6) {
        const auto* v6 = reinterpret_cast<const sockaddr_in6*>(found->ai_addr)->sin6_addr.s6_addr;
        static const unsigned char one[16] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1};
        static const unsigned char mapped[12] = {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xff, 0xff};
        loopback =
            std::memcmp(v6, one, 16) == 0 || (std::memcmp(v6, mapped, 12) == 0 && v6[12] == 127);
    }
    ::freeaddrinfo(found);
    return loopback;
}

std::int64_t Number(std::string_view& rest) {
    std::int64_t value = 0;
    for (int i = 0; i < 3 && !rest.empty(); ++i) {
        value = value << 8 | static_cast<unsigned char>(rest.front());
        rest.remove_prefix(1);
    }
    return value - 1;  // -1 reachable: an unreadable file
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string file = fuzz::ScratchFolder() + "/tvr_update.exe";
    fuzz::WriteFile(file, fuzz::Bytes(data, size));
    const bool accepted = updatecheck::ExecutableForThisMachine(file, "/proc/self/exe");
    FUZZ_CHECK(accepted == ExpectedExecutable(data, size));

    std::string_view rest = fuzz::Bytes(data, size);
    const std::string location(fuzz::TakeUntil(rest, '\n'));
    const std::string peer(fuzz::TakeUntil(rest, '\n'));
    const bool https = location.size() >= 8 && ::strncasecmp(location.c_str(), "https://", 8) == 0;
    FUZZ_CHECK(!updatecheck::TrustedOrigin(location, peer) || https || LoopbackPeer(peer));
    FUZZ_CHECK(!https || updatecheck::TrustedOrigin(location, peer));

    updatecheck::DownloadRecord record;
    const unsigned char flags = rest.empty() ? 0 : static_cast<unsigned char>(rest.front());
    if (!rest.empty()) rest.remove_prefix(1);
    record.documentEnded = flags & 1;
    record.aborted = flags & 2;
    record.expectedSize = Number(rest);
    record.received = flags & 4 ? record.expectedSize : Number(rest);
    record.fileSize = flags & 8 ? record.received : Number(rest);
    const bool whole = updatecheck::DownloadWhole(record);
    FUZZ_CHECK(!whole ||
               (record.documentEnded && !record.aborted && record.expectedSize > 0 &&
                record.received == record.expectedSize && record.fileSize == record.expectedSize));
    FUZZ_CHECK(whole || !(flags == 13 && record.expectedSize > 0));
    return 0;
}
