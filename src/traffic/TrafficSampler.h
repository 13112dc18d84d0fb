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

class TrafficSampler {
  public:
    // Appends the Connect line; called once per run, before the first online addition.
    using ConnectWriter = std::function<void(const TrafficState&)>;

    explicit TrafficSampler(InterfaceTable& table) : table_(table) {}

    // One tick (tmrRefreshTimer without the fields). Modulo 2^32 throughout.
    void Tick(TrafficState& state, const std::string& selectedMac,
              const ConnectWriter& writeConnect);

    // An adapter choice: the next reading has nothing earlier to compare with.
    void ForgetAdapter() { origin_.reset(); }

  private:
    struct Increments {
        std::uint32_t read = 0;
        std::uint32_t write = 0;
    };
    // The interface and its full counters behind the current readings.
    struct Origin {
        std::uint32_t ifIndex = 0;
        std::uint64_t inOctets64 = 0;
        std::uint64_t outOctets64 = 0;
    };

    Increments GetTraffic(TrafficState& state, const std::string& selectedMac);
    Increments IncrementsOf(const IfRow& row, TrafficState& state);

    InterfaceTable& table_;
    std::optional<Origin> origin_;
};
