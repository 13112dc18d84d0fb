#pragma once

// A window for the language targets: an application that owns one form, and the form's
// components of every kind the language file knows (an unnamed one and one without texts
// among them), with the key of each text they carry.

#include "language/FakeComponents.h"

#include <QString>

#include <vector>

namespace fuzz {

struct LanguageText {
    FakeComponent* component;
    LanguageProperty property;
    QString key;
};

class LanguageWindow {
  public:
    LanguageWindow() {
        FakeComponent& form = application_.Add("frmMain", kCaptionHint);
        Take(form, "frmMain");
        for (const auto& [name, properties] : {std::pair{"Label1", kCaptionHint},
                                               {"edtByteReadToday", kTextHint},
                                               {"Image1", kHintOnly},
                                               {"", kCaptionHint},
                                               {"tmrDraw", kNoText}}) {
            FakeComponent& component = form.Add(QString::fromLatin1(name), properties);
            if (*name != '\0') Take(component, QStringLiteral("frmMain.") + QLatin1String(name));
        }
    }

    LanguageComponent* Application() { return &application_; }
    // Every text in the order a language file holds them.
    const std::vector<LanguageText>& Texts() const { return texts_; }

  private:
    void Take(FakeComponent& component, const QString& fullName) {
        for (const auto& [property, name] : {std::pair{LanguageProperty::Caption, "Caption"},
                                             {LanguageProperty::Text, "Text"},
                                             {LanguageProperty::Hint, "Hint"}}) {
            if (!component.HasProperty(property)) continue;
            texts_.push_back(
                {&component, property, fullName + QLatin1Char('.') + QLatin1String(name) + ":="});
        }
    }

    FakeComponent application_{QString(), kNoText};
    std::vector<LanguageText> texts_;
};

}  // namespace fuzz
