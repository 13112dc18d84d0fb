#pragma once

// The program's one window: the traffic display, the search box, the language row, the
// adapter list and the banner, its timers, and the tray icon with its menu. It is created
// once, starts hidden in the tray, and closing it only hides it; "Exit" in the tray menu
// ends the program. Most handlers are thin and call the cores of the other folders.

#include "AppServices.h"
#include "TrayClicks.h"
#include "online/Banner.h"
#include "online/BannerState.h"
#include "traffic/TrafficMonitor.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QString>
#include <QWidget>

#include <chrono>
#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class AdapterComboBox;
class BannerView;
class LanguageChoice;
class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QSlider;
class QSystemTrayIcon;
class QTimer;
class HttpClient;
class QToolButton;
class WebSearch;
namespace updatecheck {
class UpdateOperation;
}

class TfrmMain final : public QWidget {
    Q_OBJECT
  public:
    // Creates the window and its components: the controls, the timers (Timer2 and
    // tmrBanner start counting), the tray icon (shown where a tray exists). FormCreate
    // runs the start-up sequence afterwards.
    explicit TfrmMain(AppServices services, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // The start-up sequence. An error in a step is shown with its text and the remaining
    // steps are skipped.
    void FormCreate();

    // Every component the window owns, in creation order (the language walk visits them).
    const std::vector<QObject*>& Components() const { return components_; }

    // The hand-over from a later start: shows the window if this window's class and its
    // current caption are those asked for.
    bool ShowIfIdentity(const QString& className, const QString& caption);

    // --- Handlers, named after their control and event ---
    void RxTrayIconDblClick();
    void ShowStatisticClick();
    void ExitClick();
    void trkVisibleChange(int position);
    bool FormCanResize(int newWidth, int newHeight) const;
    void gotohelp();
    void selAdapterDropDown();
    void selAdapterChange();
    void tmrRefreshTimer();
    void tmrDrawTimer();
    void Timer1Timer();
    void Timer2Timer();
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

    // Tray operations.
    void ShowFromTray();
    void HideToTray();
    bool TrayPresent() const { return trayPresent_; }
    // The start of the program's life in the tray. A program started at login often comes
    // up before the panel that hosts the tray: without a tray it waits up to `grace` for
    // one, and only then shows the window, its one way in. A tray that appears later still
    // takes the program in.
    void StartInTray(std::chrono::milliseconds grace);
    // Looks whether a tray host is there now; done every few seconds, and at once when the
    // desktop says one came or went.
    void WatchTray();
    // The picture and tooltip as the tray shows them; each is re-sent only when it changes.
    int TrayImage() const { return trayImage_; }
    void SetTrayImage(int index);
    void SetTrayHint(const QString& text);

    bool CloseFlag() const { return closeFlag_; }
    // The banner's state as the tray and the banner fetch share it.
    BannerState bannerState() const { return banner_->Vars().bannerState; }
    const std::string& bannerLoc() const { return banner_->Vars().bannerLoc; }
    int bannerNoCache() const { return banner_->Vars().bannerNoCache; }

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
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    void WireControls();
    void WireTrayIcon();
    void MakeTrayIcon();
    void OnTrayActivated(int reason);
    void EndTrayGrace();
    void ReleaseWhileHidden();
    void FillSearchList();
    void RestartTrafficTimers();
    void ShowDiagram();
    std::uint32_t ButtonFace() const;
    void OpenPage(const std::string& address);

    // Runs a handler; an error that escapes it is shown with its text and the program
    // goes on.
    void Guarded(const std::function<void()>& handler);
    void ReportError(const QString& text);
    QWidget* MessageOwner();

    // The controls and components the handlers act on, found by name in the window built
    // from the FormLayout and FormComponents tables. Others (tests, language files)
    // address them by object name too.
    QLabel* lblInetStat;
    QLabel* lblLevelPerPeriod;
    QLabel* lblAverageDiagram;
    QLabel* lblLevelPerPeriodW;
    QLabel* lblAverageDiagramW;
    QLabel* lblLevel;
    QLabel* imgDraw;
    QLabel* Image1;
    QLabel* Image2;
    QComboBox* SearchText;
    QPushButton* btnSearch;
    QPushButton* btnd;
    QLineEdit* edtConnectedSpeed;
    QLineEdit* edtByteReadToday;
    QLineEdit* edtByteWriteToday;
    QLineEdit* edtByteReadTodayLastSessinon;
    QLineEdit* edtByteWriteTodayLastSessinon;
    QLabel* stbar;
    QProgressBar* ProgressBar2;
    QCheckBox* chkLine;
    QSlider* trkVisible;
    QToolButton* btnOtherLNG;
    QToolButton* btnSelectLanguage;
    QToolButton* btnSaveOptions;
    QToolButton* SpeedButton1;
    AdapterComboBox* selAdapter;
    QTimer* tmrRefresh;
    QTimer* tmrDraw;
    QTimer* Timer1;
    QTimer* Timer2;
    QTimer* tmrBanner;
    // The HTTP clients of the banner fetch, the banner click-through and the update.
    HttpClient* HttpCli1;
    HttpClient* HttpCli2;
    HttpClient* getpic;
    QSystemTrayIcon* RxTrayIcon;  // none until a tray host is there
    QAction* N2;
    QAction* N3;
    QAction* N1;
    QAction* ShowStatistic;
    QAction* Exit;

    AppServices services_;
    std::vector<QObject*> components_;
    std::unique_ptr<TrafficMonitor> monitor_;
    std::unique_ptr<WebSearch> webSearch_;
    std::unique_ptr<LanguageChoice> languageChoice_;
    std::unique_ptr<Banner> banner_;
    std::unique_ptr<BannerView> bannerView_;
    std::unique_ptr<updatecheck::UpdateOperation> update_;  // none in a build without it

    bool closeFlag_ = false;
    bool trayPresent_ = false;
    int trayImage_ = 0;
    QString trayHint_ = QStringLiteral("Torvane");  // the tooltip, also while there is no icon
    QTimer* trayWatch_ = nullptr;
    bool awaitingTray_ = false;  // within the grace period of StartInTray
    QDeadlineTimer trayGrace_;
    TrayClicks trayClicks_;
    QElapsedTimer clickClock_;
    bool placed_ = false;
    bool reportingError_ = false;
    int errorsShown_ = 0;  // a step of the start-up sequence that showed one ends it
};
