#pragma once

// Devices of the real kernel for tests in a private network namespace (PrivateNetns.h): a
// tun or tap device this process holds open, and waiting for a device's operational state.

#include "platform/InterfaceTable.h"

#include "PrivateNetns.h"

#include <QtCore/qtestsupport_core.h>

#include <fcntl.h>
#include <linux/if_tun.h>
#include <net/if.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>

// Held open, the device has carrier; what is written to it arrives at the kernel as received
// on it. Attaches to a device of that name made before (`ip tuntap add`), or makes one that
// goes with this object.
class TunDevice {
  public:
    enum class Mode { Tun, Tap };

    TunDevice(std::string name, Mode mode) : name_(std::move(name)), mode_(mode) {
        fd_ = open("/dev/net/tun", O_RDWR | O_CLOEXEC);
        if (fd_ < 0) return;
        ifreq request{};
        request.ifr_flags = static_cast<short>((mode == Mode::Tap ? IFF_TAP : IFF_TUN) | IFF_NO_PI);
        std::snprintf(request.ifr_name, sizeof request.ifr_name, "%s", name_.c_str());
        if (ioctl(fd_, TUNSETIFF, &request) != 0) {
            close(fd_);
            fd_ = -1;
        }
    }
    ~TunDevice() {
        if (fd_ >= 0) close(fd_);
    }
    TunDevice(const TunDevice&) = delete;
    TunDevice& operator=(const TunDevice&) = delete;

    bool ok() const { return fd_ >= 0; }
    const std::string& name() const { return name_; }
    // Brings the device up; true when it is.
    bool Up() const { return ok() && PrivateNetns::Ip("link set " + name_ + " up"); }

    // Hands `count` packets of `size` bytes to the kernel; the device counts them as it takes
    // them. A tap gets broadcast frames of a local experimental EtherType nobody answers, a
    // tun IPv4 packets the IP layer then drops (no checksum).
    bool Receive(std::int64_t count, std::size_t size) {
        std::vector<std::uint8_t> packet(size, 0);
        if (mode_ == Mode::Tap) {
            std::fill_n(packet.begin(), 6, 0xFF);
            packet[6] = 0x02;
            packet[11] = 0x42;
            packet[12] = 0x88;
            packet[13] = 0xB5;
        } else {
            packet[0] = 0x45;  // IPv4, a 20-byte header
            packet[2] = static_cast<std::uint8_t>(size >> 8);
            packet[3] = static_cast<std::uint8_t>(size);
        }
        for (std::int64_t i = 0; i < count; ++i) {
            if (write(fd_, packet.data(), size) != static_cast<ssize_t>(size)) return false;
        }
        return true;
    }

    // Takes what the kernel sent out of the device, which counts it as sent as it goes.
    void Drain() {
        std::array<std::uint8_t, 65536> packet{};
        pollfd ready{fd_, POLLIN, 0};
        while (poll(&ready, 1, 50) > 0 && read(fd_, packet.data(), packet.size()) > 0) {
        }
    }

  private:
    std::string name_;
    Mode mode_;
    int fd_ = -1;
};

inline const IfRow* FindRow(const std::vector<IfRow>& rows, const std::string& name) {
    const auto it =
        std::find_if(rows.begin(), rows.end(), [&](const IfRow& row) { return row.name == name; });
    return it == rows.end() ? nullptr : &*it;
}

// The device's row once the table shows it in that operational state; the kernel passes on
// some carrier changes with a delay of up to a second. Nothing when it never does.
inline std::optional<IfRow> WaitForOperState(InterfaceTable& table, const std::string& name,
                                             bool operational = true) {
    std::optional<IfRow> row;
    const bool reached = QTest::qWaitFor(
        [&] {
            const auto rows = table.Read();
            const IfRow* found = rows ? FindRow(*rows, name) : nullptr;
            if (found != nullptr) row = *found;
            return found != nullptr && (found->dwOperStatus != 0) == operational;
        },
        5000);
    return reached ? row : std::nullopt;
}
