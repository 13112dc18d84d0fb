// Torvane: starts one copy per user (or a further one with "/new"), then lives in the tray.

#include "AppServices.h"
#include "BuildConfig.h"
#include "SingleInstance.h"
#include "TfrmMain.h"
#include "TrayDock.h"
#include "TrayHostWatch.h"
#include "online/SwapScript.h"
#include "platform/Clock.h"
#include "platform/RandomSource.h"
#include "platform/SettingsStore.h"
#include "platform/SystemInterfaceTable.h"
#include "platform/UrlOpener.h"
#include "util/funcQuendra.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>

#include <chrono>

namespace {

// How long a start without a tray waits for one before it shows the window: at login the
// panel that hosts the tray may come up a moment after the program.
constexpr std::chrono::seconds kTrayGrace{5};

}  // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Torvane"));
    // The window decides when the program ends (its close flag, or no tray to live in).
    QApplication::setQuitOnLastWindowClosed(false);

    const bool newCopy = IsNewSwitch(QApplication::arguments().mid(1));
    const QString windowClass = QStringLiteral("TfrmMain");
    const QString caption = QStringLiteral("Torvane v") + QString::fromStdString(GetExeVersion());

    SingleInstance instance(UserRuntimeDir());
    SingleInstance::Claim claim = instance.ClaimInstance();
    if (claim == SingleInstance::Claim::Running && !newCopy) {
        const SingleInstance::Answer answer =
            instance.AskRunningCopyToShow(windowClass, caption, 3000);
        // A lock nobody answers for and whose owner cannot even be read is no lock of a
        // running copy: the mechanism is broken here.
        if (answer != SingleInstance::Answer::NoAnswer || instance.LockHasOwner()) return 0;
        claim = SingleInstance::Claim::Failed;
    }
    if (claim == SingleInstance::Claim::Failed && !newCopy) {
        QMessageBox box(QMessageBox::Critical, QStringLiteral("Error"),
                        QStringLiteral("The program can not be started on your computer. "
                                       "Address to the developer."),
                        QMessageBox::Ok);
        box.exec();
        return 0;
    }
    if (claim == SingleInstance::Claim::Running) instance.ClaimWhenFree(2000);

    const std::unique_ptr<InterfaceTable> table = MakeSystemInterfaceTable();
    const std::unique_ptr<SettingsStore> settings = MakeUserSettingsStore();
    const std::unique_ptr<UrlOpener> opener = MakeDesktopUrlOpener();
    SystemClock clock;
    SystemRandom random;
    DesktopMessages messages;
    const std::string folder =
        QFile::encodeName(QDir(QApplication::applicationDirPath()).absolutePath()).toStdString();
    updatecheck::ScriptSwapInstaller swap;
    UpdateServices update;
    if (build_config::kUpdateCheck) {
        update.swap = &swap;
        update.executablePath =
            QFile::encodeName(QApplication::applicationFilePath()).toStdString();
    }

    // No tray call before a tray host is there (see TrayHostWatch).
    TrayHostWatch trayHosts;
    auto window = std::make_unique<TfrmMain>(AppServices{
        .interfaceTable = *table,
        .settings = *settings,
        .clock = clock,
        .random = random,
        .urlOpener = *opener,
        .messages = messages,
        .programFolder = AddBackslash(folder),
        .trayAvailable = [&trayHosts] { return trayHosts.Present(); },
        .update = update,
    });
    QObject::connect(&trayHosts, &TrayHostWatch::changed, &window->Tray(), &TrayDock::LookForHost);
    QObject::connect(window.get(), &TfrmMain::programEnds, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    instance.SetShowHandler([&window](const QString& className, const QString& title) {
        return window->ShowIfIdentity(className, title);
    });
    window->FormCreate();
    // The window starts hidden in the tray, or shows when no tray has come in time.
    window->Tray().StartInTray(kTrayGrace);

    QApplication::exec();
    window.reset();  // removes the tray icon
    return 0;
}
