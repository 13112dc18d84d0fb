#include "app/LanguageChoice.h"

#include "platform/UrlOpener.h"

#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QStringList>
#include <QWidget>

// Resources of a static library are linked in only when something refers to them.
static void InitLanguageResources() {
    Q_INIT_RESOURCE(language);
}

namespace {

class QtLanguageFileDialog final : public LanguageFileDialog {
  public:
    explicit QtLanguageFileDialog(QWidget* parent) : parent_(parent) {}

    std::optional<QString> Choose(const QString& folder) override {
        // On the heap: the window may go away while the dialog waits (Exit from the tray
        // menu), and takes the dialog with it.
        QPointer<QFileDialog> dialog = new QFileDialog(parent_);
        dialog->setAcceptMode(QFileDialog::AcceptOpen);
        dialog->setFileMode(QFileDialog::ExistingFile);
        dialog->setNameFilter(QStringLiteral("Language file (*.lng)"));
        dialog->setDefaultSuffix(QStringLiteral("lng"));
        dialog->setSizeGripEnabled(true);
        dialog->setDirectory(folder);
        // A full path from an earlier choice opens in that file's folder.
        dialog->selectFile(fileName_);
        const int result = dialog->exec();
        if (!dialog) return std::nullopt;
        const QStringList files = dialog->selectedFiles();
        delete dialog;
        if (result != QDialog::Accepted || files.isEmpty()) return std::nullopt;
        fileName_ = files.front();
        return fileName_;
    }

  private:
    QPointer<QWidget> parent_;
    QString fileName_ = QStringLiteral("english.lng");
};

}  // namespace

QIcon SelectLanguagePicture() {
    InitLanguageResources();
    return QIcon(QStringLiteral(":/language/select_language.png"));
}

QIcon SaveOptionsPicture() {
    InitLanguageResources();
    return QIcon(QStringLiteral(":/language/save_options.png"));
}

std::unique_ptr<LanguageFileDialog> MakeLanguageFileDialog(QWidget* parent) {
    return std::make_unique<QtLanguageFileDialog>(parent);
}

LanguageChoice::LanguageChoice(QWidget& window, QLabel& pnlLanguage, QWidget& btnSaveOptions,
                               UrlOpener& urlOpener, std::string makerUrl,
                               const std::string& programFolder,
                               std::unique_ptr<LanguageFileDialog> dialog)
    : window_(&window),
      pnlLanguage_(&pnlLanguage),
      btnSaveOptions_(&btnSaveOptions),
      urlOpener_(urlOpener),
      makerUrl_(std::move(makerUrl)),
      programFolder_(QFile::decodeName(QByteArray::fromStdString(programFolder))),
      form_(window),
      multiLanguage_(&application_),
      dialog_(dialog ? std::move(dialog) : MakeLanguageFileDialog(&window)) {
    application_.AddWindow(form_);
    multiLanguage_.SetProgrammName(QStringLiteral("Pellmor"));
    multiLanguage_.SetProgrammVer(QStringLiteral("v1.01"));
}

LanguageChoice::~LanguageChoice() = default;

void LanguageChoice::FormCreateLanguage() {
    // The status file always lives beside the executable.
    multiLanguage_.SetStatusFile(programFolder_ + QStringLiteral("language.cfg"));
    // Without a readable status file the default "english.lng" in the current folder is used.
    multiLanguage_.StatusLoad();
    multiLanguage_.LoadForm();
    ShowLanguage();
}

void LanguageChoice::btnSelectLanguageClick() {
    const std::optional<QString> chosen = dialog_->Choose(programFolder_);
    if (!chosen || !window_) return;
    multiLanguage_.SetLanguageFile(*chosen);
    multiLanguage_.LoadForm();
    ShowLanguage();
    if (btnSaveOptions_) btnSaveOptions_->show();
}

void LanguageChoice::btnSaveOptionsClick() {
    multiLanguage_.StatusSave();
    // Hidden also when the status file could not be written.
    if (btnSaveOptions_) btnSaveOptions_->hide();
}

void LanguageChoice::btnOtherLNGClick() {
    urlOpener_.Open(makerUrl_ + "/tvr_translate.html");
}

void LanguageChoice::ShowLanguage() {
    if (pnlLanguage_) pnlLanguage_->setText(multiLanguage_.Language());
}
