// The main window's online services: the banner (its fetch and its clicks) and the
// self-update (its due test and its run), with the tray menu's pages. Each maps what its
// core answers onto the controls.

#include "BannerPicture.h"
#include "BuildConfig.h"
#include "TfrmMain.h"
#include "online/UpdateDueTest.h"
#include "online/UpdateOperation.h"
#include "platform/UrlOpener.h"

#include <QLabel>
#include <QProgressBar>
#include <QScopeGuard>
#include <QTimer>

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
    const updatecheck::CheckDue check =
        updatecheck::UpdateCheckDue(services_.settings, services_.clock);
    if (check.error.has_value()) return ReportError(QString::fromStdString(*check.error));
    if (check.due) btndClick();
}

void TfrmMain::btndClick() {
    if (!update_) return;
    struct View final : updatecheck::UpdateView {
        TfrmMain& window;
        explicit View(TfrmMain& w) : window(w) {}
        void ShowStatus(const QString& text) override { window.stbar->setText(text); }
        void ShowWindow() override { window.RxTrayIconDblClick(); }
        void StartProgress() override {
            window.ProgressBar2->setValue(window.ProgressBar2->minimum());
            window.ProgressBar2->show();
        }
        void ShowProgress(updatecheck::UpdateProgress progress) override {
            window.ProgressBar2->setMaximum(progress.maximum);
            window.ProgressBar2->setValue(progress.position);
        }
        void HideProgress() override { window.ProgressBar2->hide(); }
        void EndProgram() override {
            window.closeFlag_ = true;
            window.close();
        }
    } view(*this);
    update_->Run(view);
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
    const BannerFetch fetched = banner_->Fetch();
    if (fetched.builtIn == BuiltInPicture::Hide) Image2->hide();
    if (!fetched.picture.empty()) {
        // A picture that cannot be decoded leaves the last banner in place, the state at 0,
        // and the built-in picture in front of it.
        if (bannerView_->Show(fetched.kind, fetched.picture))
            banner_->PictureShown();
        else
            Image2->setVisible(true);
    }
    if (fetched.builtIn == BuiltInPicture::Show) Image2->setVisible(true);
}

void TfrmMain::Image1Click() {
    if (banner_->ClickThrough() == BannerClick::FetchAgain) Button1Click();
}

void TfrmMain::Image2Click() {
    banner_->BuiltInClick();
    Button1Click();
}
