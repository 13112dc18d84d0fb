#include "traffic/AdapterList.h"

#include "util/CodePage.h"
#include "util/funcQuendra.h"

#include <algorithm>

namespace {

constexpr std::size_t kMaxDescription = 256;

}  // namespace

std::string AddressText(const IfRow& row) {
    if (row.dwPhysAddrLen == 0) return "00-00-00-00-00-00";
    static constexpr char kHex[] = "0123456789ABCDEF";
    const std::size_t length = std::min<std::size_t>(row.dwPhysAddrLen, row.bPhysAddr.size());
    std::string text;
    for (std::size_t i = 0; i < length; ++i) {
        if (i > 0) text += '-';
        text += kHex[row.bPhysAddr[i] >> 4];
        text += kHex[row.bPhysAddr[i] & 0x0F];
    }
    return text;
}

bool IsListable(const IfRow& row) {
    const bool knownType =
        row.dwType == kIfTypeEthernet || row.dwType == kIfTypePpp || row.dwType == kIfTypeWireless;
    return knownType && row.dwOperStatus != 0;
}

std::string DescriptionText(const std::string& described) {
    std::string text = described.substr(0, std::min(described.find('\0'), kMaxDescription));
    return TrimSpaces(std::move(text));
}

std::string AdapterItemText(const IfRow& row) {
    return DescriptionText(row.bDescr) + " [" + AddressText(row) + "]";
}

QStringList ReadAdapterItems(InterfaceTable& table) {
    auto rows = table.Read();
    if (!rows) return {};
    return AdapterItems(table, *rows);
}

QStringList AdapterItems(InterfaceTable& table, std::vector<IfRow>& rows) {
    QStringList items;
    for (IfRow& row : rows) {
        if (!IsListable(row)) continue;
        table.Describe(row);
        items << codepage::FromAnsi(AdapterItemText(row));
    }
    return items;
}

bool ShownTextHasAddress(const QString& shownText, const std::string& address) {
    // The address text is plain ASCII, so the test on the Unicode text gives the same answer
    // as on the code-page bytes.
    return shownText.contains(QLatin1StringView(address.data(), std::ssize(address)),
                              Qt::CaseSensitive);
}

bool HasOwnAddress(const IfRow& row) {
    const std::size_t length = std::min<std::size_t>(row.dwPhysAddrLen, row.bPhysAddr.size());
    return std::any_of(row.bPhysAddr.begin(), row.bPhysAddr.begin() + length,
                       [](std::uint8_t b) { return b != 0; });
}

std::optional<std::string> ShownTextSelects(InterfaceTable& table, IfRow& row,
                                            const QString& shownText) {
    if (HasOwnAddress(row)) {
        std::string address = AddressText(row);
        if (!ShownTextHasAddress(shownText, address)) return std::nullopt;
        return address;
    }
    // A substring test would let "tun1" pick "xtun1" as well: the whole item it must be.
    table.Describe(row);
    std::string item = AdapterItemText(row);
    if (codepage::FromAnsi(item) != shownText) return std::nullopt;
    return item;
}

bool IsSelectedRow(InterfaceTable& table, IfRow& row, const std::string& selectedMac) {
    if (HasOwnAddress(row)) return AddressText(row) == selectedMac;
    if (row.dwType == kIfTypeLoopback) return false;
    // Only an item text that ends in this row's address can be this row's: the others need
    // no description on every tick.
    if (!selectedMac.ends_with(" [" + AddressText(row) + "]")) return false;
    table.Describe(row);
    return AdapterItemText(row) == selectedMac;
}

QString FindRememberedItem(const QStringList& items, const QString& remembered) {
    for (const QString& item : items) {
        if (item.compare(remembered, Qt::CaseInsensitive) == 0) return item;
    }
    return {};
}
