#include "TfrmMain.h"

#include "AdapterComboBox.h"
#include "BannerPicture.h"
#include "BuildConfig.h"
#include "FormComponents.h"
#include "FormLayout.h"
#include "LanguageChoice.h"
#include "Pictures.h"
#include "online/THttpCli.h"
#include "online/UpdateDueTest.h"
#include "online/UpdateOperation.h"
#include "online/WebSearch.h"
#include "platform/FreeMemory.h"
#include "platform/RandomSource.h"
#include "platform/UrlOpener.h"
#include "traffic/ConnectionLog.h"
#include "util/CodePage.h"
#include "util/funcQuendra.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QGuiApplication>
#include <QImage>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QSlider>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QToolButton>

#include <exception>
#include <stdexcept>
#include <utility>

namespace {

constexpr int kTrayWatchPeriod = 3000;  // milliseconds between looks for a tray host
constexpr int kTrayGraceLook = 200;     // the same, while waiting for a tray at start

// States the fixed-size window never keeps.
constexpr Qt::WindowStates kLargerStates = Qt::WindowMaximized | Qt::WindowFullScreen;

const QString kProgramTitle = QStringLiteral("Torvane");
constexpr QRgb kOnlineColour = qRgb(0, 128, 0);

template <class T>
T* Find(QWidget& window, const char* name) {
    auto* found = window.findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) throw std::logic_error(std::string("no control ") + name);
    return found;
}

HttpClient& FindClient(QWidget& window, const char* name) {
    auto* component = dynamic_cast<form::HttpClientComponent*>(Find<QObject>(window, name));
    if (component == nullptr) throw std::logic_error(std::string("no HTTP client ") + name);
    return component->Client();
}

}  // namespace

// The pictures compiled into the library (the built-in banner).
static void InitResources() {
    Q_INIT_RESOURCE(torvane);
}

