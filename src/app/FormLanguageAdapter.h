#pragma once

// The main window as the language component walks it: the window `frmMain` and the
// components it owns (the controls of FormLayout, then the components of FormComponents),
// in creation order, each with the text properties its kind has.
// Controls are found by object name below the window (menu items also in the tray icon's
// menu); a control that is missing or of another class takes no part.

#include "language/LanguageComponent.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <vector>

class FormLanguageAdapter final : public LanguageComponent {
  public:
    explicit FormLanguageAdapter(QWidget& window);
    ~FormLanguageAdapter() override;

    QString Name() const override;
    int ComponentCount() const override;
    LanguageComponent* Component(int index) const override;
    bool HasProperty(LanguageProperty property) const override;
    QString GetProperty(LanguageProperty property) const override;
    void SetProperty(LanguageProperty property, const QString& text) override;

    class Owned;

  private:
    QPointer<QWidget> window_;
    std::vector<std::unique_ptr<Owned>> owned_;
};

// The application object: owns the program's windows, in creation order.
class ApplicationLanguageAdapter final : public LanguageComponent {
  public:
    void AddWindow(LanguageComponent& window) { windows_.push_back(&window); }

    QString Name() const override { return {}; }
    int ComponentCount() const override { return static_cast<int>(windows_.size()); }
    LanguageComponent* Component(int index) const override {
        return windows_.at(static_cast<size_t>(index));
    }
    bool HasProperty(LanguageProperty) const override { return false; }
    QString GetProperty(LanguageProperty) const override { return {}; }
    void SetProperty(LanguageProperty, const QString&) override {}

  private:
    std::vector<LanguageComponent*> windows_;
};
