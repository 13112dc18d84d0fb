#pragma once

// The operating system's table of network interfaces, one row per interface, in the form
// the traffic monitor works with. Implementations: linux/NetlinkInterfaceTable (rtnetlink),
// and fakes in the tests.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// Interface types the adapter list knows.
enum IfType : std::uint32_t {
    kIfTypeOther = 1,
    kIfTypeEthernet = 6,
    kIfTypePpp = 23,
    kIfTypeLoopback = 24,
    kIfTypeWireless = 71,
};

struct IfRow {
    std::uint32_t dwType = kIfTypeOther;
    std::uint32_t dwOperStatus = 0;   // non-zero while the link is operational
    std::uint32_t dwPhysAddrLen = 0;  // valid bytes of bPhysAddr, 0 to 8
    std::array<std::uint8_t, 8> bPhysAddr{};
    std::string bDescr;  // description; filled by InterfaceTable::Describe
    // Link speed in bit/s, filled by InterfaceTable::MeasureSpeed: 0 when the link is not
    // operational or reports no speed (most virtual devices). Today's links pass 4 Gbit/s,
    // so 64 bits.
    std::uint64_t dwSpeed = 0;
    // The system's byte counters, full width: a busy link passes 4 GiB in seconds.
    std::uint64_t dwInOctets = 0;
    std::uint64_t dwOutOctets = 0;

    // What the Linux table adds: the kernel's interface index and name.
    std::uint32_t ifIndex = 0;
    std::string name;
    // False where the system counts this interface's bytes in 32 bits only: the counters
    // then wrap at 2^32, and one that goes down has wrapped rather than started again.
    bool counters64 = true;
};

class InterfaceTable {
  public:
    virtual ~InterfaceTable() = default;

    // One snapshot of the whole table, any number of rows in the system's order, or nothing
    // when it cannot be read. Rows carry everything but bDescr and dwSpeed, which only some
    // callers need.
    virtual std::optional<std::vector<IfRow>> Read() = 0;

    // The row of the interface with this index alone, as Read() would give it, asked of the
    // system without reading the rest of the table: what a sampling tick needs, at a cost that
    // does not grow with the number of interfaces. Nothing when there is no such interface or
    // the system cannot be asked; the caller then reads the whole table.
    virtual std::optional<IfRow> ReadLink(std::uint32_t ifIndex) {
        auto rows = Read();
        if (!rows) return std::nullopt;
        for (IfRow& row : *rows) {
            if (row.ifIndex == ifIndex) return std::move(row);
        }
        return std::nullopt;
    }

    // Fills bDescr of a row from Read(): stable from run to run for the same device.
    virtual void Describe(IfRow& row) = 0;

    // Fills dwSpeed of a row from Read(): the link's speed in bit/s, or 0 when it is not
    // operational or reports none (operational is dwOperStatus, never the speed).
    virtual void MeasureSpeed(IfRow& row) = 0;
};
