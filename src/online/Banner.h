#pragma once

// The banner at the bottom of the window: a 468 x 60 picture fetched from the advertising
// service every ten minutes and whenever the window is opened from the tray, and its
// click-through, which goes through the service's click counter and opens the advertiser's
// page. When no banner can be shown the window's built-in picture (it advertises the
// catalogue) takes its place.
//
// The fetch runs on HttpCli1, the click-through on HttpCli2; the banner hands each client its
// events itself, and what the window must show comes back as plain results. Both requests
// block and pump the window's events, so any method here may be entered while a fetch or a
// click-through waits: a fetch started inside a running one aborts it and starts anew, and
// the outer request then returns quietly.

#include "online/BannerState.h"
#include "online/HttpClient.h"

#include <chrono>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

class Clock;
class RandomSource;
class UrlOpener;

// What the body of a fetch holds, as far as the banner cares.
enum class BannerPictureKind {
    None,          // nothing to show
    Gif,           // begins with "GIF" in any case: decoded as GIF
    Jpeg,          // reached at an address with ".jpg": decoded as JPEG
    OtherPicture,  // a picture of another format (PNG, BMP, TIFF, ...): never shown
};

// A picture of a format the banner does not show, recognised by its first bytes (PNG, BMP,
// TIFF, PCX, WebP, ICO) or, for Targa, by its closing signature. JPEG is not among them:
// it is shown only when the address it came from says ".jpg".
bool IsOtherPictureFormat(std::string_view body);

// The kind of a body of at least the minimum size, fetched with `location` as the last
// address a redirection led to.
BannerPictureKind RecogniseBannerBody(std::string_view body, const std::string& location);

// The page on which the banner counts as shown: the catalogue's root address with its colon
// written %3A ("http%3A//catalogue.example/").
std::string BannerPageOf(const std::string& catalogueUrl);

// The configuration of the build: the advertising service (scheme and host), the publisher
// number and the catalogue site (scheme and host).
struct BannerConfig {
    std::string adUrl;
    std::string publisher;
    std::string catalogueUrl;
    // A fetch that has not ended after this long fails as an error does: a service that
    // never finishes its answer would otherwise keep the state at 213, and with it the tray
    // icon's double-click dead, for good.
    std::chrono::milliseconds fetchTimeLimit = std::chrono::seconds(60);
};

// What becomes of the built-in picture after a fetch.
enum class BuiltInPicture {
    Keep,  // as it is
    Hide,  // hidden: the fetched picture takes its place
    Show,  // shown: no banner is shown
};

// What the window shows after a fetch.
struct BannerFetch {
    BuiltInPicture builtIn = BuiltInPicture::Keep;
    BannerPictureKind kind = BannerPictureKind::None;
    // For Gif and Jpeg: the bytes to decode and show in place of the last banner. The window
    // then calls PictureShown, or, when they cannot be decoded, shows the built-in picture.
    std::string picture;
};

// What follows a click on the banner.
enum class BannerClick {
    Ignored,     // a fetch is under way: nothing happened
    FetchAgain,  // the click-through is over; a new fetch is to follow
};

class Banner {
  public:
    // A body shorter than this is never shown.
    static constexpr std::size_t kMinimumBody = 2000;
    // A body longer than this fails the fetch as an error does: a 468 x 60 picture is a few
    // ten kilobytes, and an answer that does not end must not take the memory with it.
    static constexpr std::size_t kBodyCap = 4 * 1024 * 1024;

    // Hands both clients the banner's events; they stay the banner's while it lives.
    Banner(HttpClient& fetchClient, HttpClient& clickClient, UrlOpener& opener, const Clock& clock,
           RandomSource& random, BannerConfig config);
    ~Banner();
    Banner(const Banner&) = delete;
    Banner& operator=(const Banner&) = delete;

    // Start-up, first half: bannerLoc, and bannerNoCache drawn from 0 to 99999.
    void SetUpPage();
    // Start-up, second half: no banner shown, an empty buffer.
    void SetUpBuffer();

    // The fetch (on the first client). Aborts a running fetch; starts a new one once the
    // client is ready, and returns when it is over. An error of the request is dropped.
    BannerFetch Fetch();
    // The window has shown the picture Fetch handed over.
    void PictureShown();
    // The click-through (on the second client): its first redirection opens the new address
    // in the browser, which follows any further ones itself.
    BannerClick ClickThrough();
    // A click on the built-in picture: the catalogue opens; a new fetch is to follow.
    void BuiltInClick();

    // The two addresses, with the current bannerNoCache and bannerLoc.
    std::string FetchAddress() const;
    std::string ClickAddress() const;

    // The banner's variables, one set for the window.
    struct BannerVars {
        BannerState bannerState = BannerState::Idle;
        int bannerNoCache = 0;       // sent as nocache; the click-through sends the last fetch's
        std::string bannerLoc;       // the page the banner counts as shown on
        std::string bannerCookies;   // of the last fetch, newest first, each followed by ";"
        std::string bannerData;      // body of the current fetch
        std::string bannerLocation;  // last address a redirection of a fetch led to
        bool bannerAborted = false;  // the last fetch raised an error
    };
    const BannerVars& Vars() const { return vars_; }

  private:
    // Events of both clients: the Referer line after the client's own header lines.
    void BeforeHeaderSend(std::vector<std::string>& headers) const;
    // Events of the fetch.
    void FetchCookie(const std::string& data);
    void FetchLocationChange();
    void FetchDocData(const char* buffer, std::size_t length);
    // On every pass of the fetch's wait: ends a fetch that has run out of time.
    void FetchPoll();
    // The body is whole: what it is and what to show. The buffer is empty afterwards.
    void FetchDocEnd();
    // Events of the click-through.
    void ClickLocationChange();
    // A connection failure of either client.
    void ConnectionFailed();

    void DropData();
    // Ends the running fetch as if its GET had raised an error.
    void FailFetch();

    HttpClient& HttpCli1;
    HttpClient& HttpCli2;
    UrlOpener& opener_;
    const Clock& clock_;
    RandomSource& random_;
    BannerConfig config_;

    BannerVars vars_;
    std::chrono::steady_clock::time_point fetchStarted_;
    BannerFetch document_;      // what the last document end handed over, until Fetch takes it
    bool clickOpened_ = false;  // the running click-through has opened its page
};
