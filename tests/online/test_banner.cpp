// The banner against a real server on the loopback interface, through the real HTTP client:
// what each kind of answer leaves behind, the requests on the wire, the cookies and the
// click-through. (Requests that run into each other are tested in the window.)

#include "online/Banner.h"

#include "LocalHttpServer.h"
#include "RecordingOpener.h"
#include "TestPictures.h"
#include "online/THttpCli.h"

#include <QCoreApplication>
#include <QElapsedTimer>

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

// The banner with its two clients, wired as the window wires them. The window's picture
// decoding is not here: every GIF or JPEG handed over counts as shown.
struct BannerRig {
    explicit BannerRig(const std::string& adUrl = {},
                       std::chrono::milliseconds limit = std::chrono::seconds(60)) {
        banner = std::make_unique<Banner>(
            fetch, click, opener,
            BannerConfig{adUrl.empty() ? server.Url("/ads") : adUrl, "4711", kCatalogue, limit});
        HttpEvents& f = fetch.events;
        f.OnBeforeHeaderSend = [this](HttpMethod, auto& lines) { banner->BeforeHeaderSend(lines); };
        f.OnCookie = [this](const std::string& data, bool&) { banner->FetchCookie(data); };
        f.OnLocationChange = [this] { banner->FetchLocationChange(); };
        f.OnDocData = [this](const char* data, std::size_t size) {
            banner->FetchDocData(data, size);
        };
        f.OnDocEnd = [this] {
            documents.push_back(banner->FetchDocEnd());
            if (!documents.back().picture.empty()) banner->PictureShown();
        };
        f.OnSocketError = [this] { banner->ConnectionFailed(); };
        f.OnPoll = [this] { banner->FetchPoll(); };
        click.events.OnBeforeHeaderSend = f.OnBeforeHeaderSend;
        click.events.OnLocationChange = [this] { banner->ClickLocationChange(); };
        click.events.OnSocketError = f.OnSocketError;
        banner->SetUpPage();
        banner->SetUpBuffer();
    }
    const Banner::BannerVars& Vars() const { return banner->Vars(); }

    LocalHttpServer server;
    RecordingOpener opener;
    THttpCli fetch{[] { QCoreApplication::processEvents(); }};
    THttpCli click{[] { QCoreApplication::processEvents(); }};
    std::unique_ptr<Banner> banner;
    std::vector<BannerDocument> documents;
};

struct FetchCase {
    const char* name;
    std::vector<std::pair<std::string, Canned>> answers;
    BannerState state;
    std::optional<BannerPictureKind> document;  // nothing: no document end
    bool hideBuiltIn = false;
    bool aborted = false;
    bool builtIn = true;  // Fetch asks for the built-in picture
};

std::string Signed(std::string signature) {
    return PaddedTo(std::move(signature), 3000);
}

const std::vector<FetchCase> kFetchCases = {
    {"Gif1999Bytes",
     {{kBb, Body(PaddedTo(testpictures::StripedBanner(), 1999))}},
     BannerState::Idle,
     BannerPictureKind::None},
    {"Gif2000Bytes",
     {{kBb, Body(kGif2000)}},
     BannerState::Shown,
     BannerPictureKind::Gif,
     true,
     false,
     false},
    {"JpegBehindUpperCaseJpg",
     {{kBb, To("/ads/b.JPG?x=1")}, {"/ads/b.JPG", Body(Signed("\xFF\xD8\xFF\xE0"))}},
     BannerState::Shown,
     BannerPictureKind::Jpeg,
     false,
     false,
     false},
    {"JpegBehindJpeg",
     {{kBb, To("/ads/b.jpeg")}, {"/ads/b.jpeg", Body(Signed("\xFF\xD8\xFF"))}},
     BannerState::Idle,
     BannerPictureKind::None},
    {"JpegWithoutRedirection",
     {{kBb, Body(Signed("\xFF\xD8\xFF\xE0"))}},
     BannerState::Idle,
     BannerPictureKind::None},
    {"GifAtJpgAddress",
     {{kBb, To("/ads/b.jpg")}, {"/ads/b.jpg", Body(kGif2000)}},
     BannerState::Shown,
     BannerPictureKind::Gif,
     true,
     false,
     false},
    {"Png",
     {{kBb, Body(Signed("\x89PNG\r\n\x1A\n"))}},
     BannerState::Idle,
     BannerPictureKind::OtherPicture,
     true},
    {"NotFound",
     {{kBb, {.status = 404, .body = "not here"}}},
     BannerState::Idle,
     BannerPictureKind::None,
     false,
     true},
    // An error after the document end: the picture was handed over, the fetch still failed.
    {"ServerErrorWithAPicture",
     {{kBb, {.status = 500, .body = kGif2000}}},
     BannerState::Idle,
     BannerPictureKind::Gif,
     true,
     true},
    {"NoBody", {{kBb, Body("")}}, BannerState::Loading, std::nullopt},
    {"OverTheCap",
     {{kBb, Body(std::string(Banner::kBodyCap + 1, 'G'))}},
     BannerState::Idle,
     std::nullopt,
     false,
     true},
    {"RedirectionLoop", {{kBb, To("/loop")}}, BannerState::Idle, std::nullopt, false, true},
};

