#pragma once

// The shared fakes the traffic tests drive the core with.

#include "FakeClock.h"
#include "FakeInterfaceTable.h"
#include "FakeSettings.h"
