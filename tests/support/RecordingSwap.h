#pragma once

// A swap of the running executable that only records what it was asked to do, or fails as
// a script that cannot be started does.

#include "online/SwapScript.h"

#include <stdexcept>
#include <vector>

class RecordingSwap final : public updatecheck::SwapInstaller {
  public:
    std::vector<updatecheck::SwapPlan> plans;
    bool fail = false;

    void Install(const updatecheck::SwapPlan& plan) override {
        if (fail) throw std::runtime_error("cannot start the script");
        plans.push_back(plan);
    }
};
