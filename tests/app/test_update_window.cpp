// The update check as the window shows it: the status line, the progress bar over the adapter
// list, the window coming out of the tray, and the end for the swap; and a window without an
// update check, which never sends a request.

#include "AppFakes.h"
#include "ElfBytes.h"
#include "FakeHttpClient.h"
#include "RecordingSwap.h"
#include "TestFiles.h"
#include "app/FormComponents.h"
#include "online/UpdateDueTest.h"

#include <gtest/gtest.h>

#include <QAction>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using apptest::Rig;
using httpfake::FakeHttpClient;
using httpfake::Response;

namespace {

constexpr std::int64_t kBuild = 200000;
const QString kLooking = QString::fromUtf8("Поиск новой версии программы.");
const QString kLoading =
    QString::fromUtf8("Идет заказчка новой версии программы размером 200000 байт.");
const QString kInstalling = QString::fromUtf8("Установка");

// What the person sees while a request of the update waits.
struct Seen {
    QString status;
    bool progressShown;
    int maximum, position;
    bool windowShown;
    bool operator==(const Seen&) const = default;
    friend void PrintTo(const Seen& s, std::ostream* out) {
        *out << '"' << s.status.toStdString() << "\" bar " << s.progressShown << ' ' << s.position
             << '/' << s.maximum << " window " << s.windowShown;
    }
};

class UpdateWindowTest : public ::testing::Test {
  protected:
    Rig rig;
    RecordingSwap swap;
    std::vector<FakeHttpClient*> clients;
    std::unique_ptr<TfrmMain> window;
    int waits = 0, bannerFetches = 0;
    std::function<void()> onBannerFetch;
    std::vector<Seen> seen;
    std::optional<Seen> atTheEnd;  // when the window closes for good

    TfrmMain& Start(bool withUpdateCheck = true) {
        testfiles::WriteBytes(rig.ProgramFolder() + "torvane", testfiles::Elf(150000));
        rig.makeHttpClient = [this] {
            auto client = std::make_unique<FakeHttpClient>();
            clients.push_back(client.get());
            return std::unique_ptr<HttpClient>(std::move(client));
        };
        if (withUpdateCheck) {
            rig.update = {.swap = &swap,
                          .executablePath = rig.ProgramFolder() + "torvane",
                          .wait = [this](std::uint32_t ms) {
                              ++waits;
                              rig.clock.Advance(ms);
                          }};
        }
        window = rig.MakeWindow();
        window->FormCreate();
        // Banner fetches (HttpCli1, made first) fail at once; each is counted as it starts.
        for (int i = 0; i < 8; ++i)
            clients.front()->exchanges.push_back({{.connectionFails = true}});
        clients.front()->pump = [this] {
            ++bannerFetches;
            if (onBannerFetch) onBannerFetch();
        };
        Getpic().pump = [this] { seen.push_back(Now()); };
        QObject::connect(window.get(), &TfrmMain::programEnds, [this] { atTheEnd = Now(); });
        return *window;
    }

