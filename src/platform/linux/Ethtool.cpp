#include "platform/linux/Ethtool.h"

#include "platform/linux/NetlinkMessages.h"

#include <linux/netlink.h>
#include <linux/sockios.h>
#include <net/if.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wpedantic"  // flexible array members of the kernel's structs
#include <linux/ethtool.h>
#pragma GCC diagnostic pop

#include <array>
#include <cstring>
#include <new>

namespace ethtool {

namespace {

// The device's driver answers, through SIOCETHTOOL.
bool DriverCommand(const std::string& interfaceName, void* command, std::size_t /*size*/) {
    ifreq request{};
    if (interfaceName.empty() || interfaceName.size() >= sizeof request.ifr_name) return false;
    std::memcpy(request.ifr_name, interfaceName.data(), interfaceName.size());
    request.ifr_data = static_cast<char*>(command);

    // Any socket will do; IPv4 may be switched off, netlink is always there.
    int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0) fd = socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_GENERIC);
    if (fd < 0) return false;
    const bool done = ioctl(fd, SIOCETHTOOL, &request) == 0;
    close(fd);
    return done;
}

// ETHTOOL_GLINKSETTINGS: first ask how many words the link-mode masks take, then ask with
// room for them.
std::optional<std::uint32_t> LinkSettingsSpeed(const std::string& interfaceName,
                                               const Kernel& kernel) {
    constexpr std::size_t kMaxMaskWords = 127;  // the word count is a signed byte
    alignas(ethtool_link_settings)
        std::array<std::uint8_t, sizeof(ethtool_link_settings) + 3 * kMaxMaskWords * 4>
            buffer{};
    auto* settings = new (buffer.data()) ethtool_link_settings{};
    settings->cmd = ETHTOOL_GLINKSETTINGS;
    if (!kernel(interfaceName, settings, buffer.size()) || settings->link_mode_masks_nwords >= 0) {
        return std::nullopt;
    }
    const auto words = static_cast<std::int8_t>(-settings->link_mode_masks_nwords);
    buffer.fill(0);
    settings = new (buffer.data()) ethtool_link_settings{};
    settings->cmd = ETHTOOL_GLINKSETTINGS;
    settings->link_mode_masks_nwords = words;
    if (!kernel(interfaceName, settings, buffer.size()) || settings->link_mode_masks_nwords <= 0) {
        return std::nullopt;
    }
    return settings->speed;
}

// ETHTOOL_GSET, for kernels older than the link settings.
std::optional<std::uint32_t> LegacySpeed(const std::string& interfaceName, const Kernel& kernel) {
    ethtool_cmd settings{};
    settings.cmd = ETHTOOL_GSET;
    if (!kernel(interfaceName, &settings, sizeof settings)) return std::nullopt;
    return ethtool_cmd_speed(&settings);
}

}  // namespace

std::optional<std::uint64_t> LinkSpeed(const std::string& interfaceName) {
    return LinkSpeed(interfaceName, DriverCommand);
}

std::optional<std::uint64_t> LinkSpeed(const std::string& interfaceName, const Kernel& kernel) {
    std::optional<std::uint32_t> mbps = LinkSettingsSpeed(interfaceName, kernel);
    if (!mbps) mbps = LegacySpeed(interfaceName, kernel);
    if (!mbps) return std::nullopt;
    return netlink::EthtoolSpeedToBits(*mbps);
}

std::string DriverName(const std::string& interfaceName) {
    return DriverName(interfaceName, DriverCommand);
}

std::string DriverName(const std::string& interfaceName, const Kernel& kernel) {
    ethtool_drvinfo info{};
    info.cmd = ETHTOOL_GDRVINFO;
    if (!kernel(interfaceName, &info, sizeof info)) return {};
    return std::string(info.driver, strnlen(info.driver, sizeof info.driver));
}

}  // namespace ethtool
