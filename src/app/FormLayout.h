#pragma once

// The main window's fixed layout: every control with its name, place, texts, font and
// colours, in creation order. FormLayout.cpp holds the table; BuildControls makes the
// widgets from it.

#include "MainControls.h"

#include <QRect>
#include <QRgb>
#include <QSize>

#include <vector>

class QFont;
class QWidget;

namespace form {

// The Qt class each kind of control becomes.
enum class Kind {
    Panel,        // QLabel with a frame, holding other controls
    Label,        // QLabel
    StatusLine,   // QLabel drawn as a status line
    Image,        // QLabel showing a picture
    Bevel,        // QFrame, a frame only
    NumberEdit,   // QLineEdit: read-only, no frame, no focus
    SearchBox,    // QComboBox, editable
    AdapterList,  // AdapterComboBox, pick only
    PushButton,   // QPushButton
    FlatButton,   // QToolButton, flat until the mouse is over it
    CheckBox,     // QCheckBox
    TrackBar,     // QSlider, horizontal
    ProgressBar,  // QProgressBar
};

enum class Edge { None, Lowered, Soft };

// Pictures the controls carry (drawn by Pictures.cpp, or the built-in banner).
enum class Picture { None, SelectLanguage, SaveOptions, BannerRefresh, BuiltInBanner };

enum class Face {
    Window,   // the window's font: MS Sans Serif, 11 pixels
    Arial11,  // Arial, 11 pixels
    Arial9,   // Arial, 9 pixels
};

struct ControlDesign {
    const char* name;
    void (*into)(MainControls&, QWidget*);  // where the made control is kept
    Kind kind;
    QLabel* MainControls::*parent;  // the panel it lies in; nullptr for the window itself
    QRect bounds;                   // left, top, width, height inside the parent
    const char16_t* text = u"";     // Caption, or Text of edits and drop-down boxes
    const char16_t* hint = u"";
    Face face = Face::Window;
    QRgb textColour = 0;  // 0: the system's window text colour
    QRgb background = 0;  // 0: drawn transparently over the parent
    Edge edge = Edge::None;
    bool rightAligned = false;
    bool centred = false;
    bool visible = true;
    bool handCursor = false;
    Picture picture = Picture::None;
    bool checked = false;  // check boxes
};

inline constexpr QSize kClientSize{469, 308};
inline constexpr const char16_t* kDesignCaption = u"Torvane";

// The table, in creation order (each container before what lies in it).
const std::vector<ControlDesign>& Controls();

// The font of a face; falls back to a plain sans font where the named one is missing.
QFont FontOf(Face face);

// Creates the controls of the table as children of the window, in table order, into
// `controls`.
void BuildControls(QWidget& window, MainControls& controls);

}  // namespace form
