#pragma once

// The update operation: ask the update service for the size of the current build, download
// it beside the executable when it is new, and hand it to the swap that replaces the
// program. Run goes through the whole sequence and shows each step through the view it is
// given; the steps are public for their tests.
//
// Every step catches its own errors (HTTP, connection, files) and answers "nothing to do",
// so the operation ends silently. The HEAD and the GET run the event pump, and the wait
// after the GET runs the injected wait; window handlers can therefore run in between.

#include "online/SwapScript.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>
#include <string>

class Clock;
class HttpClient;

namespace updatecheck {

inline constexpr char kUpdateQuery[] = "/cgi-bin/download.pl?get=tvr_update&cv=";
inline constexpr char kUpdateAgent[] = "Quendra group Check update";
inline constexpr char kDownloadName[] = "tvr_update.exe";
inline constexpr char kScriptName[] = "tvr_update.sh";
inline constexpr char kBackupName[] = "tvr.bak";
inline constexpr std::int64_t kSmallestBuild = 100000;  // a build must be larger than this
inline constexpr int kUnknownLengthMaximum = 450000;    // progress maximum without a length
inline constexpr int kStallSeconds = 60;                // a download silent longer is dropped

// Where the operation works.
struct UpdateSite {
    std::string serviceAddress;  // scheme and host of the update service
    std::string version;         // the running version, "1.0.2.200"
    std::string programFolder;   // the executable's folder with its closing separator
    std::string executablePath;  // the running executable
};

// For the progress bar, in its int range: the announced length (450000 when there is none)
// and the bytes received so far.
struct UpdateProgress {
    int maximum = 0;
    int position = 0;
};

// What the person sees of a running operation; the window shows it.
class UpdateView {
  public:
    virtual ~UpdateView() = default;
    // The status line; an empty text clears it.
    virtual void ShowStatus(const QString& text) = 0;
    // A new build is there: the window comes out of the tray, as the tray double-click
    // brings it.
    virtual void ShowWindow() = 0;
    // The progress bar: shown at its start, moved, hidden.
    virtual void StartProgress() = 0;
    virtual void ShowProgress(UpdateProgress progress) = 0;
    virtual void HideProgress() = 0;
    // The swap is set going: the program must end now (the status line still shows).
    virtual void EndProgram() = 0;
};

// How a run ended.
enum class UpdateOutcome {
    Busy,        // another operation is under way, or none may start any more
    NothingNew,  // no new build was offered
    Dropped,     // the download was not whole or could not be installed
    Installed,   // the swap is set going
};

class UpdateOperation {
  public:
    struct Begun {
        bool started = false;  // false while another operation is under way
        QString statusText;
    };
    struct Offer {
        bool found = false;  // show the window (the tray double-click action), then download
        std::int64_t size = -1;
        QString statusText;
    };
    using Progress = UpdateProgress;
    struct Download {
        bool installable = false;  // whole, from a trusted origin, an executable for here
        QString statusText;
    };
    struct Installation {
        bool closeProgram = false;  // the swap is set going: the program must end now
    };

    using Wait = std::function<void(std::uint32_t milliseconds)>;

    // `getpic` is this operation's own client; its agent and no-cache are set here. The
    // wait paces the watch after the download (Delay, which pumps events, by default).
    UpdateOperation(HttpClient& getpic, const Clock& clock, UpdateSite site,
                    SwapInstaller& installer, Wait wait = {});

    // The whole operation: Begin, Look, the window shown, Fetch with its progress, Install,
    // and at the end, whatever step it reached, End with the progress bar hidden and the
    // status line cleared.
    UpdateOutcome Run(UpdateView& view);

    // Starts an operation: deletes the download, the script and the backup of an earlier
    // one (missing files and failed deletions do not matter).
    Begun Begin();
    // The HEAD on the update address. A new build exists when the answer came from a
    // trusted origin (https, or a loopback peer), announces more than 100000 bytes, and
    // that differs from the running executable's size.
    Offer Look();
    // The GET, each block appended to the download file; gives up when no data has come
    // for more than 60 seconds, and when more arrives than was announced. A block that
    // cannot be stored ends it too. A download that is not installable is deleted.
    Download Fetch(const std::function<void(Progress)>& onProgress);
    // Gives the download the executable's permissions and sets the swap going; deletes the
    // download when that fails.
    Installation Install();
    // Ends the operation whatever step it reached; Begin may start the next one. After a
    // successful Install no operation starts again in this run.
    void End();
    // The program is ending: a request under way is aborted, the wait after a download ends
    // at once, nothing is shown or installed, and no operation starts again.
    void Cancel();

    bool UnderWay() const { return underWay_; }
    const UpdateSite& Site() const { return site_; }
    std::string DownloadPath() const { return site_.programFolder + kDownloadName; }
    std::string ScriptPath() const { return site_.programFolder + kScriptName; }
    std::string BackupPath() const { return site_.programFolder + kBackupName; }

  private:
    void Prepare();
    bool Stalled() const;

    HttpClient& getpic_;
    const Clock& clock_;
    UpdateSite site_;
    SwapInstaller& installer_;
    Wait wait_;

    bool underWay_ = false;
    bool installed_ = false;
    bool cancelled_ = false;
    bool installable_ = false;
    std::int64_t offeredSize_ = -1;
    QDateTime updateLastData;
};

}  // namespace updatecheck
