#pragma once

// The sampling tick: reads the selected adapter's counters and link speed from the
// interface table and adds what was transferred since the previous tick to the totals while
// the adapter is online.

#include "platform/InterfaceTable.h"
#include "traffic/TrafficState.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class TrafficSampler {
  public:
    // Appends the Connect line; called once per run, before the first online addition.
    using ConnectWriter = std::function<void(const TrafficState&)>;

    explicit TrafficSampler(InterfaceTable& table) : table_(table) {}

    // One tick (tmrRefreshTimer without the fields). The tick asks the system for the
    // selected adapter's link alone; it reads the whole table only when that link is gone
    // or no longer has the selected address, so that a host with hundreds of interfaces
    // costs no more each second than one with a few.
    void Tick(TrafficState& state, const std::string& selectedMac,
              const ConnectWriter& writeConnect);

    // A whole table just read for the list: the first row in table order with the selected
    // address is the one the next ticks read, as a tick reading the whole table would find.
    void FollowTable(std::vector<IfRow>& rows, const std::string& selectedMac);

    // An adapter choice: the next reading has nothing earlier to compare with, and the
    // adapter is looked for in the whole table.
    void ForgetAdapter() {
        origin_.reset();
        link_.reset();
    }

  private:
    struct Increments {
        std::uint64_t read = 0;
        std::uint64_t write = 0;
    };
    // The interface and its counters behind the current readings.
    struct Origin {
        std::uint32_t ifIndex = 0;
        std::uint64_t in = 0;
        std::uint64_t out = 0;
    };

    Increments GetTraffic(TrafficState& state, const std::string& selectedMac);
    std::optional<IfRow> FindSelected(TrafficState& state, const std::string& selectedMac);
    Increments IncrementsOf(const IfRow& row, TrafficState& state);

    InterfaceTable& table_;
    std::optional<Origin> origin_;
    std::optional<std::uint32_t> link_;  // the index the next tick asks for
};
