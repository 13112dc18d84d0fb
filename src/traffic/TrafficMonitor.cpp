#include "traffic/TrafficMonitor.h"

#include "traffic/AdapterList.h"

#include <exception>

namespace {

const QString kAdapterSetting = QStringLiteral("adapter");

QString Number(std::uint64_t value) {
    return QString::number(value);
}

}  // namespace

QString AdapterPrompt() {
    return QStringLiteral("Пожалуйста выберите сетевой адаптер");
}

TrafficMonitor::TrafficMonitor(InterfaceTable& table, SettingsStore& settings, const Clock& clock,
                               std::string logPath, ConnectionLog::LocaleSource locale)
    : table_(table),
      settings_(settings),
      log_(std::move(logPath), clock, std::move(locale)),
      sampler_(table),
      diagram_(clock) {}

void TrafficMonitor::StartUp() {
    state_.FirstConnect = true;
    state_.TotalRead = 0;
    state_.TotalWrite = 0;
}

QStringList TrafficMonitor::FillAdapterList() {
    auto rows = table_.Read();
    if (!rows) return {};
    // The ticks go on reading the first row with the selected address in this table.
    sampler_.FollowTable(*rows, SelectedMac);
    return AdapterItems(table_, *rows);
}

AdapterChoice TrafficMonitor::ChooseAdapter(const QString& shownText) {
    AdapterChoice choice;
    SelectedMac.clear();
    // Every listable row the shown text selects is taken in turn, so the last of them in
    // table order wins. An unreadable table selects nothing; there is no system library to
    // load first, so no choice ends before the prompt.
    if (auto rows = table_.Read()) {
        for (IfRow& row : *rows) {
            if (!IsListable(row)) continue;
            std::optional<std::string> selected = ShownTextSelects(table_, row, shownText);
            if (!selected) continue;
            SelectedMac = std::move(*selected);
            try {
                settings_.WriteString(kAdapterSetting, shownText);
            } catch (const SettingsError& e) {
                // The choice ends here; what it did for an earlier row stands.
                choice.error = QString::fromLocal8Bit(e.what());
                return choice;
            }
            ResetForNewAdapter();
            choice.restartTimers = true;
        }
    }
    choice.askForAdapter = SelectedMac.empty();
    return choice;
}

std::optional<QString> TrafficMonitor::RememberedItem(const QStringList& items) const {
    const QString remembered = settings_.ReadString(kAdapterSetting).value_or(QString());
    if (remembered.isEmpty()) return std::nullopt;
    return FindRememberedItem(items, remembered);
}

TrafficFields TrafficMonitor::RefreshTick() {
    std::optional<QString> error;
    try {
        sampler_.Tick(state_, SelectedMac,
                      [this](const TrafficState& s) { log_.AppendConnect(s); });
    } catch (const std::exception& e) {
        error = QString::fromLocal8Bit(e.what());
    }
    TrafficFields fields = Fields();
    fields.error = std::move(error);
    return fields;
}

void TrafficMonitor::StatusLogTick() {
    if (state_.Online) log_.AppendStatus(state_);
}

void TrafficMonitor::ResetForNewAdapter() {
    const bool firstConnect = state_.FirstConnect;
    const std::uint32_t restarts = state_.CounterRestarts;
    state_ = TrafficState{};
    state_.FirstConnect = firstConnect;
    state_.CounterRestarts = restarts;
    sampler_.ForgetAdapter();
    diagram_.ResetHistory();
}

TrafficFields TrafficMonitor::Fields() const {
    // An unreadable table shows no figures at all: the last ones, frozen, would pass for
    // current. A link that reports no speed shows none rather than one of ours.
    if (state_.TableUnreadable) return {};
    const bool noSpeed = state_.Online && state_.LinkSpeed == 0;
    return {.linkSpeed = noSpeed ? QString() : Number(state_.LinkSpeed),
            .totalRead = Number(state_.TotalRead),
            .totalWrite = Number(state_.TotalWrite),
            .curRead = Number(state_.CurRead),
            .curWrite = Number(state_.CurWrite),
            .error = std::nullopt};
}
