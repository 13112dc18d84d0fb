// Test aid of the end-to-end runs, never part of the program: loaded into the real
// executable with LD_PRELOAD, it writes what the main window shows to the file named by
// TORVANE_PROBE_OUT, a few times a second. The scripts read the number fields, the labels
// and the tray icon's tooltip from there, where a screenshot would need text recognition.
//
// One "name=value" line per control with a name: the texts of labels and edits, the shown
// text and the items of drop-down lists, position/maximum and visibility of progress bars,
// whether each button is shown in the window, the tray icon's tooltip, the window's caption
// and whether it is visible, and the control that has the keyboard focus (the named one a
// focused part belongs to). The file is replaced whole each time.

#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSaveFile>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

namespace {

constexpr int kPeriodMs = 150;

QByteArray OneLine(const QString& text) {
    QString line = text;
    line.replace(QLatin1Char('\n'), QLatin1String("\\n"));
    return line.toUtf8();
}

bool Named(const QObject* object) {
    const QString name = object->objectName();
    return !name.isEmpty() && !name.startsWith(QLatin1String("qt_"));
}

void Add(QByteArray& out, const QString& key, const QString& value) {
    out += key.toUtf8() + '=' + OneLine(value) + '\n';
}

void Dump(const QString& path) {
    QByteArray out;
    Add(out, QStringLiteral("probe.time"), QString::number(QDateTime::currentMSecsSinceEpoch()));
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->objectName() != QLatin1String("frmMain")) continue;
        Add(out, QStringLiteral("frmMain.Caption"), window->windowTitle());
        Add(out, QStringLiteral("frmMain.visible"),
            window->isVisible() ? QStringLiteral("1") : QStringLiteral("0"));
        for (const QLabel* label : window->findChildren<QLabel*>())
            if (Named(label)) Add(out, label->objectName(), label->text());
        for (const QLineEdit* edit : window->findChildren<QLineEdit*>())
            if (Named(edit)) Add(out, edit->objectName(), edit->text());
        for (const QComboBox* box : window->findChildren<QComboBox*>()) {
            if (!Named(box)) continue;
            Add(out, box->objectName(), box->currentText());
            QStringList items;
            for (int i = 0; i < box->count(); ++i)
                items << box->itemText(i);
            Add(out, box->objectName() + QStringLiteral(".items"), items.join(QLatin1Char('|')));
        }
        for (const QProgressBar* bar : window->findChildren<QProgressBar*>()) {
            if (!Named(bar)) continue;
            Add(out, bar->objectName(),
                QString::number(bar->value()) + QLatin1Char('/') + QString::number(bar->maximum()));
            Add(out, bar->objectName() + QStringLiteral(".visible"),
                bar->isVisible() ? QStringLiteral("1") : QStringLiteral("0"));
        }
        for (const QAbstractButton* button : window->findChildren<QAbstractButton*>())
            if (Named(button))
                Add(out, button->objectName() + QStringLiteral(".visible"),
                    button->isVisibleTo(window) ? QStringLiteral("1") : QStringLiteral("0"));
        for (const QSystemTrayIcon* tray : window->findChildren<QSystemTrayIcon*>()) {
            Add(out, tray->objectName() + QStringLiteral(".Hint"), tray->toolTip());
            Add(out, tray->objectName() + QStringLiteral(".visible"),
                tray->isVisible() ? QStringLiteral("1") : QStringLiteral("0"));
        }
    }
    QWidget* focus = QApplication::focusWidget();
    while (focus != nullptr && !Named(focus))
        focus = focus->parentWidget();
    Add(out, QStringLiteral("focus"), focus != nullptr ? focus->objectName() : QString());
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return;
    file.write(out);
    file.commit();
}

void StartProbe() {
    // Only the program itself is watched, not what it starts (the swap script's tools, a
    // browser, the new copy after an update): an instrumented probe would break them.
    qunsetenv("LD_PRELOAD");
    const QString path = qEnvironmentVariable("TORVANE_PROBE_OUT");
    if (path.isEmpty()) return;
    auto* timer = new QTimer(QCoreApplication::instance());
    timer->setInterval(kPeriodMs);
    QObject::connect(timer, &QTimer::timeout, timer, [path] { Dump(path); });
    // Started from the event loop, once the application object is complete.
    QTimer::singleShot(0, timer, [timer] { timer->start(); });
}

}  // namespace

Q_COREAPP_STARTUP_FUNCTION(StartProbe)
