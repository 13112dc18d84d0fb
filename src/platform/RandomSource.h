#pragma once

// Chance as the program sees it, injected so that tests know the number drawn.

#include <QRandomGenerator>

class RandomSource {
  public:
    virtual ~RandomSource() = default;
    // A number from 0 to `limit` - 1; `limit` is positive.
    virtual int Bounded(int limit) = 0;
};

// The system's generator.
class SystemRandom final : public RandomSource {
  public:
    int Bounded(int limit) override { return QRandomGenerator::global()->bounded(limit); }
};
