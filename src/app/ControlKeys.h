#pragma once

// The keys the main window's controls share: F1 asks for the help page in the search box,
// on its button, on the diagram check box and on the transparency bar; Enter in the search
// box or on its button starts the search. Every other key goes on to the control.

#include <QObject>

namespace form {
struct MainControls;
}

class ControlKeys final : public QObject {
    Q_OBJECT
  public:
    // Watches the controls' keys from now on.
    ControlKeys(const form::MainControls& controls, QObject* parent);

  signals:
    void helpAsked();
    void searchAsked();  // Enter in the search box (Enter on the button clicks it)

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    const form::MainControls& controls_;
};
