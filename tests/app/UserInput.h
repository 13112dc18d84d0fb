#pragma once

// Keys as a person gives them: the keyboard focus moves to a control in its shown, active
// window, and every key goes to whatever has the focus at that moment (an editable combo
// box, not its inner editor; the window itself when no control has the focus).

#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <QWidget>

namespace apptest {

// Shows and activates the control's window, gives the control the focus and waits until
// the application reports it there. False when the focus did not arrive.
[[nodiscard]] inline bool FocusOn(QWidget& control) {
    QWidget* window = control.window();
    if (!window->isVisible()) window->show();
    window->activateWindow();
    if (!QTest::qWaitForWindowActive(window)) return false;
    control.setFocus(Qt::OtherFocusReason);
    return QTest::qWaitFor([&control] { return control.hasFocus(); });
}

// Where a key goes now.
inline QWidget* KeyTarget() {
    QWidget* target = QApplication::focusWidget();
    if (target == nullptr) target = QApplication::activeWindow();
    if (target == nullptr) ADD_FAILURE() << "no window is active to take the key";
    return target;
}

inline void Press(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier) {
    if (QWidget* target = KeyTarget()) QTest::keyClick(target, key, modifiers);
}

inline void Type(const QString& text) {
    for (const QChar c : text) {
        if (QWidget* target = KeyTarget()) QTest::keyClicks(target, QString(c));
    }
}

}  // namespace apptest
