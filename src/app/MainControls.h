#pragma once

// Every control and component of the main window, one typed member each, named as the
// window's design names them. The layout and the component tables fill it as they build the
// window, so the window reaches its parts through it and never looks one up by name.

#include <stdexcept>
#include <type_traits>

class AdapterComboBox;
class HttpClient;
class QAction;
class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QMenu;
class QProgressBar;
class QPushButton;
class QSlider;
class QTimer;
class QToolButton;

namespace form {

struct MainControls {
    // The controls of FormLayout, in creation order.
    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLabel* Label3 = nullptr;
    QLabel* Label4 = nullptr;
    QLabel* Label5 = nullptr;
    QToolButton* btnSelectLanguage = nullptr;
    QToolButton* btnSaveOptions = nullptr;
    QFrame* Bevel1 = nullptr;
    QToolButton* btnOtherLNG = nullptr;
    QLabel* Panel1 = nullptr;
    QLabel* Panel3 = nullptr;
    QLabel* Panel4 = nullptr;
    QLabel* lblInetStat = nullptr;
    QLabel* lblLevelPerPeriod = nullptr;
    QLabel* lblAverageDiagram = nullptr;
    QLabel* lblLevelPerPeriodW = nullptr;
    QLabel* lblAverageDiagramW = nullptr;
    QLabel* Panel5 = nullptr;
    QLabel* imgDraw = nullptr;
    QLabel* lblLevel = nullptr;
    QLabel* Panel2 = nullptr;
    QLabel* Image1 = nullptr;
    QLabel* Image2 = nullptr;
    QToolButton* SpeedButton1 = nullptr;
    QLabel* Panel7 = nullptr;
    QLineEdit* edtConnectedSpeed = nullptr;
    QLabel* Panel8 = nullptr;
    QLineEdit* edtByteReadToday = nullptr;
    QLabel* Panel9 = nullptr;
    QLineEdit* edtByteWriteToday = nullptr;
    QLabel* Panel10 = nullptr;
    QLineEdit* edtByteReadTodayLastSessinon = nullptr;
    QLabel* Panel11 = nullptr;
    QLineEdit* edtByteWriteTodayLastSessinon = nullptr;
    QCheckBox* chkLine = nullptr;
    QSlider* trkVisible = nullptr;
    QLabel* pnlLanguage = nullptr;
    AdapterComboBox* selAdapter = nullptr;
    QLabel* stbar = nullptr;
    QProgressBar* ProgressBar2 = nullptr;
    QPushButton* btnd = nullptr;
    QPushButton* btnSearch = nullptr;
    QComboBox* SearchText = nullptr;

    // The components of FormComponents (the tray icon is the tray dock's own; of an HTTP
    // client component, the client).
    QTimer* tmrRefresh = nullptr;
    QTimer* tmrDraw = nullptr;
    QMenu* PopupMenu = nullptr;
    QAction* N2 = nullptr;
    QAction* N3 = nullptr;
    QAction* N1 = nullptr;
    QAction* ShowStatistic = nullptr;
    QAction* slash = nullptr;
    QAction* Exit = nullptr;
    QTimer* Timer1 = nullptr;
    QTimer* Timer2 = nullptr;
    HttpClient* HttpCli1 = nullptr;
    HttpClient* HttpCli2 = nullptr;
    QTimer* tmrBanner = nullptr;
    HttpClient* getpic = nullptr;
};

// Puts a component made for a table row into its member. The row's kind decides the class
// made; a row whose member is of another class is a fault of the table.
template <auto Member, class Made>
void Into(MainControls& controls, Made* made) {
    using Pointer = std::remove_reference_t<decltype(controls.*Member)>;
    controls.*Member = dynamic_cast<Pointer>(made);
    if (controls.*Member == nullptr) throw std::logic_error("a table row of another class");
}

}  // namespace form
