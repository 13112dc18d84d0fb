#pragma once

// Stand-ins for what the main window borrows from the system, and a window made with them
// in a private program folder.

#include "FakeClock.h"
#include "FakeHttpClient.h"
#include "FakeInterfaceTable.h"
#include "FakeSettings.h"
#include "RecordingOpener.h"
#include "ScriptedRandom.h"
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
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

// Texts in test failures as text, not as arrays of characters.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace apptest {

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
    QTemporaryDir folder;
    FakeInterfaceTable table;
    FakeSettings settings;
    FakeClock clock;
    ScriptedRandom random;  // draws 0 unless a test gives numbers
    RecordingOpener opener;
    Messages messages;
    bool trayAvailable = true;
    ScriptedDialog* languageDialog = nullptr;  // the window's language file dialog, once made
    // The window's HTTP clients as it makes them (HttpCli1, HttpCli2, getpic): scripted
    // fakes, which fail a request nobody scripted, unless a test makes others.
    std::vector<HttpClient*> clients;
    std::vector<httpfake::FakeHttpClient*> http;
    std::function<std::unique_ptr<HttpClient>()> makeHttpClient = [this] {
        auto client = std::make_unique<httpfake::FakeHttpClient>();
        http.push_back(client.get());
        return std::unique_ptr<HttpClient>(std::move(client));
    };
    UpdateServices update;  // the window's self-update (none unless set)

    std::string ProgramFolder() const {
        return QFile::encodeName(folder.path()).toStdString() + "/";
    }
    QString File(const QString& name) const { return folder.filePath(name); }

    std::unique_ptr<TfrmMain> MakeWindow() {
        return std::make_unique<TfrmMain>(AppServices{
            .interfaceTable = table,
            .settings = settings,
            .clock = clock,
            .random = random,
            .urlOpener = opener,
            .messages = messages,
            .programFolder = ProgramFolder(),
            .trayAvailable = [this] { return trayAvailable; },
            .makeHttpClient =
                [this] {
                    std::unique_ptr<HttpClient> client = makeHttpClient();
                    clients.push_back(client.get());
                    return client;
                },
            .languageDialog =
                [this](QWidget&) {
                    auto dialog = std::make_unique<ScriptedDialog>();
                    languageDialog = dialog.get();
                    return std::unique_ptr<LanguageFileDialog>(std::move(dialog));
                },
            .update = update,
        });
    }
};

}  // namespace apptest
