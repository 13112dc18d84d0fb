// The single-instance rule inside one process: claiming the lock, taking over what a dead
// copy left, the hand-over protocol between a later start and the running copy, and the
// "/new" switch.

#include "AppFakes.h"
#include "Eventually.h"
#include "app/SingleInstance.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLocalSocket>
#include <QSignalSpy>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

namespace {

TEST(NewSwitch, OnlyTheWholeFirstParameterCountsInAnyLetterCase) {
    EXPECT_TRUE(IsNewSwitch({"/new"}));
    EXPECT_TRUE(IsNewSwitch({"/NEW"}));
    EXPECT_TRUE(IsNewSwitch({"/New", "more", "params"}));
    EXPECT_FALSE(IsNewSwitch({}));
    EXPECT_FALSE(IsNewSwitch({""}));
    EXPECT_FALSE(IsNewSwitch({"/new2"}));
    EXPECT_FALSE(IsNewSwitch({"-new"}));
    EXPECT_FALSE(IsNewSwitch({" /new"}));
    EXPECT_FALSE(IsNewSwitch({"x", "/new"}));
}

class SingleInstanceTest : public ::testing::Test {
  protected:
    QTemporaryDir dir;
    QString Path(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }
};

TEST_F(SingleInstanceTest, FirstClaimListensAndASecondFindsItRunning) {
    SingleInstance first(dir.path());
    EXPECT_EQ(first.ClaimInstance(), SingleInstance::Claim::First);
    EXPECT_TRUE(first.IsListening());
    EXPECT_TRUE(QFile::exists(Path("Torvane v1.01.lock")));
    EXPECT_TRUE(QFile::exists(Path("Torvane v1.01.socket")));
    // Nobody else may ask the running copy anything.
    EXPECT_EQ(QFile::permissions(Path("Torvane v1.01.socket")).toInt() & 0x00ff, 0);

    SingleInstance second(dir.path());
    EXPECT_EQ(second.ClaimInstance(), SingleInstance::Claim::Running);
    EXPECT_FALSE(second.IsListening());
    EXPECT_TRUE(second.LockHasOwner());
}

TEST_F(SingleInstanceTest, WhatADeadCopyLeftBehindDoesNotBlock) {
    // A lock file of a process that no longer exists, and its socket file.
    {
        QFile lock(Path("Torvane v1.01.lock"));
        ASSERT_TRUE(lock.open(QIODevice::WriteOnly));
        lock.write("2147483646\ntorvane\n" + QSysInfo::machineHostName().toUtf8() + "\n");
        QFile socket(Path("Torvane v1.01.socket"));
        ASSERT_TRUE(socket.open(QIODevice::WriteOnly));
    }
    SingleInstance next(dir.path());
    EXPECT_EQ(next.ClaimInstance(), SingleInstance::Claim::First);
    EXPECT_TRUE(next.IsListening());
}

TEST_F(SingleInstanceTest, AMechanismThatCannotWorkIsReported) {
    EXPECT_EQ(SingleInstance(QString()).ClaimInstance(), SingleInstance::Claim::Failed);
    EXPECT_EQ(SingleInstance(Path("missing")).ClaimInstance(), SingleInstance::Claim::Failed);

    // Something that is no lock file at all sits on the name: nobody can own it.
    ASSERT_TRUE(QDir(dir.path()).mkdir("Torvane v1.01.lock"));
    SingleInstance blocked(dir.path());
    EXPECT_NE(blocked.ClaimInstance(), SingleInstance::Claim::First);
    EXPECT_FALSE(blocked.LockHasOwner());
    EXPECT_EQ(blocked.AskRunningCopyToShow("TfrmMain", "Torvane v" TORVANE_TEST_VERSION, 300),
              SingleInstance::Answer::NoAnswer);
}

TEST_F(SingleInstanceTest, TheRunningCopyIsAskedForItsWindowByClassAndCaption) {
    // The running copy lives in a thread of its own, as it would in its own process.
    QThread runningCopy;
    auto* first = new SingleInstance(dir.path());
    QStringList asked;
    first->SetShowHandler([&asked](const QString& className, const QString& caption) {
        asked << className + "|" + caption;
        return className == "TfrmMain" &&
               caption == QString::fromUtf8("Torvane v" TORVANE_TEST_VERSION);
    });
    first->moveToThread(&runningCopy);
    QObject::connect(&runningCopy, &QThread::finished, first, &QObject::deleteLater);
    runningCopy.start();
    SingleInstance::Claim claim = SingleInstance::Claim::Failed;
    QMetaObject::invokeMethod(
        first, [&] { claim = first->ClaimInstance(); }, Qt::BlockingQueuedConnection);
    ASSERT_EQ(claim, SingleInstance::Claim::First);

    SingleInstance later(dir.path());
    EXPECT_EQ(later.ClaimInstance(), SingleInstance::Claim::Running);
    EXPECT_EQ(later.AskRunningCopyToShow("TfrmMain", "Torvane v" TORVANE_TEST_VERSION, 3000),
              SingleInstance::Answer::Shown);
    EXPECT_EQ(later.AskRunningCopyToShow("TfrmMain", "Torvane Pro", 3000),
              SingleInstance::Answer::NotFound);
    runningCopy.quit();
    runningCopy.wait();
    EXPECT_EQ(asked,
              QStringList({"TfrmMain|Torvane v" TORVANE_TEST_VERSION, "TfrmMain|Torvane Pro"}));
}

TEST_F(SingleInstanceTest, ACopyStartedBesideAnotherTakesOverWhenItEnds) {
    auto first = std::make_unique<SingleInstance>(dir.path());
    ASSERT_EQ(first->ClaimInstance(), SingleInstance::Claim::First);
    SingleInstance beside(dir.path());
    ASSERT_EQ(beside.ClaimInstance(), SingleInstance::Claim::Running);
    beside.ClaimWhenFree(20);
    // Deliberately a fixed time: five tries pass while the first copy still runs, and none
    // may take its place.
    QTest::qWait(100);
    EXPECT_FALSE(beside.IsListening());
    first.reset();  // the first copy ends
    EXPECT_EVENTUALLY(beside.IsListening(), 2000);

    // A garbage request does not upset the listening copy.
    QLocalSocket client;
    client.connectToServer(beside.SocketPath());
    ASSERT_TRUE(client.waitForConnected(1000));
    client.write(QByteArray(5000, 'x'));
    client.flush();
    EXPECT_EVENTUALLY(client.state() == QLocalSocket::UnconnectedState, 2000);
    EXPECT_TRUE(beside.IsListening());
}

}  // namespace
