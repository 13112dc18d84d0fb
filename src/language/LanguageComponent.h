#pragma once

// What the language component needs of the window framework: named components that own
// further components in creation order, and the three text properties some kinds of them
// carry. The framework side converts nothing; texts travel as Unicode, and the language
// component alone turns them into file bytes and back.

#include <QString>

enum class LanguageProperty { Caption, Text, Hint };

class LanguageComponent {
  public:
    virtual ~LanguageComponent() = default;

    // The component's own name; empty for an unnamed one.
    virtual QString Name() const = 0;

    // The components this one owns, in creation order. A null entry is skipped.
    virtual int ComponentCount() const = 0;
    virtual LanguageComponent* Component(int index) const = 0;

    // Whether the component's kind has the property, its current text, and setting it (a
    // Caption or Text shows at once; a Hint is the tooltip from then on).
    virtual bool HasProperty(LanguageProperty property) const = 0;
    virtual QString GetProperty(LanguageProperty property) const = 0;
    virtual void SetProperty(LanguageProperty property, const QString& text) = 0;
};
