#include "FormLayout.h"

#include "AdapterComboBox.h"
#include "Pictures.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFont>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QToolButton>

#include <stdexcept>
#include <string>

namespace form {

namespace {

constexpr QRgb kGreen = qRgb(0, 128, 0);
constexpr QRgb kRed = qRgb(255, 0, 0);
constexpr QRgb kOlive = qRgb(128, 128, 0);
constexpr QRgb kCounterLabel = qRgb(202, 199, 189);
constexpr QRgb kSpeedField = qRgb(222, 255, 221);
constexpr QRgb kCounterField = qRgb(242, 255, 242);
constexpr QRgb kLanguageText = qRgb(121, 121, 121);
constexpr QRgb kLanguageBack = qRgb(230, 227, 223);

// Rows of the five counters: label, sunken panel, read-only number field.
constexpr int kRow1 = 81, kRow2 = 97, kRow3 = 113, kRow4 = 129, kRow5 = 145;

// Rows of the rates beside the diagram, 9 pixels apart: newest received, newest sent, average
// received, average sent.
constexpr int kRateRow1 = 8, kRateRow2 = 17, kRateRow3 = 26, kRateRow4 = 35, kRateHeight = 12;

// A row's name and the member of MainControls that keeps its control, spelt once.
#define NAMED(member) .name = #member, .into = &Into<&MainControls::member, QWidget>

}  // namespace

// The window, top to bottom. Positions are relative to the parent control.
const std::vector<ControlDesign>& Controls() {
    using enum Kind;
    using F = Face;
    // clang-format off
    static const std::vector<ControlDesign> table = {
        // Counter captions (their number fields follow further down)
        {NAMED(Label1), .kind = Label, .parent = nullptr, .bounds = {8, kRow1, 360, 15},
         .text = u"Connected  speed", .hint = u"Connected speed",
         .face = F::Arial11, .background = kCounterLabel},
        {NAMED(Label2), .kind = Label, .parent = nullptr, .bounds = {8, kRow2, 360, 15},
         .text = u"Bytes received", .hint = u"Bytes received",
         .face = F::Arial11, .background = kCounterLabel},
        {NAMED(Label3), .kind = Label, .parent = nullptr, .bounds = {8, kRow3, 360, 15},
         .text = u"Bytes send", .hint = u"Bytes send",
         .face = F::Arial11, .background = kCounterLabel},
        {NAMED(Label4), .kind = Label, .parent = nullptr, .bounds = {8, kRow4, 360, 15},
         .text = u"Bytes received at the last session",
         .hint = u"Bytes received at the last session",
         .face = F::Arial11, .background = kCounterLabel},
        {NAMED(Label5), .kind = Label, .parent = nullptr, .bounds = {8, kRow5, 360, 15},
         .text = u"Bytes send  at the last session", .hint = u"Bytes send  at the last session",
         .face = F::Arial11, .background = kCounterLabel},

        // Language buttons (pnlLanguage follows further down)
        {NAMED(btnSelectLanguage), .kind = FlatButton, .parent = nullptr,
         .bounds = {183, 181, 138, 22}, .text = u"Change language",
         .hint = u"\u0421hoose a language file",  // the first letter is the Cyrillic Es
         .picture = Picture::SelectLanguage},
        {NAMED(btnSaveOptions), .kind = FlatButton, .parent = nullptr,
         .bounds = {324, 181, 140, 22}, .text = u"Save Options",
         .hint = u"Save Options in Config file", .visible = false,
         .picture = Picture::SaveOptions},

        // Frame around the search box
        {NAMED(Bevel1), .kind = Bevel, .parent = nullptr, .bounds = {8, 54, 360, 26},
         .edge = Edge::Lowered},
        {NAMED(btnOtherLNG), .kind = FlatButton, .parent = nullptr,
         .bounds = {91, 181, 89, 22}, .text = u"Other languages"},

        // Top bar: the diagram on the left, the speeds on the right
        {NAMED(Panel1), .kind = Panel, .parent = nullptr, .bounds = {0, 0, 469, 49},
         .edge = Edge::Lowered},
        {NAMED(Panel3), .kind = Panel, .parent = &MainControls::Panel1, .bounds = {1, 1, 467, 47}},
        {NAMED(Panel4), .kind = Panel, .parent = &MainControls::Panel3, .bounds = {350, 0, 117, 47}},
        // The speeds panel: the status, then four rows of rates, each the panel's full
        // width so that a rate of 100 GB/s shows all twelve digits; the rows overlap their
        // transparent boxes by a few pixels, the glyphs do not.
        {NAMED(lblInetStat), .kind = Label, .parent = &MainControls::Panel4, .bounds = {3, 0, 95, 12},
         .text = u"Offline", .hint = u"Internet status", .rightAligned = true},
        {NAMED(lblLevelPerPeriod), .kind = Label, .parent = &MainControls::Panel4,
         .bounds = {3, kRateRow1, 111, kRateHeight},
         .text = u"0 B/s", .hint = u"Average read speed (in bytes)",
         .face = F::Arial9, .textColour = kGreen, .rightAligned = true},
        {NAMED(lblAverageDiagram), .kind = Label, .parent = &MainControls::Panel4,
         .bounds = {3, kRateRow3, 111, kRateHeight},
         .text = u"0 B/s", .hint = u"Average read speed in diagram (in bytes)",
         .face = F::Arial9, .textColour = kGreen, .rightAligned = true},
        {NAMED(lblLevelPerPeriodW), .kind = Label, .parent = &MainControls::Panel4,
         .bounds = {3, kRateRow2, 111, kRateHeight},
         .text = u"0 B/s", .hint = u"Average write speed (in bytes)",
         .face = F::Arial9, .textColour = kRed, .rightAligned = true},
        {NAMED(lblAverageDiagramW), .kind = Label, .parent = &MainControls::Panel4,
         .bounds = {3, kRateRow4, 111, kRateHeight},
         .text = u"0 B/s", .hint = u"Average write speed in diagram (in bytes)",
         .face = F::Arial9, .textColour = kRed, .rightAligned = true},
        {NAMED(Panel5), .kind = Panel, .parent = &MainControls::Panel3, .bounds = {2, 2, 346, 43},
         .edge = Edge::Lowered},
        {NAMED(imgDraw), .kind = Image, .parent = &MainControls::Panel5, .bounds = {2, 2, 342, 39},
         .hint = u"The line diagram"},
        {NAMED(lblLevel), .kind = Label, .parent = &MainControls::Panel5, .bounds = {295, 25, 46, 13},
         .text = u"1Kb", .hint = u"The Size of diagram (in Kb)",
         .face = F::Arial9, .rightAligned = true},

        // Banner: the fetched picture, the built-in one above it, the refresh button
        {NAMED(Panel2), .kind = Panel, .parent = nullptr, .bounds = {0, 226, 470, 60}},
        {NAMED(Image1), .kind = Image, .parent = &MainControls::Panel2, .bounds = {0, 0, 468, 60},
         .handCursor = true},
        {NAMED(Image2), .kind = Image, .parent = &MainControls::Panel2, .bounds = {0, 0, 468, 60},
         .visible = false, .handCursor = true, .picture = Picture::BuiltInBanner},
        {NAMED(SpeedButton1), .kind = FlatButton, .parent = &MainControls::Panel2,
         .bounds = {446, 38, 21, 21}, .picture = Picture::BannerRefresh},

        // Counters: a sunken panel per row holding its read-only number field
        {NAMED(Panel7), .kind = Panel, .parent = nullptr, .bounds = {370, kRow1, 95, 15},
         .edge = Edge::Lowered},
        {NAMED(edtConnectedSpeed), .kind = NumberEdit, .parent = &MainControls::Panel7,
         .bounds = {2, 2, 91, 17}, .text = u"", .hint = u"Connected speed",
         .face = F::Arial9, .textColour = kOlive, .background = kSpeedField},
        {NAMED(Panel8), .kind = Panel, .parent = nullptr, .bounds = {370, kRow2, 95, 15},
         .edge = Edge::Lowered},
        {NAMED(edtByteReadToday), .kind = NumberEdit, .parent = &MainControls::Panel8,
         .bounds = {2, 2, 91, 17}, .text = u"0", .hint = u"Bytes received",
         .face = F::Arial9, .background = kCounterField},
        {NAMED(Panel9), .kind = Panel, .parent = nullptr, .bounds = {370, kRow3, 95, 15},
         .edge = Edge::Lowered},
        {NAMED(edtByteWriteToday), .kind = NumberEdit, .parent = &MainControls::Panel9,
         .bounds = {2, 2, 91, 17}, .text = u"0", .hint = u"Bytes send",
         .face = F::Arial9, .background = kCounterField},
        {NAMED(Panel10), .kind = Panel, .parent = nullptr, .bounds = {370, kRow4, 95, 15},
         .edge = Edge::Lowered},
        {NAMED(edtByteReadTodayLastSessinon), .kind = NumberEdit, .parent = &MainControls::Panel10,
         .bounds = {2, 2, 91, 17}, .text = u"0", .hint = u"Bytes received at the last session",
         .face = F::Arial9, .background = kCounterField},
        {NAMED(Panel11), .kind = Panel, .parent = nullptr, .bounds = {370, kRow5, 95, 15},
         .edge = Edge::Lowered},
        {NAMED(edtByteWriteTodayLastSessinon), .kind = NumberEdit, .parent = &MainControls::Panel11,
         .bounds = {2, 2, 91, 17}, .text = u"0", .hint = u"Bytes send  at the last session",
         .face = F::Arial9, .background = kCounterField},

        // Options
        {NAMED(chkLine), .kind = CheckBox, .parent = nullptr, .bounds = {8, 160, 307, 17},
         .text = u"Graph line/bar", .checked = true},
        {NAMED(trkVisible), .kind = TrackBar, .parent = nullptr, .bounds = {316, 162, 150, 17}},

        // Language panel
        {NAMED(pnlLanguage), .kind = Panel, .parent = nullptr, .bounds = {7, 181, 82, 22},
         .text = u"English", .hint = u"Shows the current language of the interface",
         .textColour = kLanguageText, .background = kLanguageBack, .edge = Edge::Lowered,
         .centred = true},

        // Adapter list, status line, the update's progress bar over the list and its button
        {NAMED(selAdapter), .kind = AdapterList, .parent = nullptr, .bounds = {8, 205, 457, 19}},
        {NAMED(stbar), .kind = StatusLine, .parent = nullptr, .bounds = {0, 288, 468, 19},
         .edge = Edge::Soft},
        {NAMED(ProgressBar2), .kind = ProgressBar, .parent = nullptr,
         .bounds = {8, 205, 458, 19}, .visible = false},
        {NAMED(btnd), .kind = PushButton, .parent = nullptr, .bounds = {240, 162, 75, 17},
         .text = u"Update", .visible = false},

        // Search row
        {NAMED(btnSearch), .kind = PushButton, .parent = nullptr, .bounds = {369, 56, 95, 21},
         .text = u"Search"},
        {NAMED(SearchText), .kind = SearchBox, .parent = nullptr, .bounds = {10, 56, 356, 22},
         .hint = u"Search request"},
    };
    // clang-format on
    return table;
}

#undef NAMED

// Focusable controls in tab order; every other control takes no keyboard focus.
static std::vector<QWidget*> TabOrder(const MainControls& c) {
    return {c.SearchText, c.btnSearch, c.chkLine, c.trkVisible, c.selAdapter};
}

// Kind-specific settings of single controls.
namespace {
constexpr int kSearchRows = 8;  // rows of SearchText's list when dropped down
constexpr int kTrackMin = 1;    // trkVisible: 1 almost invisible ... 255 opaque
constexpr int kTrackMax = 255;
constexpr int kTrackTicks = 26;         // a tick mark every 26
constexpr int kFlatButtonPicture = 20;  // pictures of the flat buttons, 20 x 20
constexpr int kSmallPicture = 15;       // the banner refresh button is 21 x 21
}  // namespace

QFont FontOf(Face face) {
    QFont font;
    font.setStyleHint(QFont::SansSerif);
    switch (face) {
        case Face::Window:
            font.setFamilies({"MS Sans Serif", "Microsoft Sans Serif", "Arial", "Liberation Sans",
                              "Nimbus Sans", "Helvetica", "DejaVu Sans"});
            font.setPixelSize(11);
            break;
        case Face::Arial11:
        case Face::Arial9:
            font.setFamilies(
                {"Arial", "Liberation Sans", "Arimo", "Nimbus Sans", "Helvetica", "DejaVu Sans"});
            font.setPixelSize(face == Face::Arial11 ? 11 : 9);
            break;
    }
    return font;
}

namespace {

QString Text(const char16_t* text) {
    return QString::fromUtf16(text);
}

void SetColours(QWidget& w, const ControlDesign& design, QPalette::ColorRole backgroundRole) {
    QPalette palette = w.palette();
    if (design.textColour != 0) {
        palette.setColor(QPalette::WindowText, QColor(design.textColour));
        palette.setColor(QPalette::Text, QColor(design.textColour));
        palette.setColor(QPalette::ButtonText, QColor(design.textColour));
    }
    if (design.background != 0) {
        palette.setColor(backgroundRole, QColor(design.background));
        w.setAutoFillBackground(true);
    }
    w.setPalette(palette);
}

Qt::Alignment AlignmentOf(const ControlDesign& design) {
    if (design.centred) return Qt::AlignCenter;
    return (design.rightAligned ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter;
}

QLabel* MakeLabel(const ControlDesign& design, QWidget* parent) {
    auto* label = new QLabel(Text(design.text), parent);
    label->setAlignment(AlignmentOf(design));
    label->setTextFormat(Qt::PlainText);
    switch (design.edge) {
        case Edge::Lowered:
            label->setFrameStyle(QFrame::Panel | QFrame::Sunken);
            label->setLineWidth(1);
            break;
        case Edge::Soft:
            label->setFrameStyle(QFrame::StyledPanel | QFrame::Sunken);
            label->setIndent(4);
            break;
        case Edge::None:
            break;
    }
    SetColours(*label, design, QPalette::Window);
    return label;
}

QWidget* MakeControl(const ControlDesign& design, QWidget* parent) {
    switch (design.kind) {
        case Kind::Panel:
        case Kind::Label:
        case Kind::StatusLine:
            return MakeLabel(design, parent);
        case Kind::Image: {
            auto* image = new QLabel(parent);
            image->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            if (design.picture == Picture::BuiltInBanner) image->setPixmap(BuiltInBanner());
            return image;
        }
        case Kind::Bevel: {
            auto* bevel = new QFrame(parent);
            bevel->setFrameStyle(QFrame::Box | QFrame::Sunken);
            return bevel;
        }
        case Kind::NumberEdit: {
            auto* edit = new QLineEdit(Text(design.text), parent);
            edit->setReadOnly(true);
            edit->setFrame(false);
            edit->setTextMargins(0, 0, 0, 0);
            edit->setAlignment(Qt::AlignLeft | Qt::AlignTop);
            SetColours(*edit, design, QPalette::Base);
            return edit;
        }
        case Kind::SearchBox: {
            auto* box = new QComboBox(parent);
            box->setEditable(true);
            box->setInsertPolicy(QComboBox::NoInsert);  // the search decides what joins
            box->setMaxVisibleItems(kSearchRows);
            box->setEditText(Text(design.text));
            return box;
        }
        case Kind::AdapterList:
            return new AdapterComboBox(parent);
        case Kind::PushButton: {
            auto* button = new QPushButton(Text(design.text), parent);
            button->setAutoDefault(false);
            return button;
        }
        case Kind::FlatButton: {
            auto* button = new QToolButton(parent);
            button->setText(Text(design.text));
            button->setAutoRaise(true);
            const QIcon picture = PictureOf(design.picture);
            if (!picture.isNull()) {
                button->setIcon(picture);
                const int side =
                    design.picture == Picture::BannerRefresh ? kSmallPicture : kFlatButtonPicture;
                button->setIconSize({side, side});
            }
            button->setToolButtonStyle(picture.isNull()          ? Qt::ToolButtonTextOnly
                                       : design.text[0] == u'\0' ? Qt::ToolButtonIconOnly
                                                                 : Qt::ToolButtonTextBesideIcon);
            return button;
        }
        case Kind::CheckBox: {
            auto* check = new QCheckBox(Text(design.text), parent);
            check->setChecked(design.checked);
            return check;
        }
        case Kind::TrackBar: {
            auto* slider = new QSlider(Qt::Horizontal, parent);
            slider->setRange(kTrackMin, kTrackMax);
            slider->setValue(kTrackMax);
            slider->setTickInterval(kTrackTicks);
            slider->setTickPosition(QSlider::TicksBelow);
            slider->setPageStep(kTrackTicks);
            return slider;
        }
        case Kind::ProgressBar: {
            auto* bar = new QProgressBar(parent);
            bar->setTextVisible(false);
            bar->setRange(0, 100);
            bar->setValue(0);
            return bar;
        }
    }
    throw std::logic_error("unknown control kind");
}

}  // namespace

void BuildControls(QWidget& window, MainControls& controls) {
    for (const ControlDesign& design : Controls()) {
        QWidget* parent = &window;
        if (design.parent != nullptr) {
            parent = controls.*design.parent;
            if (parent == nullptr)
                throw std::logic_error(std::string("layout: ") + design.name +
                                       " comes before its parent");
        }
        QWidget* control = MakeControl(design, parent);
        control->setObjectName(QString::fromLatin1(design.name));
        control->setGeometry(design.bounds);
        control->setFont(FontOf(design.face));
        control->setToolTip(Text(design.hint));
        control->setFocusPolicy(Qt::NoFocus);
        if (design.handCursor) control->setCursor(Qt::PointingHandCursor);
        if (!design.visible) control->hide();
        design.into(controls, control);
    }

    // Only the controls of the tab order take the focus, in that order; the hidden
    // "Update" button takes it by click only.
    QWidget* previous = nullptr;
    for (QWidget* control : TabOrder(controls)) {
        control->setFocusPolicy(Qt::StrongFocus);
        if (previous != nullptr) QWidget::setTabOrder(previous, control);
        previous = control;
    }
    controls.btnd->setFocusPolicy(Qt::ClickFocus);
}

}  // namespace form
