#include "platform/SystemInterfaceTable.h"

#include "platform/linux/NetlinkInterfaceTable.h"

std::unique_ptr<InterfaceTable> MakeSystemInterfaceTable() {
    return std::make_unique<NetlinkInterfaceTable>();
}
