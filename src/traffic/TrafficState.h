#pragma once

// The traffic state of the selected adapter: the sampling tick writes it, the diagram tick
// and the connection log read it, an adapter choice resets it. Counters, totals and the link
// speed are unsigned 64-bit: a busy link passes 4 GiB in seconds and today's links run
// faster than 4.29 Gbit/s.

#include <cstdint>

struct TrafficState {
    std::uint64_t CurRead = 0;     // last received counter read for the selected adapter
    std::uint64_t CurWrite = 0;    // last sent counter read
    std::uint64_t LinkSpeed = 0;   // last link speed read in bit/s; 0 when none is known
    std::uint64_t PrevRead = 0;    // CurRead before the current tick's read
    std::uint64_t PrevWrite = 0;   // CurWrite before the current tick's read
    std::uint64_t TotalRead = 0;   // received bytes seen while online
    std::uint64_t TotalWrite = 0;  // sent bytes seen while online
    bool FirstConnect = true;      // true until the first online tick of the run

    // The selected adapter was operational at the last read. Kept apart from LinkSpeed,
    // because many links (tunnels, virtual machines' adapters) carry traffic without
    // reporting a speed.
    bool Online = false;
    // The last read of the interface table failed: nothing current is known, so the window
    // shows "Offline" and no figures rather than the last ones frozen.
    bool TableUnreadable = false;
    // The adapter's counters wrap at 2^32 (a system that counts in 32 bits only).
    bool Counters32 = false;

    // Raised by one each time the sampling tick finds that the adapter's counters started
    // again (the interface was re-created or reset) rather than grew or wrapped. The diagram
    // compares it with the value it saw last and takes that tick's rates from the new
    // counters alone rather than from two interfaces' counters.
    std::uint32_t CounterRestarts = 0;
};

// What a counter passed from `before` to `now`: the difference modulo 2^32 for counters that
// wrap there, else the plain difference, and 0 (never a negative figure) when a full-width
// counter went down.
constexpr std::uint64_t CounterDelta(std::uint64_t now, std::uint64_t before, bool wraps32) {
    if (wraps32) return static_cast<std::uint32_t>(now - before);
    return now >= before ? now - before : 0;
}
