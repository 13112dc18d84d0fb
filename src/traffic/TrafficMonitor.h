#pragma once

// The traffic monitor as the main window sees it: the window's handlers stay thin and call
// one function here each. Owns the traffic state, SelectedMac, the sampler, the connection
// log and the speed diagram; the table, the settings and the clock are the window's and are
// only borrowed. The monitor never calls the window: what the window must do after a call
// comes back in the call's result.

#include "platform/Clock.h"
#include "platform/InterfaceTable.h"
#include "platform/SettingsStore.h"
#include "traffic/ConnectionLog.h"
#include "traffic/SpeedDiagram.h"
#include "traffic/TrafficSampler.h"
#include "traffic/TrafficState.h"

#include <QLocale>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <string>

// What the window does after an adapter choice, in this order.
struct AdapterChoice {
    // The traffic state and the diagram history started over: tmrRefresh, tmrDraw and
    // Timer1 start again, a full period from now (Timer1 also after the update due test
    // switched it off).
    bool restartTimers = false;
    // Nothing is selected: the window shows AdapterPrompt() in a message box.
    bool askForAdapter = false;
    // Set when the choice could not be remembered (the settings write failed): SelectedMac
    // is the row's, its reset has not happened, and the error is reported after acting on
    // the fields above. (A table that raises while being read raises out of the choice,
    // before anything is done.)
    std::optional<QString> error;
};

// The only message of the monitor: shown when a choice leaves no adapter selected.
QString AdapterPrompt();

// The texts of the five number fields of one sampling tick, full decimal figures. All five
// are empty while the interface table cannot be read.
struct TrafficFields {
    QString linkSpeed;   // LinkSpeed; empty for an online link that reports no speed
    QString totalRead;   // TotalRead: received since start or the last adapter choice
    QString totalWrite;  // TotalWrite
    QString curRead;     // CurRead: the interface's own received counter
    QString curWrite;    // CurWrite
    // Set when the tick failed; the fields are still to be shown, then the error reported.
    std::optional<QString> error;
};

class TrafficMonitor {
  public:
    TrafficMonitor(InterfaceTable& table, SettingsStore& settings, const Clock& clock,
                   std::string logPath, ConnectionLog::LocaleSource locale = &QLocale::system);

    // Start-up: FirstConnect set, totals zero. (The diagram's clock starts when the
    // monitor is made.)
    void StartUp();

    // Start-up, after the first direct ticks: the whole diagram in the button-face colour.
    void ClearDiagram(std::uint32_t buttonFace) { diagram_.ClearDiagram(buttonFace); }

    // selAdapterDropDown: the items from one read of the table, in table order (the list
    // sorts them). The window keeps its shown text across the rebuild itself.
    QStringList FillAdapterList();

    // selAdapterChange with the text the list shows.
    AdapterChoice ChooseAdapter(const QString& shownText);

    // Restoring at start, after the list is filled: nothing when no adapter is remembered;
    // otherwise the item to show (empty when none matches), after which the window runs
    // selAdapterChange as usual.
    std::optional<QString> RememberedItem(const QStringList& items) const;

    // tmrRefreshTimer: one sampling tick and the texts of the five number fields.
    TrafficFields RefreshTick();

    // The diagram tick: `bars` draws bars rather than lines, `buttonFace` is the background
    // (0xFFRRGGBB). The window restarts its draw timer after it, also when it throws.
    DiagramTickResult DrawTick(bool bars, std::uint32_t buttonFace) {
        return diagram_.Tick(state_, bars, buttonFace);
    }

    // The diagram's picture: DiagramPixels().Pixels() is a Width() x Height() buffer in
    // the layout of QImage::Format_RGB32.
    const DiagramRaster& DiagramPixels() const { return diagram_.Surface(); }
    const SpeedDiagram& Diagram() const { return diagram_; }

    // Timer1Timer: a Status line while online.
    void StatusLogTick();

    const TrafficState& State() const { return state_; }
    const std::string& SelectedAdapter() const { return SelectedMac; }

  private:
    void ResetForNewAdapter();
    TrafficFields Fields() const;

    InterfaceTable& table_;
    SettingsStore& settings_;
    ConnectionLog log_;
    TrafficSampler sampler_;
    SpeedDiagram diagram_;
    TrafficState state_;
    // The address text of the selected adapter, empty when none; for an interface without
    // a hardware address of its own (a tunnel), its whole item text.
    std::string SelectedMac;
};