TfrmMain::TfrmMain(AppServices services, QWidget* parent)
    : QWidget(parent, Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                          Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                          Qt::WindowCloseButtonHint | Qt::WindowStaysOnTopHint |
                          Qt::MSWindowsFixedSizeDialogHint),
      services_(std::move(services)),
      trayClicks_(QApplication::doubleClickInterval()) {
    InitResources();
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QString::fromUtf16(form::kDesignCaption));
    setFont(form::FontOf(form::Face::Window));
    setFixedSize(form::kClientSize);
    setAttribute(Qt::WA_AlwaysShowToolTips);
    QPalette palette = this->palette();
    palette.setColor(QPalette::Window, palette.color(QPalette::Button));  // button face
    setPalette(palette);
    setWindowIcon(TrayPicture(0));

    components_ = form::BuildControls(*this);
    const form::HttpClientFactory makeClient =
        services_.makeHttpClient ? services_.makeHttpClient : [this] {
            return std::unique_ptr<HttpClient>(
                std::make_unique<THttpCli>(&THttpCli::PumpWindow, services_.clock));
        };
    // The tray icon only where a tray host is there already (see MakeTrayIcon).
    const bool trayHost = services_.trayAvailable && services_.trayAvailable();
    for (QObject* component : form::BuildComponents(*this, makeClient, trayHost))
        components_.push_back(component);
    HttpCli1 = &FindClient(*this, "HttpCli1");
    HttpCli2 = &FindClient(*this, "HttpCli2");
    getpic = &FindClient(*this, "getpic");
    static SystemRandom systemRandom;
    banner_ =
        std::make_unique<Banner>(*HttpCli1, *HttpCli2, services_.urlOpener, services_.clock,
                                 services_.random ? *services_.random : systemRandom,
                                 BannerConfig{build_config::kAdUrl, build_config::kAdPublisher,
                                              build_config::kCatalogueUrl});
    lblInetStat = Find<QLabel>(*this, "lblInetStat");
    lblLevelPerPeriod = Find<QLabel>(*this, "lblLevelPerPeriod");
    lblAverageDiagram = Find<QLabel>(*this, "lblAverageDiagram");
    lblLevelPerPeriodW = Find<QLabel>(*this, "lblLevelPerPeriodW");
    lblAverageDiagramW = Find<QLabel>(*this, "lblAverageDiagramW");
    lblLevel = Find<QLabel>(*this, "lblLevel");
    imgDraw = Find<QLabel>(*this, "imgDraw");
    Image1 = Find<QLabel>(*this, "Image1");
    Image2 = Find<QLabel>(*this, "Image2");
    SearchText = Find<QComboBox>(*this, "SearchText");
    btnSearch = Find<QPushButton>(*this, "btnSearch");
    btnd = Find<QPushButton>(*this, "btnd");
    edtConnectedSpeed = Find<QLineEdit>(*this, "edtConnectedSpeed");
    edtByteReadToday = Find<QLineEdit>(*this, "edtByteReadToday");
    edtByteWriteToday = Find<QLineEdit>(*this, "edtByteWriteToday");
    edtByteReadTodayLastSessinon = Find<QLineEdit>(*this, "edtByteReadTodayLastSessinon");
    edtByteWriteTodayLastSessinon = Find<QLineEdit>(*this, "edtByteWriteTodayLastSessinon");
    stbar = Find<QLabel>(*this, "stbar");
    ProgressBar2 = Find<QProgressBar>(*this, "ProgressBar2");
    chkLine = Find<QCheckBox>(*this, "chkLine");
    trkVisible = Find<QSlider>(*this, "trkVisible");
    btnOtherLNG = Find<QToolButton>(*this, "btnOtherLNG");
    btnSelectLanguage = Find<QToolButton>(*this, "btnSelectLanguage");
    btnSaveOptions = Find<QToolButton>(*this, "btnSaveOptions");
    SpeedButton1 = Find<QToolButton>(*this, "SpeedButton1");
    selAdapter = Find<AdapterComboBox>(*this, "selAdapter");
    tmrRefresh = Find<QTimer>(*this, "tmrRefresh");
    tmrDraw = Find<QTimer>(*this, "tmrDraw");
    Timer1 = Find<QTimer>(*this, "Timer1");
    Timer2 = Find<QTimer>(*this, "Timer2");
    tmrBanner = Find<QTimer>(*this, "tmrBanner");
    RxTrayIcon = findChild<QSystemTrayIcon*>(QStringLiteral("RxTrayIcon"));
    N2 = Find<QAction>(*this, "N2");
    N3 = Find<QAction>(*this, "N3");
    N1 = Find<QAction>(*this, "N1");
    ShowStatistic = Find<QAction>(*this, "ShowStatistic");
    Exit = Find<QAction>(*this, "Exit");
    if (services_.update.swap != nullptr) {
        update_ = std::make_unique<updatecheck::UpdateOperation>(
            *getpic, services_.clock,
            updatecheck::UpdateSite{build_config::kUpdateUrl, GetExeVersion(),
                                    services_.programFolder, services_.update.executablePath},
            *services_.update.swap, services_.update.wait);
    }
    N1->setEnabled(update_ != nullptr);
    // The query is the box's text exactly as typed. Qt's own completer for the box would
    // complete inline without regard to letter case and turn "Weather" into the entry
    // "weather" when the box loses the focus; the list is there to pick from instead.
    SearchText->setCompleter(nullptr);
    bannerView_ = std::make_unique<BannerView>(*Image1);
    bannerView_->SetPlaying(false);  // the window starts hidden

    languageChoice_ = std::make_unique<LanguageChoice>(
        *this, services_.urlOpener, build_config::kMakerUrl, services_.programFolder,
        services_.languageDialog ? services_.languageDialog(*this) : nullptr);
    WireControls();

    monitor_ = std::make_unique<TrafficMonitor>(services_.interfaceTable, services_.settings,
                                                services_.clock,
                                                ConnectionLogPath(services_.programFolder));
    webSearch_ = std::make_unique<WebSearch>(services_.programFolder, build_config::kSearchUrl,
                                             services_.urlOpener, services_.clock);

    // These two count from the window's creation.
    Timer2->start();
    tmrBanner->start();

    clickClock_.start();
    trayPresent_ = trayHost;
    if (trayPresent_) RxTrayIcon->show();
    trayWatch_ = new QTimer(this);
    trayWatch_->setInterval(kTrayWatchPeriod);
    connect(trayWatch_, &QTimer::timeout, this, &TfrmMain::WatchTray);
    trayWatch_->start();
}

