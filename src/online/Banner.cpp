#include "online/Banner.h"

#include "platform/Clock.h"
#include "platform/RandomSource.h"
#include "platform/UrlOpener.h"
#include "util/funcQuendra.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstdint>
#include <utility>

namespace {

bool StartsWith(std::string_view body, std::string_view signature) {
    return body.substr(0, signature.size()) == signature;
}

std::uint8_t Byte(std::string_view body, std::size_t at) {
    return static_cast<std::uint8_t>(body[at]);
}

std::uint32_t Le32(std::string_view body, std::size_t at) {
    return Byte(body, at) | Byte(body, at + 1) << 8 | Byte(body, at + 2) << 16 |
           static_cast<std::uint32_t>(Byte(body, at + 3)) << 24;
}

// "BM", then a bitmap info header of one of the sizes that have been defined.
bool IsBmp(std::string_view body) {
    if (!StartsWith(body, "BM") || body.size() < 18) return false;
    constexpr std::array<std::uint32_t, 7> kInfoSizes = {12, 16, 40, 52, 56, 64, 108};
    const std::uint32_t info = Le32(body, 14);
    return info == 124 || std::find(kInfoSizes.begin(), kInfoSizes.end(), info) != kInfoSizes.end();
}

// Manufacturer 10, a known version, run-length encoding, 1 to 8 bits per pixel.
bool IsPcx(std::string_view body) {
    if (body.size() < 4 || Byte(body, 0) != 0x0A || Byte(body, 2) != 1) return false;
    const std::uint8_t version = Byte(body, 1);
    const std::uint8_t bits = Byte(body, 3);
    return (version == 0 || (version >= 2 && version <= 5)) &&
           (bits == 1 || bits == 2 || bits == 4 || bits == 8);
}

// An icon or cursor directory: reserved 0, type 1 or 2, at least one entry.
bool IsIcon(std::string_view body) {
    if (body.size() < 6) return false;
    return Byte(body, 0) == 0 && Byte(body, 1) == 0 && (Byte(body, 2) == 1 || Byte(body, 2) == 2) &&
           Byte(body, 3) == 0 && (Byte(body, 4) != 0 || Byte(body, 5) != 0);
}

// Targa has no signature in front; version 2 files end with one.
bool IsTarga(std::string_view body) {
    constexpr std::string_view kFooter("TRUEVISION-XFILE.\0", 18);
    return body.size() >= kFooter.size() && body.substr(body.size() - kFooter.size()) == kFooter;
}

bool IsWebP(std::string_view body) {
    return body.size() >= 12 && StartsWith(body, "RIFF") && body.substr(8, 4) == "WEBP";
}

}  // namespace

bool IsOtherPictureFormat(std::string_view body) {
    using namespace std::string_view_literals;
    return StartsWith(body, "\x89PNG\r\n\x1A\n"sv) || StartsWith(body, "II*\0"sv) ||
           StartsWith(body, "MM\0*"sv) || StartsWith(body, "II+\0"sv) ||
           StartsWith(body, "MM\0+"sv) || IsBmp(body) || IsPcx(body) || IsWebP(body) ||
           IsIcon(body) || IsTarga(body);
}

BannerPictureKind RecogniseBannerBody(std::string_view body, const std::string& location) {
    if (body.size() >= 3 && std::toupper(Byte(body, 0)) == 'G' &&
        std::toupper(Byte(body, 1)) == 'I' && std::toupper(Byte(body, 2)) == 'F')
        return BannerPictureKind::Gif;
    if (IsOtherPictureFormat(body)) return BannerPictureKind::OtherPicture;
    if (LowerCaseCyr(location).find(".jpg") != std::string::npos) return BannerPictureKind::Jpeg;
    return BannerPictureKind::None;
}

std::string BannerPageOf(const std::string& catalogueUrl) {
    std::string page = ReplaceAll(catalogueUrl, ":", "%3A");
    if (page.empty() || page.back() != '/') page += '/';
    return page;
}

Banner::Banner(HttpClient& fetchClient, HttpClient& clickClient, UrlOpener& opener,
               const Clock& clock, RandomSource& random, BannerConfig config)
    : HttpCli1(fetchClient),
      HttpCli2(clickClient),
      opener_(opener),
      clock_(clock),
      random_(random),
      config_(std::move(config)) {
    HttpEvents& fetch = HttpCli1.events;
    fetch = HttpEvents{};
    fetch.OnBeforeHeaderSend = [this](HttpMethod, std::vector<std::string>& headers) {
        BeforeHeaderSend(headers);
    };
    fetch.OnCookie = [this](const std::string& data, bool&) { FetchCookie(data); };
    fetch.OnLocationChange = [this] { FetchLocationChange(); };
    fetch.OnDocData = [this](const char* buffer, std::size_t length) {
        FetchDocData(buffer, length);
    };
    fetch.OnDocEnd = [this] { FetchDocEnd(); };
    fetch.OnPoll = [this] { FetchPoll(); };
    fetch.OnSocketError = [this] { ConnectionFailed(); };
    fetch.OnSocksError = [this](int, const std::string&) { ConnectionFailed(); };

    // The answer of the click counter is not wanted: its body is dropped as it comes.
    HttpEvents& click = HttpCli2.events;
    click = HttpEvents{};
    click.OnBeforeHeaderSend = fetch.OnBeforeHeaderSend;  // the same Referer line
    click.OnLocationChange = [this] { ClickLocationChange(); };
    click.OnSocketError = fetch.OnSocketError;
    click.OnSocksError = fetch.OnSocksError;
}

