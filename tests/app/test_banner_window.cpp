// The banner in the window, against a real server on the loopback interface: opening the
// window fetches it and Image1 shows its pixels, the built-in picture comes and goes, clicks
// land where the user clicks, and a slow server does not stop the window.

#include "AppFakes.h"
#include "LocalHttpServer.h"
#include "RetargetedHttpClient.h"
#include "TestPictures.h"
#include "app/BuildConfig.h"
#include "online/THttpCli.h"

#include <QAction>
#include <QBuffer>
#include <QElapsedTimer>
#include <QLabel>
#include <QSystemTrayIcon>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

using httptest::Canned;
using testpictures::PaddedTo;

namespace {

const std::string kGif = PaddedTo(testpictures::StripedBanner(), 2000);
constexpr QRgb kRed = qRgb(255, 0, 0), kBlue = qRgb(0, 0, 255);

std::string BlueJpeg() {
    QImage picture(468, 60, QImage::Format_RGB32);
    picture.fill(kBlue);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    picture.save(&buffer, "JPG", 95);
    return bytes.toStdString();
}

Canned To(const std::string& location) {
    return {.status = 302, .body = "moved", .headers = {{"Location", location}}};
}

class BannerWindowTest : public ::testing::Test {
  protected:
    BannerWindowTest() {
        // The window's real clients, with the advertising service's address on this server.
        rig.makeHttpClient = [this] {
            return std::unique_ptr<HttpClient>(std::make_unique<RetargetedHttpClient>(
                std::make_unique<THttpCli>(&THttpCli::PumpWindow, rig.clock), build_config::kAdUrl,
                server.Url("")));
        };
        rig.random.numbers = {31337, 4711};  // at start-up, and for the first fetch
        window = rig.MakeWindow();
        window->FormCreate();
    }

    QLabel* Image(const char* name) const { return apptest::Child<QLabel>(*window, name); }
    QRgb Image1At(int x, int y) const { return Image("Image1")->pixmap().toImage().pixel(x, y); }
    void Fetch() const { apptest::Child<QToolButton>(*window, "SpeedButton1")->click(); }
    void OpenFromTray() const {
        emit apptest::Child<QSystemTrayIcon>(*window, "RxTrayIcon")
            ->activated(QSystemTrayIcon::Trigger);
    }
    // A click where the user clicks: the control under a point of the client area gets it.
    void ClickAt(QPoint point) const {
        QWidget* target = window->childAt(point);
        ASSERT_NE(target, nullptr);
        QTest::mouseClick(target, Qt::LeftButton, {}, target->mapFrom(window.get(), point));
    }
    std::vector<std::string> Targets() const {
        std::vector<std::string> targets;
        for (const auto& request : server.Requests())
            targets.push_back(request.target);
        return targets;
    }

