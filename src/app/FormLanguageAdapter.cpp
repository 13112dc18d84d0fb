#include "app/FormLanguageAdapter.h"

#include "app/FormComponents.h"
#include "app/FormLayout.h"

#include <QAbstractButton>
#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QSignalBlocker>
#include <QSystemTrayIcon>

namespace {

// Which text properties a kind of component has: labels, panels, buttons, check boxes and
// menu items a Caption; edits and drop-down boxes a Text; all visible ones a Hint; timers,
// menus, dialogs, image lists, HTTP clients and the language component none.
enum class Texts { CaptionHint, TextHint, HintOnly, None };

struct OwnedEntry {
    const char* name;
    Texts texts;
};

// The texts of each kind of control and component.
Texts TextsOf(form::Kind kind) {
    switch (kind) {
        case form::Kind::Panel:
        case form::Kind::Label:
        case form::Kind::StatusLine:
        case form::Kind::PushButton:
        case form::Kind::FlatButton:
        case form::Kind::CheckBox:
            return Texts::CaptionHint;
        case form::Kind::NumberEdit:
        case form::Kind::SearchBox:
        case form::Kind::AdapterList:
            return Texts::TextHint;
        case form::Kind::Image:
        case form::Kind::Bevel:
        case form::Kind::TrackBar:
        case form::Kind::ProgressBar:
            return Texts::HintOnly;
    }
    return Texts::None;
}

Texts TextsOf(form::ComponentKind kind) {
    switch (kind) {
        case form::ComponentKind::MenuItem:
        case form::ComponentKind::MenuSeparator:
            return Texts::CaptionHint;
        case form::ComponentKind::TrayIcon:
            return Texts::HintOnly;
        case form::ComponentKind::Timer:
        case form::ComponentKind::Menu:
        case form::ComponentKind::FileDialog:
        case form::ComponentKind::LanguageComponent:
        case form::ComponentKind::ImageList:
        case form::ComponentKind::HttpClient:
            return Texts::None;
    }
    return Texts::None;
}

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
    // The controls, then the components without a place on the screen: the order in which
    // the window creates them.
    for (const form::ControlDesign& control : form::Controls())
        owned_.push_back(
            std::make_unique<Owned>(window, OwnedEntry{control.name, TextsOf(control.kind)}));
    for (const form::ComponentDesign& component : form::Components())
        owned_.push_back(
            std::make_unique<Owned>(window, OwnedEntry{component.name, TextsOf(component.kind)}));
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
