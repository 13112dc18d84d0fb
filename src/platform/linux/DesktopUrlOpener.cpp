#include "platform/UrlOpener.h"

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QString>
#include <QStringList>

namespace {

// The desktop's own opener, handed the address text as it is: QUrl would rewrite escapes
// ("%41" becomes "A"), and the search address must reach the browser byte for byte. Started
// detached, so the window never waits on the browser; a desktop without xdg-open opens
// nothing, quietly, as a failed shell call would.
class DesktopUrlOpener final : public UrlOpener {
  public:
    void Open(const std::string& url) override {
        // QProcess hands its arguments over in the file-name encoding; decoding with it
        // gives back the very bytes built here.
        const QString address = QFile::decodeName(QByteArray(url.data(), std::ssize(url)));
        QProcess::startDetached(QStringLiteral("xdg-open"), QStringList{address});
    }
};

}  // namespace

std::unique_ptr<UrlOpener> MakeDesktopUrlOpener() {
    return std::make_unique<DesktopUrlOpener>();
}