TfrmMain::~TfrmMain() = default;

void TfrmMain::WireControls() {
    const auto guarded = [this](void (TfrmMain::*handler)()) {
        return [this, handler] { Guarded([this, handler] { (this->*handler)(); }); };
    };
    connect(tmrRefresh, &QTimer::timeout, this, guarded(&TfrmMain::tmrRefreshTimer));
    connect(tmrDraw, &QTimer::timeout, this, guarded(&TfrmMain::tmrDrawTimer));
    connect(Timer1, &QTimer::timeout, this, guarded(&TfrmMain::Timer1Timer));
    connect(Timer2, &QTimer::timeout, this, guarded(&TfrmMain::Timer2Timer));
    connect(tmrBanner, &QTimer::timeout, this, guarded(&TfrmMain::tmrBannerTimer));

    if (RxTrayIcon != nullptr) WireTrayIcon();
    connect(N2, &QAction::triggered, this, guarded(&TfrmMain::N2Click));
    connect(N3, &QAction::triggered, this, guarded(&TfrmMain::N3Click));
    connect(N1, &QAction::triggered, this, guarded(&TfrmMain::N1Click));
    connect(ShowStatistic, &QAction::triggered, this, guarded(&TfrmMain::ShowStatisticClick));
    connect(Exit, &QAction::triggered, this, guarded(&TfrmMain::ExitClick));

    connect(trkVisible, &QSlider::valueChanged, this,
            [this](int position) { Guarded([this, position] { trkVisibleChange(position); }); });
    connect(btnSearch, &QPushButton::clicked, this, guarded(&TfrmMain::btnSearchClick));
    connect(btnd, &QPushButton::clicked, this, guarded(&TfrmMain::btndClick));
    connect(SpeedButton1, &QToolButton::clicked, this, guarded(&TfrmMain::Button1Click));
    const auto language = [this](void (LanguageChoice::*handler)()) {
        return [this, handler] { Guarded([this, handler] { (*languageChoice_.*handler)(); }); };
    };
    connect(btnSelectLanguage, &QToolButton::clicked, this,
            guarded(&TfrmMain::btnSelectLanguageClick));
    connect(btnSaveOptions, &QToolButton::clicked, this,
            language(&LanguageChoice::btnSaveOptionsClick));
    connect(btnOtherLNG, &QToolButton::clicked, this, language(&LanguageChoice::btnOtherLNGClick));

    selAdapter->SetDropDownHandler([this] { Guarded([this] { selAdapterDropDown(); }); });
    connect(selAdapter, &QComboBox::activated, this, guarded(&TfrmMain::selAdapterChange));

    // Keys: F1 (and Enter in the search box and on its button) in the listed controls,
    // every key discarded in the adapter list; clicks on the two banner pictures.
    for (QObject* control :
         {static_cast<QObject*>(SearchText), static_cast<QObject*>(btnSearch),
          static_cast<QObject*>(chkLine), static_cast<QObject*>(trkVisible),
          static_cast<QObject*>(selAdapter), static_cast<QObject*>(selAdapter->view()),
          static_cast<QObject*>(Image1), static_cast<QObject*>(Image2)}) {
        control->installEventFilter(this);
    }
}

void TfrmMain::WireTrayIcon() {
    connect(RxTrayIcon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) { OnTrayActivated(reason); });
}

void TfrmMain::MakeTrayIcon() {
    // Made only now that a tray host is there: the first tray icon of the process settles
    // for good whether Qt puts it on the D-Bus tray or into an XEmbed tray.
    RxTrayIcon = new QSystemTrayIcon(TrayPicture(trayImage_), this);
    RxTrayIcon->setObjectName(QStringLiteral("RxTrayIcon"));
    RxTrayIcon->setToolTip(trayHint_);
    RxTrayIcon->setContextMenu(findChild<QMenu*>(QStringLiteral("PopupMenu")));
    components_.push_back(RxTrayIcon);
    WireTrayIcon();
}

// ---------------------------------------------------------------------------------------
// Start-up sequence

