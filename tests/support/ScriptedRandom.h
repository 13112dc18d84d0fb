#pragma once

// Chance that draws the numbers the test gives, in order, and keeps the limits asked for.

#include "platform/RandomSource.h"

#include <deque>
#include <stdexcept>
#include <vector>

class ScriptedRandom final : public RandomSource {
  public:
    std::deque<int> numbers;  // drawn in order; 0 once they are used up
    std::vector<int> limits;

    int Bounded(int limit) override {
        limits.push_back(limit);
        if (numbers.empty()) return 0;
        const int number = numbers.front();
        numbers.pop_front();
        if (number < 0 || number >= limit) throw std::logic_error("a number out of range");
        return number;
    }
};