Banner::~Banner() {
    HttpCli1.events = HttpEvents{};
    HttpCli2.events = HttpEvents{};
}

void Banner::SetUpPage() {
    vars_.bannerLoc = BannerPageOf(config_.catalogueUrl);
    vars_.bannerNoCache = random_.Bounded(100000);
}

void Banner::SetUpBuffer() {
    vars_.bannerState = BannerState::Idle;
    DropData();
}

std::string Banner::FetchAddress() const {
    return config_.adUrl + "/bb.cgi?cmd=ad&pubid=" + config_.publisher +
           "&pg=1&vbn=2&num=1&w=468&h=60&nocache=" + std::to_string(vars_.bannerNoCache) +
           "&ref=&loc=" + vars_.bannerLoc;
}

std::string Banner::ClickAddress() const {
    return config_.adUrl + "/bb.cgi?cmd=go&pubid=" + config_.publisher +
           "&pg=1&vbn=2&num=1&w=468&h=60&nocache=" + std::to_string(vars_.bannerNoCache) +
           "&loc=" + vars_.bannerLoc + "&ref=";
}

BannerFetch Banner::Fetch() {
    // A fetch that is under way gives way to this one. (Its GET, suspended further up in
    // the pump, then returns without a document end and leaves alone what this one does.)
    if (HttpCli1.Busy() || vars_.bannerState == BannerState::Loading) HttpCli1.Abort();
    BannerFetch fetched;
    if (!HttpCli1.Busy()) {
        vars_.bannerAborted = false;
        vars_.bannerState = BannerState::Loading;
        vars_.bannerCookies.clear();
        vars_.bannerNoCache = random_.Bounded(10000);
        HttpCli1.URL = FetchAddress();
        HttpCli1.NoCache = true;
        DropData();
        document_ = BannerFetch{};
        fetchStarted_ = clock_.Monotonic();
        if (HttpCli1.Get().error.has_value()) {
            // Not the user's business: the built-in picture stands in.
            vars_.bannerAborted = true;
            vars_.bannerState = BannerState::Idle;
            HttpCli1.Abort();
        }
        fetched = std::exchange(document_, BannerFetch{});
    }
    if (!fetched.picture.empty() && !vars_.bannerAborted) {
        // A JPEG leaves the built-in picture as it is; a failed fetch before may have shown it.
        fetched.builtIn =
            fetched.kind == BannerPictureKind::Gif ? BuiltInPicture::Hide : BuiltInPicture::Keep;
    } else if (vars_.bannerState != BannerState::Shown) {
        fetched.builtIn = BuiltInPicture::Show;
    }
    return fetched;
}

void Banner::PictureShown() {
    // A fetch that failed after its document end still counts as failed.
    if (!vars_.bannerAborted) vars_.bannerState = BannerState::Shown;
}

BannerClick Banner::ClickThrough() {
    if (HttpCli1.Busy()) return BannerClick::Ignored;
    HttpCli2.URL = ClickAddress();
    HttpCli2.Cookie = vars_.bannerCookies;
    HttpCli2.NoCache = true;
    if (!HttpCli2.Busy()) clickOpened_ = false;
    if (HttpCli2.Get().error.has_value()) HttpCli2.Abort();
    return BannerClick::FetchAgain;
}

void Banner::BuiltInClick() {
    vars_.bannerState = BannerState::Shown;
    opener_.Open(config_.catalogueUrl + "/?fromtvr");
}

void Banner::BeforeHeaderSend(std::vector<std::string>& headers) const {
    headers.push_back("Referer: " + ReplaceAll(vars_.bannerLoc, "%3A", ":"));
}

void Banner::FetchCookie(const std::string& data) {
    vars_.bannerCookies = data + ";" + vars_.bannerCookies;
}

void Banner::FetchLocationChange() {
    vars_.bannerLocation = HttpCli1.Location();
}

void Banner::FetchDocData(const char* buffer, std::size_t length) {
    if (length > kBodyCap - vars_.bannerData.size()) {
        FailFetch();  // too long for a banner
        return;
    }
    vars_.bannerData.append(buffer, length);
}

void Banner::FetchPoll() {
    if (clock_.Monotonic() - fetchStarted_ > config_.fetchTimeLimit) FailFetch();
}

void Banner::FailFetch() {
    vars_.bannerAborted = true;
    vars_.bannerState = BannerState::Idle;
    DropData();
    HttpCli1.Abort();
}

void Banner::FetchDocEnd() {
    if (vars_.bannerAborted) {
        HttpCli1.Abort();
        return;
    }
    std::string data = std::exchange(vars_.bannerData, std::string());
    vars_.bannerState = BannerState::Idle;
    if (data.size() < kMinimumBody) return;
    document_.kind = RecogniseBannerBody(data, vars_.bannerLocation);
    if (document_.kind == BannerPictureKind::Gif || document_.kind == BannerPictureKind::Jpeg)
        document_.picture = std::move(data);
}

void Banner::ClickLocationChange() {
    vars_.bannerState = BannerState::Shown;
    // One page per click: a chain of redirections (or a loop) must not open a browser
    // window for every hop.
    if (clickOpened_) return;
    clickOpened_ = true;
    opener_.Open(HttpCli2.Location());
}

void Banner::ConnectionFailed() {
    vars_.bannerState = BannerState::Idle;
}

void Banner::DropData() {
    // The buffer's memory goes too: a banner is fetched every ten minutes at most.
    std::string().swap(vars_.bannerData);
}
