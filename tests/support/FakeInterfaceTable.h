#pragma once

// A scripted interface table: what the system would report, set by the test.

#include "platform/InterfaceTable.h"

#include <cstdint>
#include <initializer_list>
#include <optional>
#include <string>
#include <vector>

// One operational interface as the fake system knows it.
IfRow MakeRow(std::initializer_list<std::uint8_t> address, std::uint32_t ifIndex,
              std::uint64_t in64 = 0, std::uint64_t out64 = 0, std::uint64_t speed = 100000000,
              std::string descr = "Fast Ethernet Adapter", std::uint32_t type = kIfTypeEthernet,
              std::uint32_t operStatus = 1);

// Sets the row's byte counters.
void SetCounters(IfRow& row, std::uint64_t in64, std::uint64_t out64);

// Read() hands out everything but the description and the speed, which only Describe() and
// MeasureSpeed() fill in, as the real table does.
class FakeInterfaceTable final : public InterfaceTable {
  public:
    // The table the next reads return; nothing means the read fails.
    std::optional<std::vector<IfRow>> rows = std::vector<IfRow>{};
    int reads = 0;                       // whole-table reads
    int linkReads = 0;                   // reads of one link by its index
    bool throwOnRead = false;            // a read that raises instead of failing
    std::vector<std::string> described;  // names Describe() was asked about

    std::optional<std::vector<IfRow>> Read() override;
    std::optional<IfRow> ReadLink(std::uint32_t ifIndex) override;
    void Describe(IfRow& row) override;
    void MeasureSpeed(IfRow& row) override;

    IfRow& At(std::size_t i) { return rows->at(i); }

  private:
    const IfRow* Find(const IfRow& row) const;
};
