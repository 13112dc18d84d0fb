// The interface table of a Linux machine: the kernel's, over rtnetlink.

#include "platform/SystemInterfaceTable.h"

#include "platform/linux/NetlinkInterfaceTable.h"

std::unique_ptr<InterfaceTable> MakeSystemInterfaceTable() {
    return std::make_unique<NetlinkInterfaceTable>();
}
