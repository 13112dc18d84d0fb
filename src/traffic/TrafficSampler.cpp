#include "traffic/TrafficSampler.h"

#include "traffic/AdapterList.h"

#include <algorithm>
#include <limits>

void TrafficSampler::Tick(TrafficState& state, const std::string& selectedMac,
                          const ConnectWriter& writeConnect) {
    state.PrevRead = state.CurRead;
    state.PrevWrite = state.CurWrite;
    const Increments added = GetTraffic(state, selectedMac);
    if (state.LinkSpeed == 0) return;
    if (state.FirstConnect) {
        state.FirstConnect = false;
        writeConnect(state);
    }
    state.TotalRead += added.read;
    state.TotalWrite += added.write;
}

TrafficSampler::Increments TrafficSampler::GetTraffic(TrafficState& state,
                                                      const std::string& selectedMac) {
    auto rows = table_.Read();
    // Unreadable table: every reading, the link speed too, stays as it was.
    if (!rows) return {};
    const auto row = std::find_if(rows->begin(), rows->end(),
                                  [&](IfRow& r) { return IsSelectedRow(table_, r, selectedMac); });
    if (row == rows->end()) {
        // The adapter is gone (unplugged, removed) or none is selected: offline from now
        // on, the last readings stay on show.
        state.LinkSpeed = 0;
        return {};
    }
    table_.MeasureSpeed(*row);
    state.CurRead = row->dwInOctets;
    state.CurWrite = row->dwOutOctets;
    state.LinkSpeed = row->dwSpeed;
    return IncrementsOf(*row, state);
}

TrafficSampler::Increments TrafficSampler::IncrementsOf(const IfRow& row, TrafficState& state) {
    // A counter that wrapped at 2^32 is counted exactly by the modulo difference.
    Increments added{state.CurRead - state.PrevRead, state.CurWrite - state.PrevWrite};
    // A counter that started again from zero (another interface behind the same address, or
    // the same one reset) would add almost 4 GiB that never went over the wire: what it
    // shows now is all that is known to have passed since. Where the system counts in 32
    // bits only, a counter of the same interface that goes down from a reading within 32
    // bits has wrapped instead, and the difference stands.
    if (origin_) {
        const bool sameInterface = row.ifIndex == origin_->ifIndex;
        const auto restarted = [&](std::uint64_t now, std::uint64_t before) {
            if (!sameInterface) return true;
            if (now >= before) return false;
            return row.counters64 || before > std::numeric_limits<std::uint32_t>::max();
        };
        const bool readRestarted = restarted(row.inOctets64, origin_->inOctets64);
        const bool writeRestarted = restarted(row.outOctets64, origin_->outOctets64);
        if (readRestarted) added.read = state.CurRead;
        if (writeRestarted) added.write = state.CurWrite;
        if (readRestarted || writeRestarted) ++state.CounterRestarts;
    }
    origin_ = Origin{row.ifIndex, row.inOctets64, row.outOctets64};
    return added;
}
