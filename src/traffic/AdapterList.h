#pragma once

// The adapter list: which interfaces are offered, how they are named, and the text
// (SelectedMac) by which the selected one is found again on every tick: its address text,
// or for an interface without a hardware address of its own its whole item text.

#include "platform/InterfaceTable.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <string>
#include <vector>

// Upper-case hexadecimal bytes of the hardware address joined by "-"; a row without an
// address reads "00-00-00-00-00-00".
std::string AddressText(const IfRow& row);

// Operational Ethernet, point-to-point and wireless interfaces are offered in the list.
bool IsListable(const IfRow& row);

// The description the table gave (already in the ANSI code page, like every text of the
// program): up to the first NUL, at most 256 bytes, spaces trimmed at both ends.
std::string DescriptionText(const std::string& described);

// "<description> [<address text>]" of a described row, in the ANSI code page.
std::string AdapterItemText(const IfRow& row);

// The items of the adapter list from one read of the table, in table order, as the window
// shows them. Empty when the table cannot be read. The item texts leave the code page for
// Unicode here and nowhere else; the table's Describe() makes the bytes.
QStringList ReadAdapterItems(InterfaceTable& table);

// The same from rows of one read of the table.
QStringList AdapterItems(InterfaceTable& table, std::vector<IfRow>& rows);

// True when the address text occurs anywhere in the text the list shows (case-sensitive).
bool ShownTextHasAddress(const QString& shownText, const std::string& address);

// False for rows whose address tells them from nothing: tunnels (ppp, tun, WireGuard) have
// none and loopback's is all zeros, so all of them read "00-00-00-00-00-00".
bool HasOwnAddress(const IfRow& row);

// selAdapterChange's test of one listable row against the text the list shows: a row with
// an address of its own is chosen when its address text occurs anywhere in the shown text;
// one without must be the shown item itself (its description begins with the interface
// name, unique and the same from run to run, so a remembered item finds it again). Gives
// what SelectedMac becomes, or nothing. Describes the row when it needs the description.
std::optional<std::string> ShownTextSelects(InterfaceTable& table, IfRow& row,
                                            const QString& shownText);

// GetTraffic's test: the row is the one SelectedMac names. Rows of any type and status
// count, but loopback never does. Describes the row only when it may be the one.
bool IsSelectedRow(InterfaceTable& table, IfRow& row, const std::string& selectedMac);

// The first of the items whose whole text equals the remembered one ignoring letter case,
// or the empty text when none does.
QString FindRememberedItem(const QStringList& items, const QString& remembered);