void TfrmMain::FormCreate() {
    const std::vector<std::function<void()>> steps = {
        // 1. Search history: the box's list from "search.csv" (created when missing).
        [this] {
            webSearch_->LoadHistory();
            FillSearchList();
        },
        // 2. Banner, first half: the page the banner counts as shown on, and the first
        //    cache-breaking number.
        [this] { banner_->SetUpPage(); },
        // 3. The caption a later start looks for.
        [this] {
            setWindowTitle(QStringLiteral("Torvane v") + QString::fromStdString(GetExeVersion()));
        },
        // 4. Banner, second half: no banner yet, an empty buffer for downloads.
        [this] { banner_->SetUpBuffer(); },
        // 5. Diagram clock: started when the monitor was made with the window, moments ago.
        [] {},
        // 6. Sampling state.
        [this] { monitor_->StartUp(); },
        // 7. Language: the remembered language file applied to the window.
        [this] { languageChoice_->FormCreateLanguage(); },
        // 8. Diagram size: the monitor's diagram has imgDraw's 342 x 39 pixels.
        [] {},
        // 9. One sampling tick and one diagram tick right away.
        [this] {
            const int shownBefore = errorsShown_;
            tmrRefreshTimer();
            if (errorsShown_ == shownBefore) tmrDrawTimer();
        },
        // 10. The diagram cleared to the button face.
        [this] {
            monitor_->ClearDiagram(ButtonFace());
            ShowDiagram();
        },
        // 11. The timers on (Timer2 runs already).
        [this] {
            tmrDraw->start();
            tmrRefresh->start();
            Timer1->start();
            if (!Timer2->isActive()) Timer2->start();
        },
        // 12. The adapter list.
        [this] { selAdapterDropDown(); },
        // 13. The remembered adapter, chosen as if the user had picked it.
        [this] {
            QStringList items;
            for (int i = 0; i < selAdapter->count(); ++i)
                items << selAdapter->itemText(i);
            const std::optional<QString> item = monitor_->RememberedItem(items);
            if (!item.has_value()) return;
            selAdapter->ShowText(*item);
            selAdapterChange();
        },
    };
    for (const auto& step : steps) {
        const int shownBefore = errorsShown_;
        try {
            step();
            if (errorsShown_ != shownBefore) return;
        } catch (const std::exception& e) {
            ReportError(QString::fromUtf8(e.what()));
            return;
        } catch (...) {
            ReportError(QStringLiteral("Unknown error"));
            return;
        }
    }
}

// ---------------------------------------------------------------------------------------
// Tray, showing and hiding, closing

void TfrmMain::OnTrayActivated(int reason) {
    const auto why = static_cast<QSystemTrayIcon::ActivationReason>(reason);
    if (!trayClicks_.Toggles(why, clickClock_.elapsed())) return;
    Guarded([this] { RxTrayIconDblClick(); });
}

void TfrmMain::RxTrayIconDblClick() {
    if (bannerState() == BannerState::Loading) return;  // a banner request is under way
    if (isVisible()) {
        HideToTray();
        return;
    }
    ShowFromTray();
    QCoreApplication::processEvents();
    Button1Click();
}

void TfrmMain::ShowStatisticClick() {
    ShowFromTray();
    QCoreApplication::processEvents();
    Button1Click();
}

void TfrmMain::ExitClick() {
    closeFlag_ = true;
    close();
}

void TfrmMain::ShowFromTray() {
    if (isMinimized()) setWindowState(windowState() & ~Qt::WindowMinimized);
    if (!placed_) {
        // The centre of the desktop, the first time only; after that where the user left it.
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            const QRect desktop = screen->availableGeometry();
            move(desktop.center() - QPoint(width() / 2, height() / 2));
        }
        placed_ = true;
    }
    show();
    raise();
    activateWindow();
}

void TfrmMain::HideToTray() {
    hide();
}

bool TfrmMain::ShowIfIdentity(const QString& className, const QString& caption) {
    if (className != QLatin1String(metaObject()->className()) || caption != windowTitle())
        return false;
    ShowFromTray();
    return true;
}

void TfrmMain::SetTrayImage(int index) {
    if (index < 0 || index >= kTrayPictureCount || index == trayImage_) return;
    trayImage_ = index;
    if (RxTrayIcon != nullptr) RxTrayIcon->setIcon(TrayPicture(index));
}

