#include "ControlKeys.h"

#include "MainControls.h"

#include <QCheckBox>
#include <QComboBox>
#include <QKeyEvent>
#include <QPushButton>
#include <QSlider>

ControlKeys::ControlKeys(const form::MainControls& controls, QObject* parent)
    : QObject(parent), controls_(controls) {
    for (QObject* control : std::initializer_list<QObject*>{controls.SearchText, controls.btnSearch,
                                                            controls.chkLine, controls.trkVisible})
        control->installEventFilter(this);
}

bool ControlKeys::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::KeyPress) return false;
    const auto* keyEvent = static_cast<QKeyEvent*>(event);
    const int key = keyEvent->key();
    const bool enter = key == Qt::Key_Return || key == Qt::Key_Enter;
    // Keys typed into the search box arrive at the box itself, which hands them to its
    // editor directly, past any filter there; they are looked at here.
    if (watched == controls_.SearchText && enter) emit searchAsked();
    if (key == Qt::Key_F1) emit helpAsked();
    if (watched == controls_.btnSearch && enter) {
        // A focused button is pressed with Enter as with Space. Enter means nothing else to
        // it, so it is taken here.
        if (!keyEvent->isAutoRepeat()) controls_.btnSearch->click();
        return true;
    }
    return false;  // the control goes on with its own handling of the key
}
