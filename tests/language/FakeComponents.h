#pragma once

// A small component tree for the language component: an application that owns windows,
// windows that own components, each with the text properties its kind has.

#include "language/LanguageComponent.h"

#include <QString>

#include <map>
#include <memory>
#include <set>
#include <vector>

class FakeComponent : public LanguageComponent {
  public:
    FakeComponent(QString name, std::set<LanguageProperty> properties)
        : name_(std::move(name)), properties_(std::move(properties)) {}

    FakeComponent& Add(const QString& name, std::set<LanguageProperty> properties) {
        owned_.push_back(std::make_unique<FakeComponent>(name, std::move(properties)));
        return *owned_.back();
    }
    FakeComponent& Set(LanguageProperty property, const QString& text) {
        texts_[property] = text;
        return *this;
    }
    QString Get(LanguageProperty property) const {
        const auto it = texts_.find(property);
        return it == texts_.end() ? QString() : it->second;
    }
    int Writes() const { return writes_; }

    QString Name() const override { return name_; }
    int ComponentCount() const override { return static_cast<int>(owned_.size()); }
    LanguageComponent* Component(int index) const override {
        return owned_.at(static_cast<size_t>(index)).get();
    }
    bool HasProperty(LanguageProperty property) const override {
        return properties_.count(property) != 0;
    }
    QString GetProperty(LanguageProperty property) const override { return Get(property); }
    void SetProperty(LanguageProperty property, const QString& text) override {
        ++writes_;
        texts_[property] = text;
    }

  private:
    QString name_;
    std::set<LanguageProperty> properties_;
    std::map<LanguageProperty, QString> texts_;
    std::vector<std::unique_ptr<FakeComponent>> owned_;
    int writes_ = 0;
};

inline const std::set<LanguageProperty> kCaptionHint{LanguageProperty::Caption,
                                                     LanguageProperty::Hint};
inline const std::set<LanguageProperty> kTextHint{LanguageProperty::Text, LanguageProperty::Hint};
inline const std::set<LanguageProperty> kHintOnly{LanguageProperty::Hint};
inline const std::set<LanguageProperty> kNoText{};