void TfrmMain::SetTrayHint(const QString& text) {
    trayHint_ = text;
    if (RxTrayIcon != nullptr && RxTrayIcon->toolTip() != text) RxTrayIcon->setToolTip(text);
}

void TfrmMain::StartInTray(std::chrono::milliseconds grace) {
    if (trayPresent_) return;
    awaitingTray_ = true;
    trayGrace_.setRemainingTime(grace);
    trayWatch_->start(kTrayGraceLook);
}

void TfrmMain::WatchTray() {
    const bool available = services_.trayAvailable && services_.trayAvailable();
    if (available && !trayPresent_) {
        // A tray host appeared (for the first time, or again after it went away): dock the
        // icon there anew.
        if (RxTrayIcon == nullptr) {
            MakeTrayIcon();
        } else {
            RxTrayIcon->hide();
        }
        RxTrayIcon->show();
    }
    trayPresent_ = available;
    if (awaitingTray_ && (trayPresent_ || trayGrace_.hasExpired())) EndTrayGrace();
}

void TfrmMain::EndTrayGrace() {
    awaitingTray_ = false;
    trayWatch_->setInterval(kTrayWatchPeriod);
    // No tray came: the window shows as "Show Statistic" shows it (with a banner request),
    // unless a later start has shown it already.
    if (!trayPresent_ && !isVisible()) Guarded([this] { ShowStatisticClick(); });
}

void TfrmMain::closeEvent(QCloseEvent* event) {
    if (closeFlag_ || !trayPresent_) {
        // Ending: with the close flag set, or when there is no tray to live in. A request
        // that waits (this close may come from inside its wait) ends now, so that the event
        // loop can unwind and the program end without waiting on a server.
        event->accept();
        if (update_) update_->Cancel();
        for (HttpClient* client : {HttpCli1, HttpCli2, getpic})
            client->Abort();
        emit programEnds();
        return;
    }
    event->ignore();
    HideToTray();
}

void TfrmMain::showEvent(QShowEvent* event) {
    QWidget::showEvent(event);
    bannerView_->SetPlaying(true);
    QCoreApplication::processEvents();
}

void TfrmMain::hideEvent(QHideEvent* event) {
    QWidget::hideEvent(event);
    // Nobody sees an animated banner of a hidden window; it rests until the window shows.
    bannerView_->SetPlaying(false);
    QTimer::singleShot(0, this, [this] { ReleaseWhileHidden(); });
}

void TfrmMain::ReleaseWhileHidden() {
    if (isVisible() || !testAttribute(Qt::WA_WState_Created)) return;
    // The window rests in the tray, maybe for days: its native window and the picture of its
    // contents go, and come again on the next show (the widgets keep their state and
    // place). Then the heap gives back what showing the window had taken.
    destroy(true, true);
    platform::ReturnFreedMemory();
}

void TfrmMain::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    if (event->type() != QEvent::WindowStateChange) return;
    if (windowState() & kLargerStates) {
        // The window has one size. A window manager may grant full screen anyway (openbox
        // offers it to every normal window) or maximise a window that asks for a fixed
        // size; either is undone at once.
        QTimer::singleShot(0, this, [this] { setWindowState(windowState() & ~kLargerStates); });
    }
    if (isMinimized() && trayPresent_) {
        // Minimising goes to the tray; done once the state change has settled.
        QTimer::singleShot(0, this, [this] {
            if (!isMinimized()) return;
            setWindowState(windowState() & ~Qt::WindowMinimized);
            HideToTray();
        });
    }
}

bool TfrmMain::FormCanResize(int newWidth, int newHeight) const {
    return newWidth == form::kClientSize.width() && newHeight == form::kClientSize.height();
}

void TfrmMain::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    if (!FormCanResize(width(), height())) resize(form::kClientSize);
}

void TfrmMain::trkVisibleChange(int position) {
    setWindowOpacity(position / 255.0);
}

// ---------------------------------------------------------------------------------------
// Keys and clicks

void TfrmMain::keyPressEvent(QKeyEvent* event) {
    // Only when the window itself has the focus; the controls handle their own F1.
    QWidget* focus = QApplication::focusWidget();
    if (event->key() == Qt::Key_F1 && (focus == nullptr || focus == this)) {
        Guarded([this] { gotohelp(); });
    }
    QWidget::keyPressEvent(event);
}

