#pragma once

// The interface table of the running kernel: one rtnetlink link dump per Read(), one request
// for a single link by its index per ReadLink().

#include "platform/InterfaceTable.h"
#include "platform/linux/DeviceInfo.h"
#include "platform/linux/NetlinkSocket.h"

#include <cstdint>
#include <string>
#include <unordered_map>

namespace netlink {
struct LinkMessage;
}

class NetlinkInterfaceTable final : public InterfaceTable {
  public:
    NetlinkInterfaceTable();

    std::optional<std::vector<IfRow>> Read() override;
    std::optional<IfRow> ReadLink(std::uint32_t ifIndex) override;
    void Describe(IfRow& row) override;
    void MeasureSpeed(IfRow& row) override;

  private:
    // What does not change while a device keeps its index and name, so that a tick does not
    // ask sysfs about every device every second.
    struct Device {
        std::string name;
        bool wireless = false;
        std::string kind;
        std::string description;  // empty until asked for
        std::uint64_t lastSeen = 0;
    };

    bool Dump(std::vector<IfRow>& rows);
    // The row of a link message, with what is remembered of its device.
    IfRow AsRow(netlink::LinkMessage&& link);
    // RTM_GETLINK for one index; nothing when the kernel has no such link or cannot answer.
    std::optional<netlink::LinkMessage> AskLink(std::uint32_t ifIndex);
    Device& Remember(const netlink::LinkMessage& link);
    // The device of a row, asking the kernel when no read has seen it; nullptr if it is gone.
    Device* Find(const IfRow& row);

    netlink::Socket route_;
    device::HardwareDatabase hardware_;
    std::unordered_map<std::uint32_t, Device> devices_;
    std::uint64_t readCount_ = 0;  // dumps asked for, the current one included
    std::size_t remembered_ = 0;   // devices seen by the current dump
    std::size_t lastRowCount_ = 0;
};