class BannerFetch : public ::testing::TestWithParam<FetchCase> {};

TEST_P(BannerFetch, LeavesTheStateAndPictureTheAnswerCallsFor) {
    const FetchCase& given = GetParam();
    BannerRig rig;
    for (const auto& [path, answer] : given.answers)
        rig.server.Put(path, answer);
    EXPECT_EQ(rig.banner->Fetch(), given.builtIn);
    EXPECT_EQ(rig.Vars().bannerState, given.state);
    EXPECT_EQ(rig.Vars().bannerAborted, given.aborted);
    EXPECT_EQ(rig.Vars().bannerData.size(), 0u);  // nothing kept after the fetch
    ASSERT_EQ(rig.documents.size(), given.document.has_value() ? 1u : 0u);
    if (!given.document) return;
    const BannerDocument& document = rig.documents.front();
    EXPECT_EQ(document.kind, *given.document);
    EXPECT_EQ(document.hideBuiltIn, given.hideBuiltIn);
    const bool shows =
        document.kind == BannerPictureKind::Gif || document.kind == BannerPictureKind::Jpeg;
    EXPECT_EQ(document.picture.empty(), !shows);
}

INSTANTIATE_TEST_SUITE_P(Answers, BannerFetch, ::testing::ValuesIn(kFetchCases),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BannerFailure, ARefusedConnectionOrAnAnswerThatNeverEndsIsAFailedFetch) {
    BannerRig refused("http://127.0.0.1:" + std::to_string(LocalHttpServer::RefusedPort()));
    EXPECT_TRUE(refused.banner->Fetch());
    EXPECT_EQ(refused.Vars().bannerState, BannerState::Idle);
    EXPECT_TRUE(refused.Vars().bannerAborted);

    BannerRig slow(std::string(), std::chrono::milliseconds(300));
    slow.server.Put(kBb, {.body = kGif2000, .wait = std::chrono::seconds(20)});
    QElapsedTimer clock;
    clock.start();
    EXPECT_TRUE(slow.banner->Fetch());
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(slow.Vars().bannerState, BannerState::Idle);
    EXPECT_TRUE(slow.Vars().bannerAborted);
}

TEST(BannerWire, FetchAndClickThroughSendTheirAddressesCookiesAndReferer) {
    BannerRig rig;
    const std::string page = "http%3A//catalogue.example%3A8080/";
    EXPECT_EQ(rig.Vars().bannerLoc, page);
    rig.server.Put(kBb, To("/ads/pic.jpg"));
    rig.server.Put(
        "/ads/pic.jpg",
        {.body = kGif2000, .headers = {{"Set-Cookie", "a=1; path=/"}, {"Set-Cookie", "b=2"}}});
    rig.banner->Fetch();
    const int nocache = rig.Vars().bannerNoCache;
    EXPECT_GE(nocache, 0);
    EXPECT_LT(nocache, 10000);
    EXPECT_EQ(rig.Vars().bannerCookies, "b=2;a=1; path=/;");
    EXPECT_EQ(rig.Vars().bannerLocation, rig.server.Url("/ads/pic.jpg"));

    // The counter sends the advertiser on; the client follows, the browser gets the address.
    const std::string advertiser = rig.server.Url("/shop?id=7&u=%41b");
    rig.server.Put(kBb, To(advertiser));
    rig.server.Put("/shop", Body("welcome"));
    EXPECT_TRUE(rig.banner->ClickThrough());
    EXPECT_EQ(rig.opener.opened, std::vector<std::string>{advertiser});
    EXPECT_EQ(rig.Vars().bannerState, BannerState::Shown);

    const std::vector<httptest::RecordedRequest> requests = rig.server.Requests();
    ASSERT_EQ(requests.size(), 4u);
    const std::string query =
        "pubid=4711&pg=1&vbn=2&num=1&w=468&h=60&nocache=" + std::to_string(nocache);
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
    EXPECT_TRUE(rig.banner->ClickThrough());
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
