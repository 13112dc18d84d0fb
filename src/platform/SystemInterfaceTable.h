#pragma once

// The interface table of the machine the program runs on.

#include "platform/InterfaceTable.h"

#include <memory>

std::unique_ptr<InterfaceTable> MakeSystemInterfaceTable();
