#pragma once

// Stand-ins for what the update check borrows: a settings store that keeps typed values, a
// clock the test moves, a scripted HTTP client that moves that clock while it polls, and a
// swap that only records what it was asked to do.

#include "online/HttpClient.h"
#include "online/SwapScript.h"
#include "platform/Clock.h"
#include "platform/SettingsStore.h"

#include <QByteArray>
#include <QDateTime>
#include <QMap>
#include <QSet>

#include <cstdint>
#include <deque>
#include <string>
#include <vector>

namespace updatetest {

class FakeClock final : public Clock {
  public:
    QDateTime now{QDate(2026, 12, 7), QTime(4, 15, 9)};
    QDateTime Now() const override { return now; }
    void Advance(int seconds) { now = now.addSecs(seconds); }
};

class TypedSettings final : public SettingsStore {
  public:
    QMap<QString, QByteArray> bytes;
    QSet<QString> others;  // values of another type (text, a number)
    int writes = 0;

    SettingType TypeOf(const QString& name) const override {
        if (others.contains(name)) return SettingType::Other;
        return bytes.contains(name) ? SettingType::Bytes : SettingType::Missing;
    }
    std::optional<QString> ReadString(const QString&) const override { return std::nullopt; }
    std::optional<QByteArray> ReadBytes(const QString& name) const override {
        if (!bytes.contains(name)) return std::nullopt;
        return bytes.value(name);
    }
    void WriteString(const QString&, const QString&) override {}
    void WriteBytes(const QString& name, const QByteArray& value) override {
        ++writes;
        others.remove(name);
        bytes[name] = value;
    }
};

// One answer as the client would see it once redirections are followed.
struct Answer {
    std::int64_t contentLength = -1;
    std::string location = "https://update.example.com/cgi-bin/download.pl";
    std::string peer = "93.184.216.34";
    std::vector<std::string> blocks;
    int gapSeconds = 0;   // the clock moves this much, in one poll, before each block
    int silentPolls = 0;  // polls of 10 seconds each after the blocks
    bool ends = true;     // OnDocEnd after the blocks (when there were any)
    int status = 200;     // 400 or more: HttpError after the blocks
};

class ScriptedHttp final : public HttpClient {
  public:
    explicit ScriptedHttp(FakeClock& clock) : clock_(clock) {}

    std::deque<Answer> heads, gets;
    std::vector<std::string> requested;  // "HEAD url" / "GET url"
    int polls = 0;
    int aborts = 0;

    void Head() override {
        requested.push_back("HEAD " + URL);
        Take(heads);
        if (current_.status >= 400) throw HttpError(current_.status, "HTTP error");
    }

    void Get() override {
        requested.push_back("GET " + URL);
        Take(gets);
        for (const std::string& block : current_.blocks) {
            if (!Poll(current_.gapSeconds)) return;
            received_ += static_cast<std::int64_t>(block.size());
            if (events.OnDocData) events.OnDocData(block.data(), block.size());
            if (aborted_) return;
        }
        for (int i = 0; i < current_.silentPolls; ++i)
            if (!Poll(10)) return;
        if (current_.status >= 400) throw HttpError(current_.status, "HTTP error");
        if (current_.ends && !current_.blocks.empty() && events.OnDocEnd) events.OnDocEnd();
    }

    void Abort() override {
        ++aborts;
        aborted_ = true;
    }
    bool Busy() const override { return false; }
    std::int64_t ContentLength() const override { return current_.contentLength; }
    std::int64_t RcvdCount() const override { return received_; }
    std::string Location() const override { return current_.location; }
    std::string PeerAddress() const override { return current_.peer; }

  private:
    void Take(std::deque<Answer>& queue) {
        current_ = Answer();
        current_.status = 404;  // asked more often than scripted
        if (!queue.empty()) {
            current_ = queue.front();
            queue.pop_front();
        }
        received_ = 0;
        aborted_ = false;
    }
    bool Poll(int seconds) {
        ++polls;
        clock_.Advance(seconds);
        if (events.OnPoll) events.OnPoll();
        return !aborted_;
    }

    FakeClock& clock_;
    Answer current_;
    std::int64_t received_ = 0;
    bool aborted_ = false;
};

class RecordingSwap final : public updatecheck::SwapInstaller {
  public:
    std::vector<updatecheck::SwapPlan> plans;
    bool fail = false;
    void Install(const updatecheck::SwapPlan& plan) override {
        if (fail) throw std::runtime_error("cannot start the script");
        plans.push_back(plan);
    }
};

}  // namespace updatetest