    FakeHttpClient& Getpic() const {
        auto* component = dynamic_cast<form::HttpClientComponent*>(
            window->findChild<QObject*>(QStringLiteral("getpic")));
        return dynamic_cast<FakeHttpClient&>(component->Client());
    }
    template <class T>
    T* Child(const char* name) const {
        return apptest::Child<T>(*window, name);
    }
    // Timer2's one tick, as three seconds after the start; it switches itself off.
    void TickTimer2() const {
        QTimer* timer = Child<QTimer>("Timer2");
        timer->start(0);
        EXPECT_TRUE(QTest::qWaitFor([timer] { return !timer->isActive(); }, 5000));
    }
    Seen Now() const {
        const auto* bar = Child<QProgressBar>("ProgressBar2");
        return {Child<QLabel>("stbar")->text(), bar->isVisible(), bar->maximum(), bar->value(),
                window->isVisible()};
    }
    void Offer(Response get, std::int64_t offered = kBuild) {
        Getpic().exchanges.push_back({{.contentLength = offered}});
        Getpic().exchanges.push_back({std::move(get)});
    }
    static Response Build(std::size_t bytes = kBuild, std::int64_t length = kBuild) {
        const std::string body = testfiles::Elf(kBuild).substr(0, bytes);
        return {.contentLength = length,
                .blocks = {body.substr(0, 65536), body.substr(65536, 65536), body.substr(131072)}};
    }
};

TEST_F(UpdateWindowTest, AFirstRunFindsANewBuildShowsTheWindowDownloadsAndEndsForTheSwap) {
    Start();
    EXPECT_TRUE(Child<QAction>("N1")->isEnabled());
    Offer(Build());
    TickTimer2();

    EXPECT_EQ(rig.settings.bytes.value("chkdate"), updatecheck::EncodeCheckDate(rig.clock.now));
    const std::vector<Seen> expected = {
        {kLooking, false, 100, 0, false},        // the HEAD, while the window is in the tray
        {kLoading, true, 100, 0, true},          // the GET, shown with a banner request
        {kLoading, true, 100, 0, true},          // before the first block
        {kLoading, true, kBuild, 65536, true},   // before the second
        {kLoading, true, kBuild, 131072, true},  // before the third
    };
    EXPECT_EQ(seen, expected);
    EXPECT_EQ(bannerFetches, 1);
    ASSERT_TRUE(atTheEnd.has_value());
    EXPECT_EQ(*atTheEnd, (Seen{kInstalling, false, kBuild, kBuild, true}));
    EXPECT_TRUE(window->CloseFlag());
    ASSERT_EQ(swap.plans.size(), 1u);
    EXPECT_EQ(swap.plans[0].executable, rig.ProgramFolder() + "torvane");
    EXPECT_EQ(Child<QLabel>("stbar")->text(), "");
    EXPECT_FALSE(Child<QTimer>("Timer2")->isActive());
    EXPECT_FALSE(Child<QTimer>("Timer1")->isActive());
}

// Which downloads are whole is the operation's business; here the window after one that is not.
TEST_F(UpdateWindowTest, ADownloadThatIsNotWholeLeavesTheProgramAsItWas) {
    struct Case {
        const char* what;
        Response get;
        int waits;
    };
    const Case cases[] = {
        {"cut short", Build(150000), 0},
        {"no end and no error", {.contentLength = kBuild}, 61},  // paced by the window's wait
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        if (window) window.reset();
        clients.clear();
        waits = 0;
        Start();
        Offer(c.get);
        Child<QAction>("N1")->trigger();
        EXPECT_FALSE(atTheEnd.has_value());
        EXPECT_FALSE(window->CloseFlag());
        EXPECT_TRUE(swap.plans.empty());
        EXPECT_EQ(waits, c.waits);
        EXPECT_TRUE(window->isVisible());
        EXPECT_FALSE(Child<QProgressBar>("ProgressBar2")->isVisible());
        EXPECT_EQ(Child<QLabel>("stbar")->text(), "");
    }
    EXPECT_EQ(rig.settings.writes, 0);  // the menu's check leaves the date alone
}

TEST_F(UpdateWindowTest, WithoutANewBuildTheWindowStaysInTheTray) {
    Start();
    Getpic().exchanges.push_back({{.contentLength = 150000}});  // the running build's size
    Child<QAction>("N1")->trigger();
    EXPECT_EQ(Getpic().sent.size(), 1u);  // the HEAD, no GET
    EXPECT_FALSE(window->isVisible());
    EXPECT_EQ(bannerFetches, 0);
    EXPECT_EQ(Child<QLabel>("stbar")->text(), "");
    EXPECT_EQ(seen, (std::vector<Seen>{{kLooking, false, 100, 0, false}}));
}

TEST_F(UpdateWindowTest, ACheckDateThatIsNotEightBytesIsShownAndNoCheckRuns) {
    struct Case {
        QByteArray bytes;
        const char* text;
    };
    const Case cases[] = {
        {QByteArray(9, '\1'), "Failed to get data for 'chkdate'"},
        {QByteArray(7, '\1'), "Invalid data type for 'chkdate'"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text);
        window.reset();
        clients.clear();
        rig.messages.shown.clear();
        rig.settings.bytes["chkdate"] = c.bytes;
        Start();
        TickTimer2();
        ASSERT_EQ(rig.messages.shown.size(), 1u);
        EXPECT_EQ(rig.messages.shown[0].text, c.text);
        EXPECT_EQ(rig.messages.shown[0].icon, QMessageBox::Critical);
        EXPECT_FALSE(Child<QTimer>("Timer2")->isActive());
        EXPECT_FALSE(Child<QTimer>("Timer1")->isActive());
        EXPECT_TRUE(Getpic().sent.empty());
        EXPECT_EQ(rig.settings.bytes.value("chkdate"), c.bytes);
    }
}

TEST_F(UpdateWindowTest, ExitDuringAnUpdateEndsTheProgramAtOnce) {
    for (const bool duringTheDownload : {false, true}) {
        SCOPED_TRACE(duringTheDownload ? "during the download" : "as the window comes out");
        window.reset();
        clients.clear();
        atTheEnd.reset();
        Start();
        Response stalled = Build();
        stalled.blocks.resize(1);
        stalled.stalls = true;
        Offer(stalled);
        const auto exit = [this] {
            if (!window->CloseFlag()) Child<QAction>("Exit")->trigger();
        };
        onBannerFetch = [&] {
            if (!duringTheDownload) exit();
        };
        Getpic().pump = [&] {
            rig.clock.Advance(10000);  // a stalled download would end by the stall rule
            if (duringTheDownload && Getpic().RcvdCount() > 0) exit();
        };
        Child<QAction>("N1")->trigger();
        EXPECT_TRUE(atTheEnd.has_value());
        EXPECT_EQ(Getpic().sent.size(), duringTheDownload ? 2u : 1u);
        EXPECT_EQ(waits, 0);
        EXPECT_TRUE(swap.plans.empty());
    }
}

TEST_F(UpdateWindowTest, ABuildWithoutTheUpdateCheckNeverSendsARequest) {
    Start(false);
    EXPECT_FALSE(Child<QAction>("N1")->isEnabled());
    Child<QAction>("N1")->trigger();
    Child<QPushButton>("btnd")->click();
    TickTimer2();
    EXPECT_FALSE(Child<QTimer>("Timer1")->isActive());
    ASSERT_EQ(clients.size(), 3u);
    for (const FakeHttpClient* client : clients)
        EXPECT_TRUE(client->sent.empty());
    EXPECT_EQ(rig.settings.writes, 0);
    EXPECT_TRUE(rig.messages.shown.empty());
    EXPECT_FALSE(window->isVisible());
}

}  // namespace
