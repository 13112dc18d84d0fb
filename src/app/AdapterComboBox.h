#pragma once

// The adapter list selAdapter: a pick-only drop-down list that rebuilds its items each time
// the user opens it, and that the keyboard and the mouse wheel cannot change.

#include <QComboBox>

#include <functional>

class AdapterComboBox final : public QComboBox {
    Q_OBJECT
  public:
    explicit AdapterComboBox(QWidget* parent = nullptr);

    // Runs right before the list opens (selAdapterDropDown).
    void SetDropDownHandler(std::function<void()> handler) { dropDown_ = std::move(handler); }

    // The items in the order the list keeps them: alphabetical without regard to letter
    // case; an item equal to others goes after them.
    void InsertSorted(const QString& text);

    // Shows the item whose text equals `text` exactly (the first of equal ones), or no item.
    // Never counts as a pick of the user.
    void ShowText(const QString& text);

    void showPopup() override;

  protected:
    // Keys and the wheel, here and in the open list.
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    std::function<void()> dropDown_;
};
