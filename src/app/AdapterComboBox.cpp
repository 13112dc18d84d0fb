#include "AdapterComboBox.h"

#include <QAbstractItemView>
#include <QSignalBlocker>

AdapterComboBox::AdapterComboBox(QWidget* parent) : QComboBox(parent) {
    setEditable(false);
    setInsertPolicy(QComboBox::NoInsert);
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
