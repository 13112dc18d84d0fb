#pragma once

// The main window's components without a place on the screen, in creation order: the
// timers, the tray icon with its menu, and the components that are names only so far. They
// come after the controls of FormLayout; together the two tables are everything the window
// owns, in the order the language walk visits it. FormComponents.cpp holds the table;
// BuildComponents makes them.

#include <vector>

class QObject;
class QWidget;

namespace form {

enum class ComponentKind {
    Timer,              // QTimer with its period; stopped until the window starts it
    TrayIcon,           // QSystemTrayIcon; the menu of the table is its context menu
    Menu,               // QMenu, the tray icon's
    MenuItem,           // QAction of the menu, in table order
    MenuSeparator,      // QAction drawn as a line; it keeps its caption
    FileDialog,         // the language file dialog (LanguageChoice opens its own)
    LanguageComponent,  // TMultiLanguage (LanguageChoice holds it)
    ImageList,          // the tray pictures (Pictures.cpp draws them)
    HttpClient,         // an HTTP client of the online services
};

struct ComponentDesign {
    const char* name;
    ComponentKind kind;
    int period = 0;              // timers: milliseconds
    const char16_t* text = u"";  // menu items: Caption
    const char16_t* hint = u"";  // the tray icon and menu items: Hint
};

const std::vector<ComponentDesign>& Components();

// Creates the components of the table as children of the window, in table order, and
// returns them in that order. Kinds that are held elsewhere become a plain QObject with
// the component's name, so that the language walk and a lookup by name find them.
std::vector<QObject*> BuildComponents(QWidget& window);

}  // namespace form
