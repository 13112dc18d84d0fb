#include "FakeInterfaceTable.h"

#include <stdexcept>

IfRow MakeRow(std::initializer_list<std::uint8_t> address, std::uint32_t ifIndex,
              std::uint64_t in64, std::uint64_t out64, std::uint64_t speed, std::string descr,
              std::uint32_t type, std::uint32_t operStatus) {
    IfRow row;
    row.dwType = type;
    row.dwOperStatus = operStatus;
    row.dwPhysAddrLen = static_cast<std::uint32_t>(address.size());
    std::size_t i = 0;
    for (const std::uint8_t b : address)
        row.bPhysAddr.at(i++) = b;
    row.bDescr = std::move(descr);
    row.dwSpeed = speed;
    row.ifIndex = ifIndex;
    row.name = "if" + std::to_string(ifIndex);
    SetCounters(row, in64, out64);
    return row;
}

void SetCounters(IfRow& row, std::uint64_t in64, std::uint64_t out64) {
    row.dwInOctets = in64;
    row.dwOutOctets = out64;
}

std::optional<IfRow> FakeInterfaceTable::ReadLink(std::uint32_t ifIndex) {
    ++linkReads;
    --reads;  // the lookup below is no read of the whole table
    return InterfaceTable::ReadLink(ifIndex);
}

std::optional<std::vector<IfRow>> FakeInterfaceTable::Read() {
    ++reads;
    if (throwOnRead) throw std::runtime_error("interface table exploded");
    if (!rows) return std::nullopt;
    std::vector<IfRow> snapshot = *rows;
    for (IfRow& row : snapshot) {
        row.bDescr.clear();
        row.dwSpeed = 0;
    }
    return snapshot;
}

void FakeInterfaceTable::Describe(IfRow& row) {
    described.push_back(row.name);
    if (const IfRow* known = Find(row)) row.bDescr = known->bDescr;
}

void FakeInterfaceTable::MeasureSpeed(IfRow& row) {
    if (const IfRow* known = Find(row)) row.dwSpeed = known->dwSpeed;
}

const IfRow* FakeInterfaceTable::Find(const IfRow& row) const {
    if (!rows) return nullptr;
    for (const IfRow& known : *rows) {
        if (known.ifIndex == row.ifIndex) return &known;
    }
    return nullptr;
}
