#include "platform/UrlOpener.h"

#include <QDesktopServices>
#include <QUrl>

namespace {

class DesktopUrlOpener final : public UrlOpener {
  public:
    void Open(const std::string& url) override {
        // StrictMode keeps the address exactly as built (percent escapes included).
        QDesktopServices::openUrl(QUrl(QString::fromStdString(url), QUrl::StrictMode));
    }
};

}  // namespace

std::unique_ptr<UrlOpener> MakeDesktopUrlOpener() {
    return std::make_unique<DesktopUrlOpener>();
}