bool TfrmMain::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (watched == selAdapter || watched == selAdapter->view()) {
        // The adapter can be changed with a mouse pick only. Focus still moves on with Tab,
        // and an open list still closes with Escape, neither of which changes the choice.
        if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
            const int key = static_cast<QKeyEvent*>(event)->key();
            if (key == Qt::Key_Tab || key == Qt::Key_Backtab) return false;
            if (key == Qt::Key_Escape && watched == selAdapter->view()) return false;
            return true;
        }
        if (type == QEvent::Wheel && watched == selAdapter) return true;
        return false;
    }
    if (type == QEvent::MouseButtonRelease &&
        static_cast<QMouseEvent*>(event)->button() == Qt::LeftButton) {
        if (watched == Image1) Guarded([this] { Image1Click(); });
        if (watched == Image2) Guarded([this] { Image2Click(); });
        return false;
    }
    if (type != QEvent::KeyPress) return false;
    const auto* keyEvent = static_cast<QKeyEvent*>(event);
    const int key = keyEvent->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    // Keys typed into the search box arrive at the box itself, which hands them to its
    // editor directly, past any filter there; they are looked at here.
    if (watched == SearchText && enter) Guarded([this] { btnSearchClick(); });
    if (key == Qt::Key_F1 && (watched == SearchText || watched == btnSearch || watched == chkLine ||
                              watched == trkVisible)) {
        Guarded([this] { gotohelp(); });
    }
    if (watched == btnSearch && enter) {
        // A focused button is pressed with Enter as with Space. Enter means nothing else to
        // it, so it is taken here.
        if (!keyEvent->isAutoRepeat()) btnSearch->click();
        return true;
    }
    return false;  // the control goes on with its own handling of the key
}

void TfrmMain::gotohelp() {
    OpenPage(std::string(build_config::kMakerUrl) + "/tvr.html");
}

void TfrmMain::OpenPage(const std::string& address) {
    services_.urlOpener.Open(address);
}

// ---------------------------------------------------------------------------------------
// Traffic: adapter list, sampling, diagram, connection log

void TfrmMain::selAdapterDropDown() {
    const QString shown = selAdapter->currentText();
    {
        const QSignalBlocker quiet(selAdapter);
        selAdapter->clear();
    }
    for (const QString& item : monitor_->FillAdapterList())
        selAdapter->InsertSorted(item);
    selAdapter->ShowText(shown);
}

void TfrmMain::selAdapterChange() {
    const AdapterChoice choice = monitor_->ChooseAdapter(selAdapter->currentText());
    if (choice.restartTimers) RestartTrafficTimers();
    if (choice.askForAdapter) {
        services_.messages.Show(MessageOwner(), AdapterPrompt(), kProgramTitle,
                                QMessageBox::NoIcon);
    }
    if (choice.error.has_value()) ReportError(*choice.error);
}

void TfrmMain::tmrRefreshTimer() {
    const TrafficFields fields = monitor_->RefreshTick();
    // An edit lays its text out anew on every setText, shown or not; most seconds nothing
    // changes, so an unchanged number is left alone.
    const auto show = [](QLineEdit* edit, const QString& text) {
        if (edit->text() != text) edit->setText(text);
    };
    show(edtConnectedSpeed, fields.linkSpeed);
    show(edtByteReadToday, fields.totalRead);
    show(edtByteWriteToday, fields.totalWrite);
    show(edtByteReadTodayLastSessinon, fields.curRead);
    show(edtByteWriteTodayLastSessinon, fields.curWrite);
    if (fields.error.has_value()) ReportError(*fields.error);
}

