#include "traffic/SpeedDiagram.h"

#include <algorithm>
#include <utility>

namespace {

constexpr std::size_t kTooltipMax = 255;

// Bytes of one interval over its length in ms, as bytes per second: the quotient in
// extended precision, rounded half to even, kept as its low 32 bits (so a rate of 2^31
// or more reads as negative, as the history's signed slots have always held it).
std::int32_t RateSample(std::uint32_t bytes, std::uint32_t elapsedMs) {
    const long double rate =
        static_cast<long double>(bytes) / static_cast<long double>(elapsedMs) * 1000.0L;
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(RoundHalfEven(rate)));
}

// Raises the scale to ⌈sample / 1000⌉ when the sample lies above it; negative samples
// have no height to show and are ignored.
void WidenScale(std::uint32_t& scaleKb, std::int32_t sample) {
    if (sample < 0) return;
    const auto value = static_cast<std::uint64_t>(sample);
    if (value > static_cast<std::uint64_t>(scaleKb) * 1000u) {
        scaleKb = static_cast<std::uint32_t>(value / 1000u + (value % 1000u != 0 ? 1u : 0u));
    }
}

}  // namespace

SpeedDiagram::SpeedDiagram(const Clock& clock, int surfaceWidth, int surfaceHeight)
    : clock_(clock),
      surface_(surfaceWidth, surfaceHeight),
      diagramHeight_(static_cast<std::uint32_t>(surfaceHeight) + 1),
      lastDrawTime_(clock.Now()) {}

void SpeedDiagram::ClearDiagram(std::uint32_t buttonFace) {
    surface_.Fill(buttonFace);
}

void SpeedDiagram::ResetHistory() {
    const auto len = static_cast<std::uint32_t>(surface_.Width());
    std::vector<std::int32_t> read = readHistory_;
    std::vector<std::int32_t> write = writeHistory_;
    read.resize(len, 0);
    write.resize(len, 0);
    readHistory_.swap(read);
    writeHistory_.swap(write);
    historyLen_ = len;
    historyPos_ = 0;
    drawPrevRead_ = 0;
    drawPrevWrite_ = 0;
}

DiagramTickResult SpeedDiagram::Tick(const TrafficState& state, bool bars,
                                     std::uint32_t buttonFace) {
    // Whole milliseconds since the previous tick, low 32 bits, never 0. A clock set back
    // counts by its distance, like any other gap.
    const QDateTime now = clock_.Now();
    qint64 ms = lastDrawTime_.msecsTo(now);
    if (ms < 0) ms = -ms;
    std::uint32_t elapsed = static_cast<std::uint32_t>(static_cast<quint64>(ms));
    if (elapsed == 0) elapsed = 1;

    DiagramTickResult result;
    if (state.LinkSpeed == 0) {
        // Offline: the picture, the rate labels and the history stay as they are; the next
        // online tick starts from a zero sample.
        result.onlineText = "Offline";
        result.trayImage = 0;
        result.trayTooltip = "Pellmor ( OFFline )";
        lastDrawTime_ = now;
        drawPrevRead_ = 0;
        drawPrevWrite_ = 0;
        seenCounterRestarts_ = state.CounterRestarts;
        return result;
    }

    // An online reading before any adapter choice has no history to go to: make one.
    if (readHistory_.empty()) ResetHistory();

    const std::uint32_t p = historyPos_;

    // A counter that started again from a lower value says nothing about the rate of this
    // interval; it gets a zero sample, as the first reading does.
    const bool restarted = state.CounterRestarts != seenCounterRestarts_;
    std::int32_t newRead = 0;
    std::int32_t newWrite = 0;
    if (drawPrevRead_ != 0 && !restarted) {
        newRead = RateSample(state.CurRead - drawPrevRead_, elapsed);
        newWrite = RateSample(state.CurWrite - drawPrevWrite_, elapsed);
    }
    const std::int32_t oldRead = readHistory_[p];
    const std::int32_t oldWrite = writeHistory_[p];
    readHistory_[p] = newRead;
    writeHistory_[p] = newWrite;

    // The scale follows the newest third of the history (plus one sample) in both
    // directions; the averages take all of it.
    std::uint32_t scaleKb = 1;
    for (std::uint32_t i = p - p / 3; i <= p; ++i) {
        WidenScale(scaleKb, readHistory_[i]);
        WidenScale(scaleKb, writeHistory_[i]);
    }
    std::uint32_t sumRead = 0;
    std::uint32_t sumWrite = 0;
    for (std::uint32_t i = 0; i <= p; ++i) {
        sumRead += static_cast<std::uint32_t>(readHistory_[i]);
        sumWrite += static_cast<std::uint32_t>(writeHistory_[i]);
    }

    try {
        result.online = true;
        result.onlineText = "Online";
        result.averageReadRate = std::to_string(sumRead / (p + 1)) + " B/s";
        result.averageWriteRate = std::to_string(sumWrite / (p + 1)) + " B/s";
        result.scaleText = std::to_string(scaleKb) + "Kb";
        result.newestReadRate = std::to_string(newRead) + " B/s";
        result.newestWriteRate = std::to_string(newWrite) + " B/s";
        result.trayImage = newRead != 0 ? 1 : 0;  // sending alone keeps the idle picture
        std::string tooltip = "Pellmor ( Online " + std::to_string(state.LinkSpeed) + " ) " +
                              std::to_string(newRead) + " B/s";
        if (tooltip.size() > kTooltipMax) tooltip.resize(kTooltipMax);
        result.trayTooltip = std::move(tooltip);
    } catch (...) {
        readHistory_[p] = oldRead;
        writeHistory_[p] = oldWrite;
        throw;
    }

    // From here on nothing can fail.
    scaleKb_ = scaleKb;
    const DiagramView view{readHistory_, writeHistory_, p, diagramHeight_, scaleKb_};
    if (bars) {
        DrawBars(surface_, view, buttonFace);
    } else {
        DrawLines(surface_, view, buttonFace);
    }

    // Advance; once the history is full, the oldest sample drops out and the last slot
    // waits for the next sample.
    historyPos_ = p + 1;
    if (historyPos_ == historyLen_) {
        historyPos_ = historyLen_ - 1;
        std::copy(readHistory_.begin() + 1, readHistory_.end(), readHistory_.begin());
        std::copy(writeHistory_.begin() + 1, writeHistory_.end(), writeHistory_.begin());
    }

    drawPrevRead_ = state.CurRead;
    drawPrevWrite_ = state.CurWrite;
    lastDrawTime_ = now;
    seenCounterRestarts_ = state.CounterRestarts;
    return result;
}
