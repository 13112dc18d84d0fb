#include "platform/linux/DeviceInfo.h"

#include <fcntl.h>
#include <libudev.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <string_view>

namespace device {

namespace {

// The sysfs folder of a device, or empty for a name that cannot be one.
std::string SysfsPath(const std::string& interfaceName) {
    if (interfaceName.empty() || interfaceName == "." || interfaceName == ".." ||
        interfaceName.find('/') != std::string::npos) {
        return {};
    }
    return "/sys/class/net/" + interfaceName;
}

std::string ReadSmallFile(const std::string& path) {
    const int fd = open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) return {};
    std::array<char, 4096> buffer;
    const ssize_t size = read(fd, buffer.data(), buffer.size());
    close(fd);
    return size > 0 ? std::string(buffer.data(), static_cast<std::size_t>(size)) : std::string();
}

// Whether one of the text's lines (ended by a line feed or by the end of the text) is `line`.
bool HasLine(std::string_view text, std::string_view line) {
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        if (text.substr(0, end) == line) return true;
        if (end == std::string_view::npos) break;
        text.remove_prefix(end + 1);
    }
    return false;
}

std::string Property(udev_device* device, const char* name) {
    const char* value = udev_device_get_property_value(device, name);
    return value != nullptr ? std::string(value) : std::string();
}

}  // namespace

bool IsWireless(const std::string& interfaceName) {
    const std::string path = SysfsPath(interfaceName);
    if (path.empty()) return false;
    struct stat info;
    if (stat((path + "/phy80211").c_str(), &info) == 0) return true;
    return HasLine(ReadSmallFile(path + "/uevent"), "DEVTYPE=wlan");
}

std::string HardwareDriver(const std::string& interfaceName) {
    const std::string path = SysfsPath(interfaceName);
    if (path.empty()) return {};
    std::array<char, 4096> target;
    const ssize_t size = readlink((path + "/device/driver").c_str(), target.data(), target.size());
    if (size <= 0 || static_cast<std::size_t>(size) >= target.size()) return {};
    const std::string_view link(target.data(), static_cast<std::size_t>(size));
    const std::size_t slash = link.rfind('/');
    return std::string(slash == std::string_view::npos ? link : link.substr(slash + 1));
}

HardwareDatabase::~HardwareDatabase() {
    if (udev_ != nullptr) udev_unref(udev_);
}

std::string HardwareDatabase::Model(const std::string& interfaceName) {
    if (!triedUdev_) {
        triedUdev_ = true;
        udev_ = udev_new();
    }
    if (udev_ == nullptr || SysfsPath(interfaceName).empty()) return {};
    udev_device* device =
        udev_device_new_from_subsystem_sysname(udev_, "net", interfaceName.c_str());
    if (device == nullptr) return {};
    const std::string model = Property(device, "ID_MODEL_FROM_DATABASE");
    const std::string vendor = Property(device, "ID_VENDOR_FROM_DATABASE");
    udev_device_unref(device);
    if (model.empty()) return {};
    return vendor.empty() ? model : vendor + " " + model;
}

}  // namespace device
