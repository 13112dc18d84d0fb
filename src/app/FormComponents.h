#pragma once

// The main window's components without a place on the screen, in creation order: the
// timers, the tray icon with its menu, and the components that are names only so far. They
// come after the controls of FormLayout; together the two tables are everything the window
// owns, in the order the language walk visits it. FormComponents.cpp holds the table;
// BuildComponents makes them.

#include "MainControls.h"
#include "online/HttpClient.h"

#include <QObject>

#include <functional>
#include <memory>
#include <vector>

class QWidget;

namespace form {

// Makes the client behind an HTTP client component; the real one is THttpCli pumping the
// window's events, tests hand in stand-ins.
using HttpClientFactory = std::function<std::unique_ptr<HttpClient>()>;

// An HTTP client as a component of the window: named like the others, so that the language
// walk finds it, and owning the client itself.
class HttpClientComponent final : public QObject {
  public:
    HttpClientComponent(std::unique_ptr<HttpClient> client, QObject* parent)
        : QObject(parent), client_(std::move(client)) {}
    HttpClient& Client() const { return *client_; }

  private:
    std::unique_ptr<HttpClient> client_;
};

enum class ComponentKind {
    Timer,              // QTimer with its period; stopped until the window starts it
    TrayIcon,           // QSystemTrayIcon; the menu of the table is its context menu
    Menu,               // QMenu, the tray icon's
    MenuItem,           // QAction of the menu, in table order
    MenuSeparator,      // QAction drawn as a line; it keeps its caption
    FileDialog,         // the language file dialog (LanguageChoice opens its own)
    LanguageComponent,  // TMultiLanguage (LanguageChoice holds it)
    ImageList,          // the tray pictures (Pictures.cpp draws them)
    HttpClient,         // an HTTP client of the online services (HttpClientComponent)
};

struct ComponentDesign {
    const char* name;
    void (*into)(MainControls&, QObject*) = nullptr;  // where the window keeps it, if it does
    ComponentKind kind;
    int period = 0;              // timers: milliseconds
    const char16_t* text = u"";  // menu items: Caption
    const char16_t* hint = u"";  // the tray icon and menu items: Hint
    const char* agent = "";      // HTTP clients: the agent they name themselves with
    bool noCache = false;        // HTTP clients: "Pragma: no-cache" unless set otherwise
};

const std::vector<ComponentDesign>& Components();

// Creates the components of the table as children of the window, in table order, into
// `controls`. Kinds that are held elsewhere become a plain QObject with the component's name,
// so that the language walk finds them. The HTTP clients come from `makeClient`, with the
// agent and no-cache setting of the table. The tray icon is left out: the tray dock makes it
// once a tray host is there.
void BuildComponents(QWidget& window, const HttpClientFactory& makeClient, MainControls& controls);

}  // namespace form
