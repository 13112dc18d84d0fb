#pragma once

// The shared fakes, and a recorder of the monitor's timer calls.

#include "FakeClock.h"
#include "FakeInterfaceTable.h"
#include "FakeSettings.h"
#include "traffic/TrafficMonitor.h"

#include <functional>
#include <string>
#include <vector>

// Records stops and starts; the hooks let a test look at the monitor at those moments.
class FakeTimers final : public MonitorTimers {
  public:
    std::vector<std::string> events;
    std::function<void()> onStop;
    std::function<void()> onStart;

    void StopMonitorTimers() override {
        events.push_back("stop");
        if (onStop) onStop();
    }
    void StartMonitorTimers() override {
        events.push_back("start");
        if (onStart) onStart();
    }
};