void TfrmMain::tmrDrawTimer() {
    // An online tick stops its timer while it works and starts it again at the end, also
    // after an error, so that the next tick comes a full period later.
    const bool online = monitor_->State().Online;
    if (online) tmrDraw->stop();
    const auto restart = qScopeGuard([this, online] {
        if (online) tmrDraw->start();
    });

    const DiagramTickResult result = monitor_->DrawTick(chkLine->isChecked(), ButtonFace());
    lblInetStat->setText(codepage::FromAnsi(result.onlineText));
    const QColor statusColour =
        result.online ? QColor(kOnlineColour) : this->palette().color(QPalette::WindowText);
    if (lblInetStat->palette().color(QPalette::WindowText) != statusColour) {
        QPalette palette = lblInetStat->palette();
        palette.setColor(QPalette::WindowText, statusColour);
        lblInetStat->setPalette(palette);
    }
    const auto write = [](QLabel* label, const std::optional<std::string>& text) {
        if (text.has_value()) label->setText(codepage::FromAnsi(*text));
    };
    write(lblLevelPerPeriod, result.newestReadRate);
    write(lblAverageDiagram, result.averageReadRate);
    write(lblLevelPerPeriodW, result.newestWriteRate);
    write(lblAverageDiagramW, result.averageWriteRate);
    write(lblLevel, result.scaleText);
    SetTrayImage(result.trayImage);
    SetTrayHint(codepage::FromAnsi(result.trayTooltip));
    if (result.online) ShowDiagram();
}

void TfrmMain::RestartTrafficTimers() {
    // start() on a running timer starts its period anew.
    tmrRefresh->start();
    tmrDraw->start();
    Timer1->start();
}

void TfrmMain::Timer1Timer() {
    monitor_->StatusLogTick();
}

void TfrmMain::ShowDiagram() {
    const DiagramRaster& surface = monitor_->DiagramPixels();
    const QImage picture(reinterpret_cast<const uchar*>(surface.Pixels()), surface.Width(),
                         surface.Height(), surface.BytesPerLine(), QImage::Format_RGB32);
    imgDraw->setPixmap(QPixmap::fromImage(picture));  // copies the pixels
}

std::uint32_t TfrmMain::ButtonFace() const {
    return palette().color(QPalette::Button).rgb();
}

// ---------------------------------------------------------------------------------------
// Language

void TfrmMain::btnSelectLanguageClick() {
    // The adapter list shows the adapter being watched. A language file may carry a text for
    // it (one saved while the program ran does); applied, that text would show another
    // adapter, or none, while the watching goes on, so the list shows the watched one again.
    const QString watched = selAdapter->currentText();
    languageChoice_->btnSelectLanguageClick();
    selAdapter->ShowText(watched);
}

// ---------------------------------------------------------------------------------------
// Search box

void TfrmMain::FillSearchList() {
    const QString text = SearchText->currentText();
    SearchText->clear();
    for (const QString& entry : webSearch_->Entries())
        SearchText->addItem(entry);
    SearchText->setCurrentIndex(-1);
    SearchText->setEditText(text);
}

void TfrmMain::btnSearchClick() {
    const QString query = SearchText->currentText();
    const WebSearch::Outcome outcome = webSearch_->Search(query);
    // The core keeps the order; the box takes the new entry where the core put it rather
    // than being filled again from a history that may hold thousands of entries.
    if (outcome.insertedAt.has_value())
        SearchText->insertItem(static_cast<int>(*outcome.insertedAt), query);
    SearchText->setEditText(query);
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

// ---------------------------------------------------------------------------------------
// Errors

void TfrmMain::Guarded(const std::function<void()>& handler) {
    try {
        handler();
    } catch (const std::exception& e) {
        ReportError(QString::fromUtf8(e.what()));
    } catch (...) {
        ReportError(QStringLiteral("Unknown error"));
    }
}

void TfrmMain::ReportError(const QString& text) {
    // One box at a time: the timers go on while it is open, and a fault that repeats every
    // second must not pile up boxes.
    ++errorsShown_;
    if (reportingError_) return;
    reportingError_ = true;
    const auto done = qScopeGuard([this] { reportingError_ = false; });
    services_.messages.Show(MessageOwner(), text, kProgramTitle, QMessageBox::Critical);
}

QWidget* TfrmMain::MessageOwner() {
    return isVisible() ? this : nullptr;
}

// ---------------------------------------------------------------------------------------

void DesktopMessages::Show(QWidget* owner, const QString& text, const QString& caption,
                           QMessageBox::Icon icon) {
    QMessageBox box(icon, caption, text, QMessageBox::Ok, owner);
    box.setWindowFlag(Qt::WindowStaysOnTopHint);
    box.exec();
}
