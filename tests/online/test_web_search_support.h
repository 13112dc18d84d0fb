#pragma once

// Helpers shared by the search box tests.

#include "FakeClock.h"
#include "RecordingOpener.h"
#include "TestFiles.h"

#include <QDate>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTemporaryDir>
#include <QTime>

#include <string>
#include <vector>

namespace search_test {

inline QLocale Russian() {
    return QLocale(QLocale::Russian, QLocale::Russia);
}

inline constexpr int kCyrillicPage = 1251;

using testfiles::ReadBytes;
using testfiles::WriteBytes;

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
