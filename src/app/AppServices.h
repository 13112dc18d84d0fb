#pragma once

// What the main window gets from outside: the operating system's services, the program
// folder, and the way messages reach the user. main.cpp makes the real ones; tests pass
// fakes, so that no test touches the user's settings or waits on a modal box.

#include <QMessageBox>
#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

class Clock;
class HttpClient;
class LanguageFileDialog;
class RandomSource;
class InterfaceTable;
class SettingsStore;
class UrlOpener;
class QWidget;
namespace updatecheck {
class SwapInstaller;
}

// Message boxes. The window never calls QMessageBox directly.
class UserMessages {
  public:
    virtual ~UserMessages() = default;
    // Shows a modal box with one OK button and waits until the user closes it. `owner` may
    // be null (a box of its own on the desktop).
    virtual void Show(QWidget* owner, const QString& text, const QString& caption,
                      QMessageBox::Icon icon) = 0;
};

// Real modal boxes that stay on top, as the window does.
class DesktopMessages final : public UserMessages {
  public:
    void Show(QWidget* owner, const QString& text, const QString& caption,
              QMessageBox::Icon icon) override;
};

// The self-update, in a build that has one. Without a swap there is no update check at all:
// "Update programm" stays disabled, the first tick of Timer2 only stops the timers, and no
// request is ever sent.
struct UpdateServices {
    updatecheck::SwapInstaller* swap = nullptr;  // puts a download in the executable's place
    std::string executablePath;                  // the running executable
    // The pause between looks at a download that has gone quiet; null for Delay (which
    // handles the window's events meanwhile).
    std::function<void(std::uint32_t milliseconds)> wait = {};
};

struct AppServices {
    InterfaceTable& interfaceTable;
    SettingsStore& settings;
    const Clock& clock;
    // The chance the banner's cache-breaking numbers are drawn from.
    RandomSource& random;
    UrlOpener& urlOpener;
    UserMessages& messages;
    // The executable's folder with its closing separator: log, history, language status.
    std::string programFolder;
    // Whether the desktop offers a notification area right now. Asked at start and then
    // every few seconds, because a tray host may come and go. It must not ask Qt's tray:
    // the first tray call settles for good which kind of tray Qt uses.
    std::function<bool()> trayAvailable;
    // Makes each of the window's HTTP clients; null for the real one (a curl child per
    // request, the window's events running while it waits).
    std::function<std::unique_ptr<HttpClient>()> makeHttpClient = {};
    // The dialog that picks a language file; null for the real one.
    std::function<std::unique_ptr<LanguageFileDialog>(QWidget& window)> languageDialog = {};
    UpdateServices update = {};
};
