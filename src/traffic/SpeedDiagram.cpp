#include "traffic/SpeedDiagram.h"

#include <algorithm>
#include <utility>

namespace {

constexpr std::size_t kTooltipMax = 255;

// Far above any link, and still inside what the rounding and the scale can work with.
constexpr std::uint64_t kMaxRate = 1'000'000'000'000'000'000ULL;

// Bytes of one interval over its length in ms, as bytes per second: the quotient in
// extended precision, rounded half to even.
std::uint64_t RateSample(std::uint64_t bytes, std::uint32_t elapsedMs) {
    const long double rate =
        static_cast<long double>(bytes) / static_cast<long double>(elapsedMs) * 1000.0L;
    if (rate >= static_cast<long double>(kMaxRate)) return kMaxRate;
    return static_cast<std::uint64_t>(RoundHalfEven(rate));
}

// Raises the scale to ⌈sample / 1000⌉ when the sample lies above it.
void WidenScale(std::uint64_t& scaleKb, std::uint64_t sample) {
    if (sample > scaleKb * 1000u) scaleKb = sample / 1000u + (sample % 1000u != 0 ? 1u : 0u);
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
    std::vector<std::uint64_t> read = readHistory_;
    std::vector<std::uint64_t> write = writeHistory_;
    read.resize(len, 0);
    write.resize(len, 0);
    readHistory_.swap(read);
    writeHistory_.swap(write);
    historyLen_ = len;
    historyPos_ = 0;
    hasPrevious_ = false;
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
    if (!state.Online) {
        // Offline: the picture, the rate labels and the history stay as they are; the next
        // online tick starts from a zero sample.
        result.onlineText = "Offline";
        result.trayImage = 0;
        result.trayTooltip = "Pellmor ( OFFline )";
        lastDrawTime_ = now;
        hasPrevious_ = false;
        drawPrevRead_ = 0;
        drawPrevWrite_ = 0;
        seenCounterRestarts_ = state.CounterRestarts;
        return result;
    }

    // An online reading before any adapter choice has no history to go to: make one.
    if (readHistory_.empty()) ResetHistory();

    const std::uint32_t p = historyPos_;

    // Without an earlier reading nothing is known of this interval: zero samples. Otherwise
    // each direction's sample comes from its own counter alone, so a link that only sends
    // shows its sending. An interface that started again since the previous tick passed
    // what its new counters show within this interval, as the totals count it.
    const bool restarted = state.CounterRestarts != seenCounterRestarts_;
    std::uint64_t newRead = 0;
    std::uint64_t newWrite = 0;
    if (hasPrevious_) {
        const auto passed = [&](std::uint64_t now, std::uint64_t before) {
            return restarted ? now : CounterDelta(now, before, state.Counters32);
        };
        newRead = RateSample(passed(state.CurRead, drawPrevRead_), elapsed);
        newWrite = RateSample(passed(state.CurWrite, drawPrevWrite_), elapsed);
    }
    const std::uint64_t oldRead = readHistory_[p];
    const std::uint64_t oldWrite = writeHistory_[p];
    readHistory_[p] = newRead;
    writeHistory_[p] = newWrite;

    // The scale follows the newest third of the history (plus one sample) in both
    // directions; the averages take all of it.
    std::uint64_t scaleKb = 1;
    for (std::uint32_t i = p - p / 3; i <= p; ++i) {
        WidenScale(scaleKb, readHistory_[i]);
        WidenScale(scaleKb, writeHistory_[i]);
    }
    std::uint64_t sumRead = 0;
    std::uint64_t sumWrite = 0;
    for (std::uint32_t i = 0; i <= p; ++i) {
        sumRead += readHistory_[i];
        sumWrite += writeHistory_[i];
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
        // A link that reports no speed gets no figure of ours.
        const std::string speed =
            state.LinkSpeed != 0 ? std::to_string(state.LinkSpeed) + " " : std::string();
        std::string tooltip = "Pellmor ( Online " + speed + ") " + std::to_string(newRead) + " B/s";
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

    hasPrevious_ = true;
    drawPrevRead_ = state.CurRead;
    drawPrevWrite_ = state.CurWrite;
    lastDrawTime_ = now;
    seenCounterRestarts_ = state.CounterRestarts;
    return result;
}
