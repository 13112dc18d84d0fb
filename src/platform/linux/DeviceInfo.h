#pragma once

// What sysfs and the udev hardware database tell about a network device, by its name.

#include <string>

struct udev;

namespace device {

// True for a wireless device: it belongs to a wireless PHY or says DEVTYPE=wlan.
bool IsWireless(const std::string& interfaceName);

// The name of the driver bound to the device's hardware, empty for a virtual device.
std::string HardwareDriver(const std::string& interfaceName);

// The udev hardware database's vendor and model of the device ("Intel Corporation 82540EM
// Gigabit Ethernet Controller"), empty when unknown. Works without udev: then nothing is known.
class HardwareDatabase {
  public:
    HardwareDatabase() = default;
    ~HardwareDatabase();
    HardwareDatabase(const HardwareDatabase&) = delete;
    HardwareDatabase& operator=(const HardwareDatabase&) = delete;

    std::string Model(const std::string& interfaceName);

  private:
    udev* udev_ = nullptr;
    bool triedUdev_ = false;
};

}  // namespace device
