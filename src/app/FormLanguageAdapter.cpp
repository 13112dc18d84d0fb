#include "app/FormLanguageAdapter.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSignalBlocker>
#include <QSystemTrayIcon>

#include <array>

namespace {

// Which text properties a kind of component has: labels, panels, buttons, check boxes and
// menu items a Caption; edits and drop-down boxes a Text; all visible ones a Hint; timers,
// menus, dialogs, image lists, HTTP clients and the language component none.
enum class Texts { CaptionHint, TextHint, HintOnly, None };

struct OwnedEntry {
    const char* name;
    Texts texts;
};

// The components the window owns, in the order the window creates them: each container
// before what lies in it, the tray menu before its items.
constexpr std::array<OwnedEntry, 62> kOwned{{
    {"Label1", Texts::CaptionHint},
    {"Label2", Texts::CaptionHint},
    {"Label3", Texts::CaptionHint},
    {"Label4", Texts::CaptionHint},
    {"Label5", Texts::CaptionHint},
    {"btnSelectLanguage", Texts::CaptionHint},
    {"btnSaveOptions", Texts::CaptionHint},
    {"Bevel1", Texts::HintOnly},
    {"btnOtherLNG", Texts::CaptionHint},
    {"Panel1", Texts::CaptionHint},
    {"Panel3", Texts::CaptionHint},
    {"Panel4", Texts::CaptionHint},
    {"lblInetStat", Texts::CaptionHint},
    {"lblLevelPerPeriod", Texts::CaptionHint},
    {"lblAverageDiagram", Texts::CaptionHint},
    {"lblLevelPerPeriodW", Texts::CaptionHint},
    {"lblAverageDiagramW", Texts::CaptionHint},
    {"Panel5", Texts::CaptionHint},
    {"imgDraw", Texts::HintOnly},
    {"lblLevel", Texts::CaptionHint},
    {"Panel2", Texts::CaptionHint},
    {"Image1", Texts::HintOnly},
    {"Image2", Texts::HintOnly},
    {"SpeedButton1", Texts::CaptionHint},
    {"Panel7", Texts::CaptionHint},
    {"edtConnectedSpeed", Texts::TextHint},
    {"Panel8", Texts::CaptionHint},
    {"edtByteReadToday", Texts::TextHint},
    {"Panel9", Texts::CaptionHint},
    {"edtByteWriteToday", Texts::TextHint},
    {"Panel10", Texts::CaptionHint},
    {"edtByteReadTodayLastSessinon", Texts::TextHint},
    {"Panel11", Texts::CaptionHint},
    {"edtByteWriteTodayLastSessinon", Texts::TextHint},
    {"chkLine", Texts::CaptionHint},
    {"trkVisible", Texts::HintOnly},
    {"pnlLanguage", Texts::CaptionHint},
    {"selAdapter", Texts::TextHint},
    {"stbar", Texts::CaptionHint},
    {"ProgressBar2", Texts::HintOnly},
    {"btnd", Texts::CaptionHint},
    {"btnSearch", Texts::CaptionHint},
    {"SearchText", Texts::TextHint},
    {"tmrRefresh", Texts::None},
    {"tmrDraw", Texts::None},
    {"RxTrayIcon", Texts::HintOnly},
    {"PopupMenu", Texts::None},
    {"N2", Texts::CaptionHint},
    {"N3", Texts::CaptionHint},
    {"N1", Texts::CaptionHint},
    {"ShowStatistic", Texts::CaptionHint},
    {"slash", Texts::CaptionHint},
    {"Exit", Texts::CaptionHint},
    {"OpenLanguage", Texts::None},
    {"MultiLanguage", Texts::None},
    {"ImageList", Texts::None},
    {"Timer1", Texts::None},
    {"Timer2", Texts::None},
    {"HttpCli1", Texts::None},
    {"HttpCli2", Texts::None},
    {"tmrBanner", Texts::None},
    {"getpic", Texts::None},
}};

bool KindHas(Texts texts, LanguageProperty property) {
    switch (texts) {
        case Texts::CaptionHint:
            return property != LanguageProperty::Text;
        case Texts::TextHint:
            return property != LanguageProperty::Caption;
        case Texts::HintOnly:
            return property == LanguageProperty::Hint;
        case Texts::None:
            return false;
    }
    return false;
}

// Whether the object's Qt class carries the property.
bool Supports(const QObject* object, LanguageProperty property) {
    switch (property) {
        case LanguageProperty::Caption:
            return qobject_cast<const QLabel*>(object) ||
                   qobject_cast<const QAbstractButton*>(object) ||
                   qobject_cast<const QAction*>(object);
        case LanguageProperty::Text:
            return qobject_cast<const QLineEdit*>(object) || qobject_cast<const QComboBox*>(object);
        case LanguageProperty::Hint:
            return object->isWidgetType() || qobject_cast<const QAction*>(object) ||
                   qobject_cast<const QSystemTrayIcon*>(object);
    }
    return false;
}

// QAction::toolTip() stands in the action's text when no tooltip was set, but the hint is
// only what was set. With the text briefly taken away, the stand-in is gone.
QString SetToolTipOf(QAction& action) {
    const QString text = action.text();
    if (text.isEmpty()) return action.toolTip();
    const QSignalBlocker quiet(&action);
    action.setText(QString());
    QString tip = action.toolTip();
    action.setText(text);
    return tip;
}

QString Read(QObject* object, LanguageProperty property) {
    if (property == LanguageProperty::Hint) {
        if (auto* action = qobject_cast<QAction*>(object)) return SetToolTipOf(*action);
        if (auto* tray = qobject_cast<QSystemTrayIcon*>(object)) return tray->toolTip();
        if (auto* widget = qobject_cast<QWidget*>(object)) return widget->toolTip();
        return {};
    }
    if (auto* label = qobject_cast<QLabel*>(object)) return label->text();
    if (auto* button = qobject_cast<QAbstractButton*>(object)) return button->text();
    if (auto* action = qobject_cast<QAction*>(object)) return action->text();
    if (auto* edit = qobject_cast<QLineEdit*>(object)) return edit->text();
    if (auto* combo = qobject_cast<QComboBox*>(object)) return combo->currentText();
    return {};
}

void Write(QObject* object, LanguageProperty property, const QString& text) {
    if (property == LanguageProperty::Hint) {
        if (auto* action = qobject_cast<QAction*>(object)) {
            action->setToolTip(text);
        } else if (auto* tray = qobject_cast<QSystemTrayIcon*>(object)) {
            tray->setToolTip(text);
        } else if (auto* widget = qobject_cast<QWidget*>(object)) {
            widget->setToolTip(text);
        }
        return;
    }
    if (auto* label = qobject_cast<QLabel*>(object)) {
        label->setText(text);
    } else if (auto* button = qobject_cast<QAbstractButton*>(object)) {
        button->setText(text);
    } else if (auto* action = qobject_cast<QAction*>(object)) {
        action->setText(text);
    } else if (auto* edit = qobject_cast<QLineEdit*>(object)) {
        edit->setText(text);
    } else if (auto* combo = qobject_cast<QComboBox*>(object)) {
        // Setting the text is no choice of the user's: the box's change handlers stay
        // quiet. A pick-only list shows the item with exactly that text, or none.
        const QSignalBlocker quiet(combo);
        if (combo->isEditable()) {
            combo->setEditText(text);
        } else {
            combo->setCurrentIndex(
                combo->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
        }
    }
}

}  // namespace

class FormLanguageAdapter::Owned final : public LanguageComponent {
  public:
    Owned(QWidget& window, const OwnedEntry& design) : window_(&window), design_(design) {}

