// The banner against a real server on the loopback interface, through the real HTTP client:
// what each kind of answer leaves behind, the requests on the wire, the cookies and the
// click-through. (Requests that run into each other are tested in the window.)

#include "online/Banner.h"

#include "FakeClock.h"
#include "LocalHttpServer.h"
#include "RecordingOpener.h"
#include "ScriptedRandom.h"
#include "TestPictures.h"
#include "online/THttpCli.h"

#include <QCoreApplication>

#include <gtest/gtest.h>

#include <memory>
#include <optional>

using httptest::Canned;
using httptest::LocalHttpServer;
using testpictures::PaddedTo;

namespace {

constexpr const char* kBb = "/ads/bb.cgi";  // the service's one path, behind the test's A
const std::string kCatalogue = "http://catalogue.example:8080";
const std::string kGif2000 = PaddedTo(testpictures::StripedBanner(), 2000);

Canned To(const std::string& location) {
    return {.status = 302, .body = "moved", .headers = {{"Location", location}}};
}
Canned Body(std::string body) {
    return {.body = std::move(body)};
}

constexpr int kPageNumber = 4242, kFetchNumber = 777;  // drawn at start-up and by the fetch

// The banner with its two real clients, which it wires itself. The window's picture decoding
// is not here: every GIF or JPEG handed over counts as shown.
struct BannerRig {
    explicit BannerRig(const std::string& adUrl = {}) {
        random.numbers = {kPageNumber, kFetchNumber};
        banner = std::make_unique<Banner>(
            fetch, click, opener, clock, random,
            BannerConfig{adUrl.empty() ? server.Url("/ads") : adUrl, "4711", kCatalogue});
        banner->SetUpPage();
        banner->SetUpBuffer();
    }
    BannerFetch Fetch() {
        BannerFetch fetched = banner->Fetch();
        if (!fetched.picture.empty()) banner->PictureShown();
        return fetched;
    }
    const Banner::BannerVars& Vars() const { return banner->Vars(); }

