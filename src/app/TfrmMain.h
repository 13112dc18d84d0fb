#pragma once

// The program's one window: the traffic display, the search box, the language row, the
// adapter list and the banner, and its timers. It is created once, starts hidden in the
// tray (TrayDock), and closing it only hides it; "Exit" in the tray menu ends the program.
// Its handlers are thin: they call the cores of the other folders and show their results
// on the controls.

#include "AppServices.h"
#include "MainControls.h"
#include "online/Banner.h"
#include "online/BannerState.h"
#include "traffic/TrafficMonitor.h"

#include <QString>
#include <QWidget>

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class BannerView;
class LanguageChoice;
class HttpClient;
class TrayDock;
class WebSearch;
namespace updatecheck {
class UpdateOperation;
}

// The controls are members of the window by the names the design gives them (the form
// takes them over from MainControls, as a form designer's class would).
class TfrmMain final : public QWidget, private form::MainControls {
    Q_OBJECT
  public:
    // Creates the window and its components: the controls, the timers (Timer2 and
    // tmrBanner start counting), the tray dock (its icon shown where a tray exists).
    // FormCreate runs the start-up sequence afterwards.
    explicit TfrmMain(AppServices services, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // The start-up sequence. An error in a step is shown with its text and the remaining
    // steps are skipped.
    void FormCreate();

    // The hand-over from a later start: shows the window if this window's class and its
    // current caption are those asked for.
    bool ShowIfIdentity(const QString& className, const QString& caption);
    void ShowFromTray();

    bool CloseFlag() const { return closeFlag_; }
    // The banner's state as the tray and the banner fetch share it.
    BannerState bannerState() const { return banner_->Vars().bannerState; }
    const std::string& bannerLoc() const { return banner_->Vars().bannerLoc; }
    int bannerNoCache() const { return banner_->Vars().bannerNoCache; }

    const form::MainControls& Controls() const { return *this; }
    TrayDock& Tray() { return *tray_; }
    TrafficMonitor& Monitor() { return *monitor_; }
    LanguageChoice& Language() { return *languageChoice_; }

  signals:
    // The window closed for good (the close flag was set, or there is no tray to live
    // in): the program ends.
    void programEnds();

  protected:
    void closeEvent(QCloseEvent* event) override;  // FormClose
    void showEvent(QShowEvent* event) override;    // FormShow
    void hideEvent(QHideEvent* event) override;
    void changeEvent(QEvent* event) override;       // minimising hides to the tray
    void keyPressEvent(QKeyEvent* event) override;  // FormKeyDown
    void resizeEvent(QResizeEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;  // banner picture clicks

  private slots:
    // Handlers, named after their control and event.
    void RxTrayIconDblClick();
    void ShowStatisticClick();
    void ExitClick();
    void Timer2Timer();
    void trkVisibleChange(int position);
    void gotohelp();
    void selAdapterDropDown();
    void selAdapterChange();
    void tmrRefreshTimer();
    void tmrDrawTimer();
    void Timer1Timer();
    void tmrBannerTimer();
    void Button1Click();  // banner refresh
    void Image1Click();
    void Image2Click();
    void btnSearchClick();
    void btnSelectLanguageClick();
    void btndClick();  // the update operation
    void N1Click();
    void N2Click();
    void N3Click();
    void TrayGraceEnded();

  private:
    void WireControls();
    void HideToTray();
    void ReleaseWhileHidden();
    void FillSearchList();
    void RestartTrafficTimers();
    void ShowDiagram();
    std::uint32_t ButtonFace() const;
    bool FormCanResize(int newWidth, int newHeight) const;
    void OpenPage(const std::string& address);

    // Runs a handler; an error that escapes it is shown with its text and the program goes
    // on. False when it failed.
    bool Guarded(const std::function<void()>& handler);
    // The one way an error reaches the user.
    void ReportError(const QString& text);
    QWidget* MessageOwner();

    AppServices services_;
    TrayDock* tray_ = nullptr;
    std::unique_ptr<TrafficMonitor> monitor_;
    std::unique_ptr<WebSearch> webSearch_;
    std::unique_ptr<LanguageChoice> languageChoice_;
    std::unique_ptr<Banner> banner_;
    std::unique_ptr<BannerView> bannerView_;
    std::unique_ptr<updatecheck::UpdateOperation> update_;  // none in a build without it

    bool closeFlag_ = false;
    bool placed_ = false;
    bool reportingError_ = false;
    int errorsShown_ = 0;  // a step of the start-up sequence that showed one ends it
};