    QString Name() const override { return QString::fromLatin1(design_.name); }
    int ComponentCount() const override { return 0; }
    LanguageComponent* Component(int) const override { return nullptr; }
    bool HasProperty(LanguageProperty property) const override {
        if (!KindHas(design_.texts, property)) return false;
        const QObject* object = Find();
        return object != nullptr && Supports(object, property);
    }
    QString GetProperty(LanguageProperty property) const override {
        QObject* object = Find();
        return object != nullptr ? Read(object, property) : QString();
    }
    void SetProperty(LanguageProperty property, const QString& text) override {
        if (QObject* object = Find()) Write(object, property, text);
    }

  private:
    // Looked up at every use, so the adapter may exist before the controls and never
    // holds on to one that is gone.
    QObject* Find() const {
        if (!window_) return nullptr;
        const QString name = Name();
        if (QObject* object = window_->findChild<QObject*>(name)) return object;
        // The tray menu may be no child of the window.
        for (auto* tray : window_->findChildren<QSystemTrayIcon*>()) {
            QMenu* menu = tray->contextMenu();
            if (menu == nullptr) continue;
            if (QObject* object = menu->findChild<QObject*>(name)) return object;
            for (QAction* action : menu->actions()) {
                if (action->objectName() == name) return action;
            }
        }
        return nullptr;
    }

    QPointer<QWidget> window_;
    OwnedEntry design_;
};

FormLanguageAdapter::FormLanguageAdapter(QWidget& window) : window_(&window) {
    owned_.reserve(kOwned.size());
    for (const OwnedEntry& design : kOwned)
        owned_.push_back(std::make_unique<Owned>(window, design));
}

FormLanguageAdapter::~FormLanguageAdapter() = default;

QString FormLanguageAdapter::Name() const {
    return window_ ? window_->objectName() : QString();
}

int FormLanguageAdapter::ComponentCount() const {
    return static_cast<int>(owned_.size());
}

LanguageComponent* FormLanguageAdapter::Component(int index) const {
    return owned_.at(static_cast<size_t>(index)).get();
}

bool FormLanguageAdapter::HasProperty(LanguageProperty property) const {
    return window_ && property != LanguageProperty::Text;
}

QString FormLanguageAdapter::GetProperty(LanguageProperty property) const {
    if (!window_) return {};
    return property == LanguageProperty::Caption ? window_->windowTitle() : window_->toolTip();
}

void FormLanguageAdapter::SetProperty(LanguageProperty property, const QString& text) {
    if (!window_) return;
    if (property == LanguageProperty::Caption) {
        window_->setWindowTitle(text);
    } else if (property == LanguageProperty::Hint) {
        window_->setToolTip(text);
    }
}
