// The main window's connections: each control's and component's signal to its handler, every
// handler run guarded so that an error in it is shown and the program goes on.

#include "AdapterComboBox.h"
#include "ControlKeys.h"
#include "LanguageChoice.h"
#include "TfrmMain.h"
#include "TrayDock.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QSlider>
#include <QTimer>
#include <QToolButton>

void TfrmMain::WireControls() {
    const auto guarded = [this](void (TfrmMain::*handler)()) {
        return [this, handler] { Guarded([this, handler] { (this->*handler)(); }); };
    };
    connect(tmrRefresh, &QTimer::timeout, this, guarded(&TfrmMain::tmrRefreshTimer));
    connect(tmrDraw, &QTimer::timeout, this, guarded(&TfrmMain::tmrDrawTimer));
    connect(Timer1, &QTimer::timeout, this, guarded(&TfrmMain::Timer1Timer));
    connect(Timer2, &QTimer::timeout, this, guarded(&TfrmMain::Timer2Timer));
    connect(tmrBanner, &QTimer::timeout, this, guarded(&TfrmMain::tmrBannerTimer));

    connect(tray_, &TrayDock::toggleRequested, this, guarded(&TfrmMain::RxTrayIconDblClick));
    connect(tray_, &TrayDock::showStatisticChosen, this, guarded(&TfrmMain::ShowStatisticClick));
    connect(tray_, &TrayDock::exitChosen, this, guarded(&TfrmMain::ExitClick));
    connect(tray_, &TrayDock::graceEndedWithoutTray, this, guarded(&TfrmMain::TrayGraceEnded));
    connect(N2, &QAction::triggered, this, guarded(&TfrmMain::N2Click));
    connect(N3, &QAction::triggered, this, guarded(&TfrmMain::N3Click));
    connect(N1, &QAction::triggered, this, guarded(&TfrmMain::N1Click));

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

    auto* keys = new ControlKeys(*this, this);
    connect(keys, &ControlKeys::helpAsked, this, guarded(&TfrmMain::gotohelp));
    connect(keys, &ControlKeys::searchAsked, this, guarded(&TfrmMain::btnSearchClick));
    // Clicks on the two banner pictures.
    Image1->installEventFilter(this);
    Image2->installEventFilter(this);
}
