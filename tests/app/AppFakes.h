#pragma once

// Stand-ins for what the main window borrows from the system, and a window made with them
// in a private program folder.

#include "FakeClock.h"
#include "FakeInterfaceTable.h"
#include "FakeSettings.h"
#include "RecordingOpener.h"
#include "app/AppServices.h"
#include "app/LanguageChoice.h"
#include "app/TfrmMain.h"

#include <QApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMap>
#include <QTemporaryDir>

#include <initializer_list>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

namespace apptest {

// The one application object of the test program, made on first use and deleted once all
// tests are done (before the exit handlers of Qt's own globals run).
QApplication& EnsureApp();

// A control or component of the window, by the object name language files address it by.
template <class T>
T* Child(const QObject& window, const char* name) {
    T* found = window.findChild<T*>(QString::fromLatin1(name));
    if (found == nullptr) throw std::logic_error(std::string("the window has no ") + name);
    return found;
}

// An operational Ethernet interface with the given address and description.
inline IfRow Row(std::initializer_list<std::uint8_t> address, std::string descr,
                 std::uint32_t ifIndex) {
    return MakeRow(address, ifIndex, 0, 0, 100000000, std::move(descr));
}

struct Shown {
    QString text;
    QString caption;
    QMessageBox::Icon icon;
};

class Messages final : public UserMessages {
  public:
    std::vector<Shown> shown;
    std::function<void()> whileOpen;  // runs as if the user took time to read the box
    void Show(QWidget*, const QString& text, const QString& caption,
              QMessageBox::Icon icon) override {
        shown.push_back({text, caption, icon});
        if (whileOpen) whileOpen();
    }
};

// The language file dialog: answers what the test set, and keeps the folders it was
// opened in.
class ScriptedDialog final : public LanguageFileDialog {
  public:
    std::optional<QString> answer;
    std::vector<QString> folders;
    std::optional<QString> Choose(const QString& folder) override {
        folders.push_back(folder);
        return answer;
    }
};

// Everything a window needs, in a private program folder that is removed afterwards.
struct Rig {
    QApplication& app = EnsureApp();
    QTemporaryDir folder;
    FakeInterfaceTable table;
    FakeSettings settings;
    FakeClock clock;
    RecordingOpener opener;
    Messages messages;
    bool trayAvailable = true;
    // The window's HTTP clients (null: the real ones) and its self-update (none unless set).
    std::function<std::unique_ptr<HttpClient>()> makeHttpClient;
    UpdateServices update;

    std::string ProgramFolder() const {
        return QFile::encodeName(folder.path()).toStdString() + "/";
    }
    QString File(const QString& name) const { return folder.filePath(name); }

    std::unique_ptr<TfrmMain> MakeWindow() {
        return std::make_unique<TfrmMain>(AppServices{
            .interfaceTable = table,
            .settings = settings,
            .clock = clock,
            .urlOpener = opener,
            .messages = messages,
            .programFolder = ProgramFolder(),
            .trayAvailable = [this] { return trayAvailable; },
            .makeHttpClient = makeHttpClient,
            .update = update,
        });
    }
};

}  // namespace apptest