    LocalHttpServer server;
    RecordingOpener opener;
    FakeClock clock;
    ScriptedRandom random;
    std::int64_t msPerPass = 0;  // how far the clock moves on each pass of the fetch's wait
    THttpCli fetch{[this] {
                       QCoreApplication::processEvents();
                       clock.Advance(msPerPass);
                   },
                   clock, std::chrono::milliseconds(50)};
    THttpCli click{[] { QCoreApplication::processEvents(); }, clock};
    std::unique_ptr<Banner> banner;
};

struct FetchCase {
    const char* name;
    std::vector<std::pair<std::string, Canned>> answers;
    BannerState state;
    BannerPictureKind kind;
    BuiltInPicture builtIn;
    bool aborted = false;
};

std::string Signed(std::string signature) {
    return PaddedTo(std::move(signature), 3000);
}

using enum BannerPictureKind;
using enum BuiltInPicture;
const std::vector<FetchCase> kFetchCases = {
    {"Gif1999Bytes",
     {{kBb, Body(PaddedTo(testpictures::StripedBanner(), 1999))}},
     BannerState::Idle,
     None,
     Show},
    {"Gif2000Bytes", {{kBb, Body(kGif2000)}}, BannerState::Shown, Gif, Hide},
    {"JpegBehindUpperCaseJpg",
     {{kBb, To("/ads/b.JPG?x=1")}, {"/ads/b.JPG", Body(Signed("\xFF\xD8\xFF\xE0"))}},
     BannerState::Shown,
     Jpeg,
     Keep},
    {"JpegBehindJpeg",
     {{kBb, To("/ads/b.jpeg")}, {"/ads/b.jpeg", Body(Signed("\xFF\xD8\xFF"))}},
     BannerState::Idle,
     None,
     Show},
    {"JpegWithoutRedirection",
     {{kBb, Body(Signed("\xFF\xD8\xFF\xE0"))}},
     BannerState::Idle,
     None,
     Show},
    {"GifAtJpgAddress",
     {{kBb, To("/ads/b.jpg")}, {"/ads/b.jpg", Body(kGif2000)}},
     BannerState::Shown,
     Gif,
     Hide},
    {"Png", {{kBb, Body(Signed("\x89PNG\r\n\x1A\n"))}}, BannerState::Idle, OtherPicture, Show},
    {"NotFound", {{kBb, {.status = 404, .body = "not here"}}}, BannerState::Idle, None, Show, true},
    // An error after the document end: the picture was handed over, the fetch still failed.
    {"ServerErrorWithAPicture",
     {{kBb, {.status = 500, .body = kGif2000}}},
     BannerState::Idle,
     Gif,
     Show,
     true},
    {"NoBody", {{kBb, Body("")}}, BannerState::Loading, None, Show},
    {"OverTheCap",
     {{kBb, Body(std::string(Banner::kBodyCap + 1, 'G'))}},
     BannerState::Idle,
     None,
     Show,
     true},
    {"RedirectionLoop", {{kBb, To("/loop")}}, BannerState::Idle, None, Show, true},
};

class BannerFetchTest : public ::testing::TestWithParam<FetchCase> {};

TEST_P(BannerFetchTest, LeavesTheStateAndPictureTheAnswerCallsFor) {
    const FetchCase& given = GetParam();
    BannerRig rig;
    for (const auto& [path, answer] : given.answers)
        rig.server.Put(path, answer);
    const BannerFetch fetched = rig.Fetch();
    EXPECT_EQ(fetched.kind, given.kind);
    EXPECT_EQ(fetched.builtIn, given.builtIn);
    EXPECT_EQ(fetched.picture.empty(), given.kind != Gif && given.kind != Jpeg);
    EXPECT_EQ(rig.Vars().bannerState, given.state);
    EXPECT_EQ(rig.Vars().bannerAborted, given.aborted);
    EXPECT_EQ(rig.Vars().bannerData.size(), 0u);  // nothing kept after the fetch
}

INSTANTIATE_TEST_SUITE_P(Answers, BannerFetchTest, ::testing::ValuesIn(kFetchCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BannerFailure, ARefusedConnectionOrAnAnswerThatNeverEndsIsAFailedFetch) {
    BannerRig refused("http://127.0.0.1:" + std::to_string(LocalHttpServer::RefusedPort()));
    EXPECT_EQ(refused.Fetch().builtIn, Show);
    EXPECT_EQ(refused.Vars().bannerState, BannerState::Idle);
    EXPECT_TRUE(refused.Vars().bannerAborted);

    // A minute passes on the fetch's clock while the server says nothing.
    BannerRig slow;
    slow.server.Put(kBb, {.body = kGif2000, .wait = std::chrono::seconds(20)});
    slow.msPerPass = 20001;
    EXPECT_EQ(slow.Fetch().builtIn, Show);
    EXPECT_EQ(slow.Vars().bannerState, BannerState::Idle);
    EXPECT_TRUE(slow.Vars().bannerAborted);
    // It ends on the first pass past the limit.
    EXPECT_EQ(slow.clock.monotonic.time_since_epoch(), std::chrono::milliseconds(60003));
}

TEST(BannerWire, FetchAndClickThroughSendTheirAddressesCookiesAndReferer) {
    BannerRig rig;
    const std::string page = "http%3A//catalogue.example%3A8080/";
    EXPECT_EQ(rig.Vars().bannerLoc, page);
    EXPECT_EQ(rig.Vars().bannerNoCache, kPageNumber);
    rig.server.Put(kBb, To("/ads/pic.jpg"));
    rig.server.Put(
        "/ads/pic.jpg",
        {.body = kGif2000, .headers = {{"Set-Cookie", "a=1; path=/"}, {"Set-Cookie", "b=2"}}});
    rig.Fetch();
    EXPECT_EQ(rig.random.limits, (std::vector<int>{100000, 10000}));
    EXPECT_EQ(rig.Vars().bannerNoCache, kFetchNumber);
    EXPECT_EQ(rig.Vars().bannerCookies, "b=2;a=1; path=/;");
    EXPECT_EQ(rig.Vars().bannerLocation, rig.server.Url("/ads/pic.jpg"));

    // The counter sends the advertiser on; the client follows, the browser gets the address.
    const std::string advertiser = rig.server.Url("/shop?id=7&u=%41b");
    rig.server.Put(kBb, To(advertiser));
    rig.server.Put("/shop", Body("welcome"));
    EXPECT_EQ(rig.banner->ClickThrough(), BannerClick::FetchAgain);
    EXPECT_EQ(rig.opener.opened, std::vector<std::string>{advertiser});
    EXPECT_EQ(rig.Vars().bannerState, BannerState::Shown);

    const std::vector<httptest::RecordedRequest> requests = rig.server.Requests();
    ASSERT_EQ(requests.size(), 4u);
    const std::string query = "pubid=4711&pg=1&vbn=2&num=1&w=468&h=60&nocache=777";
    EXPECT_EQ(requests[0].target, "/ads/bb.cgi?cmd=ad&" + query + "&ref=&loc=" + page);
    EXPECT_EQ(requests[2].target, "/ads/bb.cgi?cmd=go&" + query + "&loc=" + page + "&ref=");
    for (const auto& request : requests) {  // redirected requests too
        SCOPED_TRACE(request.target);
        EXPECT_EQ(request.version, "HTTP/1.0");
        EXPECT_EQ(request.Header("Pragma"), "no-cache");
        EXPECT_EQ(request.Header("Referer"), "http://catalogue.example:8080/");
    }
    EXPECT_EQ(requests[0].Header("Cookie"), "");
    EXPECT_EQ(requests[2].Header("Cookie"), "b=2;a=1; path=/;");

    // A chain of redirections opens its first address only; the browser follows the rest.
    rig.server.Put(kBb, To("/hop?n=1"));
    rig.server.Put("/hop", To("/shop"));
    rig.opener.opened.clear();
    rig.banner->ClickThrough();
    EXPECT_EQ(rig.opener.opened, std::vector<std::string>{rig.server.Url("/hop?n=1")});

    // A counter that does not redirect opens nothing and leaves the state alone.
    rig.server.Put(kBb, Body("counted"));
    rig.opener.opened.clear();
    EXPECT_EQ(rig.banner->ClickThrough(), BannerClick::FetchAgain);
    EXPECT_TRUE(rig.opener.opened.empty());
    EXPECT_EQ(rig.Vars().bannerState, BannerState::Shown);
}

TEST(BannerRecognition, PicturesOfOtherFormatsAreKnownByTheirFirstBytes) {
    using namespace std::string_literals;
    for (const std::string& other :
         {"\x89PNG\r\n\x1A\n"s, "II*\0"s, "MM\0*"s, "BM\0\0\0\0\0\0\0\0\0\0\0\0\x7C\0\0\0"s,
          "\x0A\x05\x01\x08"s, "RIFF\0\0\0\0WEBP"s, "\0\0\1\0\1\0"s,
          "\0\0\0\0TRUEVISION-XFILE.\0"s}) {
        SCOPED_TRACE(other);
        EXPECT_TRUE(IsOtherPictureFormat(other));
        EXPECT_EQ(RecogniseBannerBody(other, "http://a/x.jpg"), BannerPictureKind::OtherPicture);
    }
    for (const std::string& none :
         {"\xFF\xD8\xFF\xE0"s, "BMW banner"s, "\x0A\x01\x01\x08"s, "<html>"s, ""s}) {
        SCOPED_TRACE(none);
        EXPECT_FALSE(IsOtherPictureFormat(none));
        EXPECT_EQ(RecogniseBannerBody(none, "http://a/X.JpG"), BannerPictureKind::Jpeg);
    }
    EXPECT_EQ(RecogniseBannerBody("GiF", "http://a/x.jpg"), BannerPictureKind::Gif);
}

}  // namespace
