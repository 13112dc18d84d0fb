#include "traffic/AdapterList.h"

#include "util/CodePage.h"

#include "TrafficFakes.h"

#include <gtest/gtest.h>

TEST(AddressText, FormsOfTheHardwareAddress) {
    EXPECT_EQ(AddressText(MakeRow({}, 1)), "00-00-00-00-00-00");
    EXPECT_EQ(AddressText(MakeRow({0x7F}, 1)), "7F");
    EXPECT_EQ(AddressText(MakeRow({0x00, 0x0C, 0x29, 0xAB, 0x01, 0xFF}, 1)), "00-0C-29-AB-01-FF");
    EXPECT_EQ(AddressText(MakeRow({0xde, 0xad, 0xbe, 0xef, 0x0a, 0xb0, 0x01, 0x02}, 1)),
              "DE-AD-BE-EF-0A-B0-01-02");

    // Bytes past the stated length are not part of the address.
    IfRow row = MakeRow({0x12, 0x34}, 1);
    row.bPhysAddr[2] = 0x56;
    EXPECT_EQ(AddressText(row), "12-34");
}

TEST(AdapterList, OnlyOperationalEthernetPppAndWirelessAreListed) {
    auto row = [](std::uint32_t type, std::uint32_t oper) {
        return MakeRow({1}, 1, 0, 0, 0, "x", type, oper);
    };
    EXPECT_TRUE(IsListable(row(kIfTypeEthernet, 1)));
    EXPECT_TRUE(IsListable(row(kIfTypePpp, 5)));
    EXPECT_TRUE(IsListable(row(kIfTypeWireless, 1)));
    EXPECT_FALSE(IsListable(row(kIfTypeEthernet, 0)));
    EXPECT_FALSE(IsListable(row(kIfTypeWireless, 0)));
    EXPECT_FALSE(IsListable(row(kIfTypeLoopback, 1)));
    EXPECT_FALSE(IsListable(row(kIfTypeOther, 1)));
}

TEST(AdapterList, ItemTextTrimsTheDescriptionAndAddsTheAddress) {
    EXPECT_EQ(AdapterItemText(MakeRow({0x00, 0x0C, 0x29, 0xAB, 0x01, 0xFF}, 1, 0, 0, 0,
                                      "  Fast Ethernet Adapter ")),
              "Fast Ethernet Adapter [00-0C-29-AB-01-FF]");
    // Only spaces are trimmed; the description ends at its first NUL.
    EXPECT_EQ(AdapterItemText(MakeRow({0x7F}, 1, 0, 0, 0, std::string("\teth0 \0junk", 11))),
              "\teth0 [7F]");
    EXPECT_EQ(AdapterItemText(MakeRow({}, 1, 0, 0, 0, "")), " [00-00-00-00-00-00]");
}

TEST(AdapterList, DescriptionIsCutTo256Bytes) {
    EXPECT_EQ(DescriptionText(std::string(300, 'a')), std::string(256, 'a'));
    // The cut happens before trimming: the spaces it leaves at the end go too.
    EXPECT_EQ(DescriptionText(std::string(250, 'b') + std::string(10, ' ') + "tail"),
              std::string(250, 'b'));
}

TEST(AdapterList, ItemTextsKeepTheirCodePageCharactersOnTheWayToTheWindow) {
    // What the window shows and later hands back must turn into the same bytes again.
    FakeInterfaceTable table;
    table.rows =
        std::vector<IfRow>{MakeRow({0xAA}, 1, 0, 0, 0, "Caf\xE9 \xC0\xE4\xE0\xEF\xF2\xE5\xF0")};
    const QStringList items = ReadAdapterItems(table);
    ASSERT_EQ(items.size(), 1);
    EXPECT_EQ(codepage::ToAnsi(items.at(0)), "Caf\xE9 \xC0\xE4\xE0\xEF\xF2\xE5\xF0 [AA]");
    EXPECT_EQ(items.at(0).size(), 17);
}

TEST(AdapterList, ItemsComeFromOneReadAndOnlyListableRowsAreDescribed) {
    FakeInterfaceTable table;
    table.rows = std::vector<IfRow>{
        MakeRow({0xAA}, 1, 0, 0, 0, "Zeta wired"),
        MakeRow({0xBB}, 2, 0, 0, 0, "Loopback", kIfTypeLoopback),
        MakeRow({0xCC}, 3, 0, 0, 0, "Down", kIfTypeEthernet, 0),
        MakeRow({0xDD}, 4, 0, 0, 0, " alpha wifi", kIfTypeWireless),
        MakeRow({0xDD}, 5, 0, 0, 0, " alpha wifi", kIfTypeWireless),
    };
    const QStringList items = ReadAdapterItems(table);
    EXPECT_EQ(items, (QStringList{"Zeta wired [AA]", "alpha wifi [DD]", "alpha wifi [DD]"}));
    EXPECT_EQ(table.reads, 1);
    EXPECT_EQ(table.described, (std::vector<std::string>{"if1", "if4", "if5"}));

    table.rows.reset();
    EXPECT_TRUE(ReadAdapterItems(table).isEmpty());
}

TEST(AdapterList, ShownTextContainsAddressCaseSensitively) {
    EXPECT_TRUE(ShownTextHasAddress("NIC [00-0C-29-AB-01-FF]", "00-0C-29-AB-01-FF"));
    EXPECT_TRUE(ShownTextHasAddress("Bridge to 0A-0B [11]", "0A-0B"));
    EXPECT_FALSE(ShownTextHasAddress("nic [00-0c-29-ab-01-ff]", "00-0C-29-AB-01-FF"));
    EXPECT_FALSE(ShownTextHasAddress("", "7F"));
}

TEST(AdapterList, RememberedItemMatchesWholeTextIgnoringCase) {
    const QStringList items{"Fast Ethernet [AA-BB]", "Wireless [CC-DD]"};
    EXPECT_EQ(FindRememberedItem(items, "wireless [cc-dd]"), "Wireless [CC-DD]");
    EXPECT_EQ(FindRememberedItem(items, "Wireless [CC-DD]"), "Wireless [CC-DD]");
    EXPECT_EQ(FindRememberedItem(items, "Wireless 2 [CC-DD]"), QString());
    EXPECT_EQ(FindRememberedItem(items, "Wireless"), QString());
    EXPECT_EQ(FindRememberedItem({}, "x"), QString());
}
