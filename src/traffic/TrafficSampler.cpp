#include "traffic/TrafficSampler.h"

#include "traffic/AdapterList.h"

#include <algorithm>

void TrafficSampler::Tick(TrafficState& state, const std::string& selectedMac,
                          const ConnectWriter& writeConnect) {
    state.PrevRead = state.CurRead;
    state.PrevWrite = state.CurWrite;
    const Increments added = GetTraffic(state, selectedMac);
    if (!state.Online) return;
    if (state.FirstConnect) {
        state.FirstConnect = false;
        writeConnect(state);
    }
    state.TotalRead += added.read;
    state.TotalWrite += added.write;
}

void TrafficSampler::FollowTable(std::vector<IfRow>& rows, const std::string& selectedMac) {
    if (selectedMac.empty()) return;
    const auto row = std::find_if(rows.begin(), rows.end(),
                                  [&](IfRow& r) { return IsSelectedRow(table_, r, selectedMac); });
    if (row != rows.end()) link_ = row->ifIndex;
}

std::optional<IfRow> TrafficSampler::FindSelected(TrafficState& state,
                                                  const std::string& selectedMac) {
    if (link_) {
        std::optional<IfRow> row = table_.ReadLink(*link_);
        if (row && IsSelectedRow(table_, *row, selectedMac)) return row;
    }
    auto rows = table_.Read();
    state.TableUnreadable = !rows;
    if (!rows) return std::nullopt;
    const auto row = std::find_if(rows->begin(), rows->end(),
                                  [&](IfRow& r) { return IsSelectedRow(table_, r, selectedMac); });
    if (row == rows->end()) return std::nullopt;
    return std::move(*row);
}

TrafficSampler::Increments TrafficSampler::GetTraffic(TrafficState& state,
                                                      const std::string& selectedMac) {
    // Nothing selected: nothing to ask the system about, and no failed read to show.
    std::optional<IfRow> row;
    if (selectedMac.empty()) {
        state.TableUnreadable = false;
    } else {
        row = FindSelected(state, selectedMac);
    }
    if (!row) {
        // Gone (unplugged, removed), none selected, or the table unreadable: offline, the
        // readings stay as they were. Nothing current is known, so no speed is either.
        state.Online = false;
        state.LinkSpeed = 0;
        link_.reset();
        return {};
    }
    state.TableUnreadable = false;
    link_ = row->ifIndex;
    table_.MeasureSpeed(*row);
    state.CurRead = row->dwInOctets;
    state.CurWrite = row->dwOutOctets;
    state.LinkSpeed = row->dwSpeed;
    state.Online = row->dwOperStatus != 0;
    state.Counters32 = !row->counters64;
    return IncrementsOf(*row, state);
}

TrafficSampler::Increments TrafficSampler::IncrementsOf(const IfRow& row, TrafficState& state) {
    // A counter that wrapped at 2^32 is counted exactly by the modulo difference.
    Increments added{CounterDelta(state.CurRead, state.PrevRead, state.Counters32),
                     CounterDelta(state.CurWrite, state.PrevWrite, state.Counters32)};
    // Another interface behind the address, or full-width counters of which either went
    // down: the interface started again (re-created, reset). That is one event for both
    // directions, since the other counter may have climbed past its old value by the time
    // it is read: what the new counters show is all that is known to have passed since.
    if (origin_) {
        const bool otherInterface = row.ifIndex != origin_->ifIndex;
        const bool wentDown =
            row.counters64 && (row.dwInOctets < origin_->in || row.dwOutOctets < origin_->out);
        if (otherInterface || wentDown) {
            added = {state.CurRead, state.CurWrite};
            ++state.CounterRestarts;
        }
    }
    origin_ = Origin{row.ifIndex, row.dwInOctets, row.dwOutOctets};
    return added;
}
