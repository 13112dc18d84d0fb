#include "online/DownloadAcceptance.h"

#include <arpa/inet.h>
#include <elf.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cstring>
#include <optional>

namespace updatecheck {

namespace {

// The part of an ELF header that says what the file is for.
struct ElfIdentity {
    unsigned char fileClass;
    unsigned char dataEncoding;
    std::uint16_t type;
    std::uint16_t machine;
};

std::optional<ElfIdentity> ReadElfIdentity(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return std::nullopt;
    std::array<unsigned char, 20> head{};  // e_ident, e_type and e_machine
    const ssize_t got = ::read(fd, head.data(), head.size());
    ::close(fd);
    if (got != static_cast<ssize_t>(head.size())) return std::nullopt;
    if (std::memcmp(head.data(), ELFMAG, SELFMAG) != 0) return std::nullopt;
    const unsigned char cls = head[EI_CLASS];
    const unsigned char data = head[EI_DATA];
    if ((cls != ELFCLASS32 && cls != ELFCLASS64) || (data != ELFDATA2LSB && data != ELFDATA2MSB) ||
        head[EI_VERSION] != EV_CURRENT) {
        return std::nullopt;
    }
    // e_type and e_machine lie at 16 and 18 in both classes, in the file's byte order.
    const auto half = [&](std::size_t at) -> std::uint16_t {
        return data == ELFDATA2LSB ? static_cast<std::uint16_t>(head[at] | head[at + 1] << 8)
                                   : static_cast<std::uint16_t>(head[at] << 8 | head[at + 1]);
    };
    return ElfIdentity{cls, data, half(16), half(18)};
}

bool StartsWithNoCase(const std::string& text, const char* prefix) {
    const std::size_t n = std::strlen(prefix);
    return text.size() >= n && ::strncasecmp(text.c_str(), prefix, n) == 0;
}

}  // namespace

bool IsLoopbackAddress(const std::string& numericAddress) {
    in_addr v4{};
    if (::inet_pton(AF_INET, numericAddress.c_str(), &v4) == 1)
        return (ntohl(v4.s_addr) >> 24) == 127;
    in6_addr v6{};
    if (::inet_pton(AF_INET6, numericAddress.c_str(), &v6) != 1) return false;
    if (IN6_IS_ADDR_LOOPBACK(&v6)) return true;
    return IN6_IS_ADDR_V4MAPPED(&v6) && v6.s6_addr[12] == 127;
}

bool TrustedOrigin(const std::string& location, const std::string& peerAddress) {
    return StartsWithNoCase(location, "https://") || IsLoopbackAddress(peerAddress);
}

bool DownloadWhole(const DownloadRecord& record) {
    return record.documentEnded && !record.aborted && record.expectedSize > 0 &&
           record.received == record.expectedSize && record.fileSize == record.received;
}

bool ExecutableForThisMachine(const std::string& candidatePath, const std::string& runningPath) {
    const std::optional<ElfIdentity> running = ReadElfIdentity(runningPath);
    const std::optional<ElfIdentity> candidate = ReadElfIdentity(candidatePath);
    if (!running || !candidate) return false;
    return candidate->fileClass == running->fileClass &&
           candidate->dataEncoding == running->dataEncoding &&
           candidate->machine == running->machine &&
           (candidate->type == ET_EXEC || candidate->type == ET_DYN);
}

bool CopyPermissions(const std::string& from, const std::string& to) {
    struct stat st {};
    if (::stat(from.c_str(), &st) != 0) return false;
    return ::chmod(to.c_str(), st.st_mode & 07777) == 0;
}

}  // namespace updatecheck
