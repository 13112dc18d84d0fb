#pragma once

// Fakes and file helpers shared by the search box tests.

#include "platform/Clock.h"
#include "platform/UrlOpener.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTemporaryDir>
#include <QTime>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace search_test {

class FixedClock final : public Clock {
  public:
    QDateTime now{QDate(2026, 12, 7), QTime(23, 59, 30)};
    QDateTime Now() const override { return now; }
};

class RecordingOpener final : public UrlOpener {
  public:
    std::vector<std::string> opened;
    void Open(const std::string& url) override { opened.push_back(url); }
};

inline QLocale Russian() {
    return QLocale(QLocale::Russian, QLocale::Russia);
}

inline constexpr int kCyrillicPage = 1251;

inline std::string ReadFile(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

inline void WriteFile(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// Entries as UTF-8, so that a failing comparison prints readable text.
inline std::vector<std::string> Utf8(const std::vector<QString>& texts) {
    std::vector<std::string> out;
    for (const QString& t : texts)
        out.push_back(t.toStdString());
    return out;
}

inline std::string Folder(const QTemporaryDir& dir) {
    return dir.path().toStdString();
}

inline std::string HistoryPath(const QTemporaryDir& dir) {
    return Folder(dir) + "/search.csv";
}

}  // namespace search_test
