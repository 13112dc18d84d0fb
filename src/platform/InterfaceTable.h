#pragma once

// The operating system's table of network interfaces, one row per interface, in the form
// the traffic monitor works with. Implementations: linux/NetlinkInterfaceTable (rtnetlink),
// and fakes in the tests.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
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
    std::string bDescr;             // description; filled by InterfaceTable::Describe
    std::uint32_t dwSpeed = 0;      // bit/s; filled by InterfaceTable::MeasureSpeed
    std::uint32_t dwInOctets = 0;   // low 32 bits of the received byte counter
    std::uint32_t dwOutOctets = 0;  // low 32 bits of the sent byte counter

    // What the Linux table adds: the kernel's interface index and name, and the full 64-bit
    // counters (to tell a counter that wrapped from one that restarted).
    std::uint32_t ifIndex = 0;
    std::string name;
    std::uint64_t inOctets64 = 0;
    std::uint64_t outOctets64 = 0;
    // False where the system counts this interface's bytes in 32 bits only (the full
    // counters then wrap at 2^32 too): a counter that goes down has wrapped rather than
    // started again.
    bool counters64 = true;
};

class InterfaceTable {
  public:
    // A table with more rows than this is a failed read.
    static constexpr std::size_t kMaxRows = 513;

    virtual ~InterfaceTable() = default;

    // One snapshot of the whole table, rows in the system's order, or nothing when it cannot
    // be read. Rows carry everything but bDescr and dwSpeed, which only some callers need.
    virtual std::optional<std::vector<IfRow>> Read() = 0;

    // Fills bDescr of a row from Read(): stable from run to run for the same device.
    virtual void Describe(IfRow& row) = 0;

    // Fills dwSpeed of a row from Read(): 0 when not operational, 4294967295 when the link
    // is operational but reports no speed, saturated at 4294967295.
    virtual void MeasureSpeed(IfRow& row) = 0;
};
