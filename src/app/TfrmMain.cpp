#include "TfrmMain.h"

#include "AdapterComboBox.h"
#include "BannerPicture.h"
#include "BuildConfig.h"
#include "FormComponents.h"
#include "FormLayout.h"
#include "LanguageChoice.h"
#include "Pictures.h"
#include "TrayDock.h"
#include "online/THttpCli.h"
#include "online/UpdateOperation.h"
#include "online/WebSearch.h"
#include "platform/UrlOpener.h"
#include "traffic/ConnectionLog.h"
#include "util/CodePage.h"
#include "util/funcQuendra.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScopeGuard>
#include <QScreen>
#include <QTimer>
#include <QToolButton>

#include <exception>
#include <utility>

namespace {

const QString kProgramTitle = QStringLiteral("Torvane");
constexpr QRgb kOnlineColour = qRgb(0, 128, 0);

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
      services_(std::move(services)) {
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

    form::MainControls& controls = *this;
    form::BuildControls(*this, controls);
    const form::HttpClientFactory makeClient =
        services_.makeHttpClient ? services_.makeHttpClient : [this] {
            return std::unique_ptr<HttpClient>(
                std::make_unique<THttpCli>(&THttpCli::PumpWindow, services_.clock));
        };
    form::BuildComponents(*this, makeClient, controls);
    banner_ = std::make_unique<Banner>(
        *HttpCli1, *HttpCli2, services_.urlOpener, services_.clock, services_.random,
        BannerConfig{build_config::kAdUrl, build_config::kAdPublisher,
                     build_config::kCatalogueUrl});
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
        *this, *pnlLanguage, *btnSaveOptions, services_.urlOpener, build_config::kMakerUrl,
        services_.programFolder,
        services_.languageDialog ? services_.languageDialog(*this) : nullptr);
    // The tray icon shows at once where a tray host is there already.
    tray_ = new TrayDock(services_.trayAvailable, *PopupMenu, *ShowStatistic, *Exit, this);
    WireControls();

    monitor_ = std::make_unique<TrafficMonitor>(services_.interfaceTable, services_.settings,
                                                services_.clock,
                                                ConnectionLogPath(services_.programFolder));
    webSearch_ = std::make_unique<WebSearch>(services_.programFolder, build_config::kSearchUrl,
                                             services_.urlOpener, services_.clock);

    // These two count from the window's creation.
    Timer2->start();
    tmrBanner->start();
}

TfrmMain::~TfrmMain() = default;

// ---------------------------------------------------------------------------------------
// Start-up sequence

void TfrmMain::FormCreate() {
    const std::function<void()> steps[] = {
        // Search history: the box's list from "search.csv" (created when missing).
        [this] {
            webSearch_->LoadHistory();
            FillSearchList();
        },
        // Banner, first half: the page the banner counts as shown on, and the first
        // cache-breaking number.
        [this] { banner_->SetUpPage(); },
        // The caption a later start looks for.
        [this] {
            setWindowTitle(QStringLiteral("Torvane v") + QString::fromStdString(GetExeVersion()));
        },
        // Banner, second half: no banner yet, an empty buffer for downloads.
        [this] { banner_->SetUpBuffer(); },
        // Sampling state. (The diagram's clock started with the monitor, and the diagram has
        // imgDraw's 342 x 39 pixels from the start.)
        [this] { monitor_->StartUp(); },
        // Language: the remembered language file applied to the window.
        [this] { languageChoice_->FormCreateLanguage(); },
        // One sampling tick and one diagram tick right away.
        [this] {
            const int shownBefore = errorsShown_;
            tmrRefreshTimer();
            if (errorsShown_ == shownBefore) tmrDrawTimer();
        },
        // The diagram cleared to the button face.
        [this] {
            monitor_->ClearDiagram(ButtonFace());
            ShowDiagram();
        },
        // The timers on (Timer2 runs already).
        [this] {
            tmrDraw->start();
            tmrRefresh->start();
            Timer1->start();
            if (!Timer2->isActive()) Timer2->start();
        },
        // The adapter list.
        [this] { selAdapterDropDown(); },
        // The remembered adapter, chosen as if the user had picked it.
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
        if (!Guarded(step) || errorsShown_ != shownBefore) return;
    }
}

// ---------------------------------------------------------------------------------------
// Tray, showing and hiding, closing

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

void TfrmMain::TrayGraceEnded() {
    // No tray came: the window shows as "Show Statistic" shows it (with a banner request),
    // unless a later start has shown it already.
    if (!isVisible()) ShowStatisticClick();
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

void TfrmMain::trkVisibleChange(int position) {
    setWindowOpacity(position / 255.0);
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
    tray_->SetImage(result.trayImage);
    tray_->SetHint(codepage::FromAnsi(result.trayTooltip));
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
// Errors

bool TfrmMain::Guarded(const std::function<void()>& handler) {
    try {
        handler();
        return true;
    } catch (const std::exception& e) {
        ReportError(QString::fromUtf8(e.what()));
    } catch (...) {
        ReportError(QStringLiteral("Unknown error"));
    }
    return false;
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
