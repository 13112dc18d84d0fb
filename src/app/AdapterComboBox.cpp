#include "AdapterComboBox.h"

#include <QAbstractItemView>
#include <QKeyEvent>
#include <QSignalBlocker>

AdapterComboBox::AdapterComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    setInsertPolicy(QComboBox::NoInsert);
    installEventFilter(this);
    view()->installEventFilter(this);
}

bool AdapterComboBox::eventFilter(QObject* watched, QEvent* event) {
    if (watched != this && watched != view()) return QComboBox::eventFilter(watched, event);
    const QEvent::Type type = event->type();
    // The adapter can be changed with a mouse pick only. Focus still moves on with Tab, and
    // an open list still closes with Escape, neither of which changes the choice.
    if (type == QEvent::KeyPress || type == QEvent::KeyRelease) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key == Qt::Key_Tab || key == Qt::Key_Backtab) return false;
        if (key == Qt::Key_Escape && watched == view()) return false;
        return true;
    }
    if (type == QEvent::Wheel && watched == this) return true;
    return QComboBox::eventFilter(watched, event);
}

void AdapterComboBox::InsertSorted(const QString& text) {
    int at = count();
    for (int i = 0; i < count(); ++i) {
        if (QString::compare(text, itemText(i), Qt::CaseInsensitive) < 0) {
            at = i;
            break;
        }
    }
    const QSignalBlocker quiet(this);
    insertItem(at, text);
}

void AdapterComboBox::ShowText(const QString& text) {
    const QSignalBlocker quiet(this);
    setCurrentIndex(text.isEmpty() ? -1
                                   : findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

void AdapterComboBox::showPopup() {
    if (dropDown_) dropDown_();
    QComboBox::showPopup();
}
