#pragma once

// The language choice of the main window: at start the remembered language file is applied;
// "Change language" picks and applies another, "Save Options" remembers it, "Other
// languages" opens the maker's page of further translations. The window owns one
// LanguageChoice and calls it from its handlers.

#include "app/FormLanguageAdapter.h"
#include "language/MLanguage.h"

#include <QIcon>
#include <QLabel>
#include <QPointer>
#include <QString>

#include <memory>
#include <optional>
#include <string>

class QWidget;
class UrlOpener;

// The open-file dialog that picks a language file.
class LanguageFileDialog {
  public:
    virtual ~LanguageFileDialog() = default;
    // Asks for an existing language file, starting in `folder` (with closing separator);
    // the full path of the chosen file, or nothing when the user cancels.
    virtual std::optional<QString> Choose(const QString& folder) = 0;
};

// A modal QFileDialog over `parent`: one filter "Language file (*.lng)", default suffix
// "lng", file name "english.lng" at first and the last chosen file afterwards; path and file
// must exist; resizable; the system's default title.
std::unique_ptr<LanguageFileDialog> MakeLanguageFileDialog(QWidget* parent);

// The pictures of "Change language" (a folder, a book and an arrow) and "Save Options" (a
// cogwheel under a cylinder), 20 x 20, transparent around the drawing.
QIcon SelectLanguagePicture();
QIcon SaveOptionsPicture();

class LanguageChoice {
  public:
    // `window` is frmMain; `pnlLanguage` shows the language's name and `btnSaveOptions` is
    // shown after a pick and hidden after saving. `programFolder` is the executable's folder with
    // its closing separator (file-system bytes, as AppServices keeps it). `makerUrl` is the maker's
    // web site (build_config::kMakerUrl). `urlOpener` must outlive this object. Without a dialog
    // the real one is used.
    LanguageChoice(QWidget& window, QLabel& pnlLanguage, QWidget& btnSaveOptions,
                   UrlOpener& urlOpener, std::string makerUrl, const std::string& programFolder,
                   std::unique_ptr<LanguageFileDialog> dialog = nullptr);
    ~LanguageChoice();

    LanguageChoice(const LanguageChoice&) = delete;
    LanguageChoice& operator=(const LanguageChoice&) = delete;

    // The window's language component (ProgrammName "Pellmor", ProgrammVer "v1.01").
    TMultiLanguage& MultiLanguage() { return multiLanguage_; }

    // The language steps of FormCreate, run after the caption has been set: the status file
    // beside the executable is read, the language file it names applied, and pnlLanguage
    // shows the language's name.
    void FormCreateLanguage();

    // Handlers of the three language buttons.
    void btnSelectLanguageClick();
    void btnSaveOptionsClick();
    void btnOtherLNGClick();

  private:
    void ShowLanguage();

    QPointer<QWidget> window_;
    QPointer<QLabel> pnlLanguage_;
    QPointer<QWidget> btnSaveOptions_;
    UrlOpener& urlOpener_;
    std::string makerUrl_;
    QString programFolder_;
    FormLanguageAdapter form_;
    ApplicationLanguageAdapter application_;
    TMultiLanguage multiLanguage_;
    std::unique_ptr<LanguageFileDialog> dialog_;
};
