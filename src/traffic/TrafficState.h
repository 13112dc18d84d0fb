#pragma once

// The traffic state of the selected adapter: the sampling tick writes it, the diagram tick
// and the connection log read it, an adapter choice resets it. All counters are unsigned
// 32-bit with arithmetic modulo 2^32.

#include <cstdint>

struct TrafficState {
    std::uint32_t CurRead = 0;     // last received counter read for the selected adapter
    std::uint32_t CurWrite = 0;    // last sent counter read
    std::uint32_t LinkSpeed = 0;   // last link speed read; non-zero means online
    std::uint32_t PrevRead = 0;    // CurRead before the current tick's read
    std::uint32_t PrevWrite = 0;   // CurWrite before the current tick's read
    std::uint32_t TotalRead = 0;   // received bytes seen while online
    std::uint32_t TotalWrite = 0;  // sent bytes seen while online
    bool FirstConnect = true;      // true until the first online tick of the run

    // Raised by one each time the sampling tick finds that the adapter's counters started
    // again from a lower value (the interface was re-created or reset) rather than wrapped.
    // The diagram compares it with the value it saw last and stores a zero sample for that
    // tick instead of a huge rate.
    std::uint32_t CounterRestarts = 0;
};
