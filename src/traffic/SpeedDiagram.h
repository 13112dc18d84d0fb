#pragma once

// The rate diagram of the traffic monitor. Once a second its tick turns the change of the
// selected adapter's byte counters into one received and one sent rate sample in bytes
// per second, keeps the last HistoryLen samples of each direction, and paints them into a
// pixel buffer as bars or lines, scaled to the recent maximum. The same tick yields the
// online indication, the rate labels and the tray picture and tooltip; the window only
// shows what it returns.

#include "platform/Clock.h"
#include "traffic/DiagramRaster.h"
#include "traffic/TrafficState.h"

#include <QDateTime>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// What one diagram tick asks the window to show. Texts are in the ANSI code page.
struct DiagramTickResult {
    bool online = false;     // the adapter was online: a sample was added, the picture repainted
    std::string onlineText;  // "Online" or "Offline"
    // The rates and the scale are written by online ticks only; an offline tick leaves
    // what is shown alone.
    std::optional<std::string> newestReadRate;    // newest received sample + " B/s"
    std::optional<std::string> averageReadRate;   // average received sample + " B/s"
    std::optional<std::string> newestWriteRate;   // newest sent sample + " B/s"
    std::optional<std::string> averageWriteRate;  // average sent sample + " B/s"
    std::optional<std::string> scaleText;         // ScaleKb + "Kb"
    int trayImage = 0;                            // 0 idle or offline, 1 receiving
    std::string trayTooltip;                      // at most 255 characters
};

class SpeedDiagram {
  public:
    static constexpr int kSurfaceWidth = 342;  // the window shows it pixel for pixel
    static constexpr int kSurfaceHeight = 39;

    // Start-up: DiagramHeight := surface height + 1, LastDrawTime := now, no history slots
    // until the first ResetHistory. The surface is black until ClearDiagram paints it.
    explicit SpeedDiagram(const Clock& clock, int surfaceWidth = kSurfaceWidth,
                          int surfaceHeight = kSurfaceHeight);

    // The start-up clear: every pixel in the button-face colour (0xFFRRGGBB).
    void ClearDiagram(std::uint32_t buttonFace);

    // An adapter choice: HistoryPos := 0, HistoryLen := surface width, both histories
    // resized to it (samples already held keep their values, new slots are 0). The
    // previous readings are forgotten too, so the first samples for the new adapter are
    // zero rather than the difference between two adapters' counters.
    void ResetHistory();

    // The diagram tick. `bars` selects bars rather than lines; `buttonFace` is the
    // background colour. If it throws (only std::bad_alloc can), no sample is added,
    // the picture is untouched and the next tick measures from the same previous readings;
    // the caller restarts tmrDraw either way.
    DiagramTickResult Tick(const TrafficState& state, bool bars, std::uint32_t buttonFace);

    // The picture: Surface().Pixels() is a Width() × Height() QImage::Format_RGB32 buffer.
    const DiagramRaster& Surface() const { return surface_; }

    // Rate samples in bytes per second, unsigned 64-bit: never negative, and a 100 Gbit/s
    // link fits.
    const std::vector<std::uint64_t>& ReadHistory() const { return readHistory_; }
    const std::vector<std::uint64_t>& WriteHistory() const { return writeHistory_; }
    std::uint32_t HistoryLen() const { return historyLen_; }
    std::uint32_t HistoryPos() const { return historyPos_; }
    std::uint32_t DiagramHeight() const { return diagramHeight_; }
    std::uint64_t ScaleKb() const { return scaleKb_; }
    // The readings of the previous online tick; HasPrevious() is false when there is none
    // (first online tick after start, an adapter choice or an offline tick).
    bool HasPrevious() const { return hasPrevious_; }
    std::uint64_t DrawPrevRead() const { return drawPrevRead_; }
    std::uint64_t DrawPrevWrite() const { return drawPrevWrite_; }
    const QDateTime& LastDrawTime() const { return lastDrawTime_; }

  private:
    const Clock& clock_;
    DiagramRaster surface_;
    std::vector<std::uint64_t> readHistory_;
    std::vector<std::uint64_t> writeHistory_;
    std::uint32_t historyLen_ = 0;
    std::uint32_t historyPos_ = 0;
    std::uint32_t diagramHeight_;
    std::uint64_t scaleKb_ = 1;
    bool hasPrevious_ = false;
    std::uint64_t drawPrevRead_ = 0;
    std::uint64_t drawPrevWrite_ = 0;
    QDateTime lastDrawTime_;
    std::uint32_t seenCounterRestarts_ = 0;  // CounterRestarts at the previous tick
};
