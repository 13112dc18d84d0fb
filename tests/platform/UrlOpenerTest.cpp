// The desktop's opener gets the address exactly as the program built it: a stand-in
// xdg-open first on PATH records the argument it was started with.

#include "platform/UrlOpener.h"

#include <QtCore/qtestsupport_core.h>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

namespace {

class DesktopOpener : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(dir.isValid());
        savedPath = qgetenv("PATH");
    }
    void TearDown() override { qputenv("PATH", savedPath); }

    // PATH holds only `folder` before the usual one.
    void PutFirstOnPath(const QString& folder) {
        qputenv("PATH", QFile::encodeName(folder) + ":" + savedPath);
    }

    // A stand-in xdg-open that writes its first argument, byte for byte, to `record`.
    void InstallRecordingOpener() {
        const QString script = dir.filePath("xdg-open");
        QFile file(script);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("#!/bin/sh\nprintf '%s' \"$1\" > \"" + QFile::encodeName(record) + ".part\"\n" +
                   "mv \"" + QFile::encodeName(record) + ".part\" \"" + QFile::encodeName(record) +
                   "\"\n");
        file.close();
        ASSERT_TRUE(file.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
        PutFirstOnPath(dir.path());
    }

    // What the stand-in received, once it has run (it runs detached, so it is waited for).
    std::string Recorded() const {
        if (!QTest::qWaitFor([this] { return QFile::exists(record); }, 5000)) return "<never ran>";
        QFile file(record);
        if (!file.open(QIODevice::ReadOnly)) return "<never started>";
        return file.readAll().toStdString();
    }

    QTemporaryDir dir;
    QString record = dir.filePath("argument");
    QByteArray savedPath;
};

}  // namespace

TEST_F(DesktopOpener, HandsOverTheAddressByteForByte) {
    InstallRecordingOpener();
    const std::unique_ptr<UrlOpener> opener = MakeDesktopUrlOpener();
    const std::string addresses[] = {
        "http://search.example.com/rsearch?text=%41%62%2F%25%20%D0%B0&from=prgTVR",
        "http://www.example.com/help.html#F1 key",
        "http://ads.example.com/bb.cgi?cmd=go&url=http%3A%2F%2Fx.example.org%2F%7Ea",
    };
    for (const std::string& address : addresses) {
        QFile::remove(record);
        opener->Open(address);
        EXPECT_EQ(Recorded(), address);
    }
}

TEST_F(DesktopOpener, WithoutAnOpenerNothingHappens) {
    const QString empty = dir.filePath("empty");
    ASSERT_TRUE(QDir().mkpath(empty));
    qputenv("PATH", QFile::encodeName(empty));
    const auto start = std::chrono::steady_clock::now();
    MakeDesktopUrlOpener()->Open("http://www.example.com/");
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(2));
}