    apptest::Rig rig;
    httptest::LocalHttpServer server;
    std::unique_ptr<TfrmMain> window;
    const QPoint banner{100, 250};  // in Image1, inside Panel2 at the bottom of the window
};

TEST_F(BannerWindowTest, OpeningFromTheTrayShowsTheBannerWhoseClickGoesToTheAdvertiser) {
    server.Put("/bb.cgi", {.body = kGif,
                           .headers = {{"Set-Cookie", "id=1; path=/"}, {"Set-Cookie", "seen=2"}}});
    OpenFromTray();
    ASSERT_TRUE(window->isVisible());
    EXPECT_EQ(ToNumber(window->bannerState()), 1212);
    EXPECT_FALSE(Image("Image2")->isVisible());
    EXPECT_EQ(Image1At(5, 5), kRed);
    EXPECT_EQ(Image1At(300, 59), kBlue);

    const std::vector<httptest::RecordedRequest> fetches = server.Requests();
    ASSERT_EQ(fetches.size(), 1u);
    EXPECT_EQ(fetches[0].target, "/bb.cgi?cmd=ad&pubid=" + std::string(build_config::kAdPublisher) +
                                     "&pg=1&vbn=2&num=1&w=468&h=60&nocache=4711"
                                     "&ref=&loc=http%3A//catalogue.example.com/");
    EXPECT_EQ(fetches[0].version, "HTTP/1.0");
    EXPECT_EQ(fetches[0].Header("User-Agent"), "Mozilla/6.0 (compatible)");
    EXPECT_EQ(fetches[0].Header("Pragma"), "no-cache");
    EXPECT_EQ(fetches[0].Header("Referer"), "http://catalogue.example.com/");

    const std::string advertiser = server.Url("/shop?from=banner");
    server.Put("/bb.cgi", To(advertiser));
    server.Put("/shop", {.body = "welcome"});
    ClickAt(banner);
    EXPECT_EQ(rig.opener.opened, std::vector<std::string>{advertiser});
    const std::vector<httptest::RecordedRequest> after = server.Requests();
    ASSERT_GE(after.size(), 4u);
    EXPECT_NE(after[1].target.find("cmd=go"), std::string::npos);
    EXPECT_EQ(after[1].Header("Cookie"), "seen=2;id=1; path=/;");
    EXPECT_EQ(after[1].Header("User-Agent"), "Mozilla/6.0 (compatible)");
    EXPECT_NE(after[3].target.find("cmd=ad"), std::string::npos);  // a new banner follows
}

TEST_F(BannerWindowTest, TheBuiltInPictureStandsInUntilAGifBannerCame) {
    window->ShowFromTray();
    server.Put("/bb.cgi", {.status = 404, .body = "no banner today"});
    Fetch();
    EXPECT_EQ(ToNumber(window->bannerState()), 0);
    EXPECT_TRUE(Image("Image2")->isVisible());

    // A JPEG is drawn in Image1 and leaves the built-in picture above it.
    server.Put("/bb.cgi", To("/today.JPG"));
    server.Put("/today.JPG", {.body = PaddedTo(BlueJpeg(), 2000)});
    Fetch();
    EXPECT_EQ(ToNumber(window->bannerState()), 1212);
    EXPECT_TRUE(Image("Image2")->isVisible());
    EXPECT_GT(qBlue(Image1At(10, 10)), 240);
    EXPECT_LT(qRed(Image1At(10, 10)), 15);

    server.Put("/bb.cgi", {.body = kGif});
    Fetch();
    EXPECT_FALSE(Image("Image2")->isVisible());
    EXPECT_EQ(Image1At(5, 5), kRed);

    // What cannot be shown leaves the last banner in Image1, and the built-in one above it.
    const std::string jpeg = BlueJpeg();
    for (const std::string& body :
         {jpeg.substr(0, jpeg.size() - 300), PaddedTo("\x89PNG\r\n\x1A\n", 3000)}) {
        server.Put("/bb.cgi", To("/today.jpg"));
        server.Put("/today.jpg", {.body = PaddedTo(body, 2000)});
        Fetch();
        EXPECT_EQ(ToNumber(window->bannerState()), 0);
        EXPECT_TRUE(Image("Image2")->isVisible());
        EXPECT_EQ(Image1At(5, 5), kRed);
    }
}

TEST_F(BannerWindowTest, WhileAFetchWaitsTheWindowLivesAndOnlyANewFetchTakesOver) {
    server.Put("/bb.cgi", {.body = kGif, .wait = std::chrono::seconds(20)});
    bool checked = false;
    // An adapter to watch: every sampling tick reads it.
    rig.table.rows = std::vector<IfRow>{apptest::Row({0x02, 0, 0, 0, 0, 1}, "Watched", 2)};
    window->Monitor().ChooseAdapter("Watched [02-00-00-00-00-01]");
    const int readsBefore = rig.table.reads + rig.table.linkReads;
    QTimer::singleShot(1500, [&] {
        // The fetch of "Show Statistic" is waiting: the monitor ticked meanwhile.
        EXPECT_EQ(ToNumber(window->bannerState()), 213);
        EXPECT_GT(rig.table.reads + rig.table.linkReads, readsBefore);
        OpenFromTray();  // does nothing while a banner request is under way
        EXPECT_TRUE(window->isVisible());
        ClickAt(banner);  // neither does a click on the banner (the built-in one is hidden)
        EXPECT_TRUE(rig.opener.opened.empty());
        server.Put("/bb.cgi", {.body = kGif});
        Fetch();  // the refresh button starts anew
        checked = true;
    });
    QElapsedTimer clock;
    clock.start();
    emit apptest::Child<QAction>(*window, "ShowStatistic")->triggered();
    EXPECT_TRUE(checked);
    EXPECT_LT(clock.elapsed(), 10000);
    EXPECT_EQ(ToNumber(window->bannerState()), 1212);
    EXPECT_EQ(Image1At(5, 5), kRed);
    EXPECT_EQ(Targets().size(), 2u);  // the slow fetch and the one that took over
    for (const std::string& target : Targets())
        EXPECT_NE(target.find("cmd=ad"), std::string::npos);
}

}  // namespace
