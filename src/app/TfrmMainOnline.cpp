// The main window's online services: the banner (its fetch, its clicks, its HTTP clients'
// events) and the self-update (its due test and its sequence), with the tray menu's pages.

#include "BannerPicture.h"
#include "BuildConfig.h"
#include "TfrmMain.h"
#include "online/HttpClient.h"
#include "online/UpdateDueTest.h"
#include "online/UpdateOperation.h"
#include "platform/UrlOpener.h"

#include <QLabel>
#include <QProgressBar>
#include <QScopeGuard>
#include <QTimer>

void TfrmMain::WireBannerClients() {
    HttpEvents& fetch = HttpCli1->events;
    fetch.OnBeforeHeaderSend = [this](HttpMethod method, std::vector<std::string>& headers) {
        HttpCli1BeforeHeaderSend(method, headers);
    };
    fetch.OnCookie = [this](const std::string& data, bool& accept) {
        HttpCli1Cookie(data, accept);
    };
    fetch.OnLocationChange = [this] { HttpCli1LocationChange(); };
    fetch.OnDocData = [this](const char* buffer, std::size_t length) {
        HttpCli1DocData(buffer, length);
    };
    fetch.OnDocEnd = [this] { HttpCli1DocEnd(); };
    fetch.OnPoll = [this] { banner_->FetchPoll(); };
    fetch.OnSocketError = [this] { HttpCli1SocketError(); };
    fetch.OnSocksError = [this](int error, const std::string& message) {
        HttpCli1SocksError(error, message);
    };

    HttpEvents& click = HttpCli2->events;
    click.OnBeforeHeaderSend = fetch.OnBeforeHeaderSend;  // the same Referer line
    click.OnLocationChange = [this] { HttpCli2LocationChange(); };
    click.OnDocBegin = [this] { HttpCli2DocBegin(); };
    click.OnDocData = [this](const char* buffer, std::size_t length) {
        HttpCli2DocData(buffer, length);
    };
    click.OnSocketError = [this] { HttpCli2SocketError(); };
    click.OnSocksError = [this](int error, const std::string& message) {
        HttpCli2SocksError(error, message);
    };
}

// ---------------------------------------------------------------------------------------
// Online services: update check and banner

void TfrmMain::Timer2Timer() {
    // Runs once. Both timers are off before the due test, so that neither ticks inside an
    // operation it starts, and again at the end, whatever happened in between.
    const auto stop = [this] {
        Timer2->stop();
        Timer1->stop();
    };
    stop();
    const auto stopAgain = qScopeGuard(stop);
    if (!update_) return;
    if (updatecheck::UpdateCheckDue(services_.settings, services_.clock)) btndClick();
}

void TfrmMain::btndClick() {
    if (!update_) return;
    const updatecheck::UpdateOperation::Begun begun = update_->Begin();
    if (!begun.started) return;  // one is under way already
    const auto end = qScopeGuard([this] {
        update_->End();
        ProgressBar2->hide();
        stbar->clear();
    });
    stbar->setText(begun.statusText);
    const updatecheck::UpdateOperation::Offer offer = update_->Look();
    if (!offer.found) return;
    RxTrayIconDblClick();
    stbar->setText(offer.statusText);
    ProgressBar2->setValue(ProgressBar2->minimum());
    ProgressBar2->show();
    const updatecheck::UpdateOperation::Download download =
        update_->Fetch([this](updatecheck::UpdateOperation::Progress progress) {
            ProgressBar2->setMaximum(progress.maximum);
            ProgressBar2->setValue(progress.position);
        });
    ProgressBar2->hide();
    if (!download.installable) return;
    stbar->setText(download.statusText);
    if (update_->Install().closeProgram) {
        closeFlag_ = true;
        close();
    }
}

void TfrmMain::N1Click() {
    btndClick();
}

void TfrmMain::N2Click() {
    OpenPage(std::string(build_config::kProgramUrl) + "/?updateTVR");
}

void TfrmMain::N3Click() {
    OpenPage(std::string(build_config::kMakerUrl) + "/?updateTVR");
}

void TfrmMain::tmrBannerTimer() {
    Button1Click();
}

void TfrmMain::Button1Click() {
    // Unless a banner is shown, the built-in picture takes its place.
    if (banner_->Fetch()) Image2->setVisible(true);
}

void TfrmMain::Image1Click() {
    if (banner_->ClickThrough()) Button1Click();
}

void TfrmMain::Image2Click() {
    banner_->BuiltInClick();
    Button1Click();
}

void TfrmMain::HttpCli1BeforeHeaderSend(HttpMethod, std::vector<std::string>& headers) {
    banner_->BeforeHeaderSend(headers);
}

void TfrmMain::HttpCli1Cookie(const std::string& data, bool&) {
    banner_->FetchCookie(data);
}

void TfrmMain::HttpCli1LocationChange() {
    banner_->FetchLocationChange();
}

void TfrmMain::HttpCli1DocData(const char* buffer, std::size_t length) {
    banner_->FetchDocData(buffer, length);
}

void TfrmMain::HttpCli1DocEnd() {
    const BannerDocument document = banner_->FetchDocEnd();
    if (document.hideBuiltIn) Image2->hide();
    if (document.picture.empty()) return;
    // A picture that cannot be decoded leaves the last banner in place and the state at 0.
    if (bannerView_->Show(document.kind, document.picture)) banner_->PictureShown();
}

void TfrmMain::HttpCli1SocketError() {
    banner_->ConnectionFailed();
}

void TfrmMain::HttpCli1SocksError(int, const std::string&) {
    banner_->ConnectionFailed();
}

void TfrmMain::HttpCli2LocationChange() {
    banner_->ClickLocationChange();
}

// The answer of the click counter is not wanted; its body is dropped as it comes.
void TfrmMain::HttpCli2DocBegin() {}

void TfrmMain::HttpCli2DocData(const char*, std::size_t) {}

void TfrmMain::HttpCli2SocketError() {
    banner_->ConnectionFailed();
}

void TfrmMain::HttpCli2SocksError(int, const std::string&) {
    banner_->ConnectionFailed();
}
