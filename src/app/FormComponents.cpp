#include "FormComponents.h"

#include "Pictures.h"

#include <QAction>
#include <QMenu>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QWidget>

namespace form {

const std::vector<ComponentDesign>& Components() {
    using enum ComponentKind;
    // clang-format off
    static const std::vector<ComponentDesign> table = {
        {.name = "tmrRefresh", .kind = Timer, .period = 1000},  // sampling
        {.name = "tmrDraw", .kind = Timer, .period = 1000},     // diagram
        {.name = "RxTrayIcon", .kind = TrayIcon, .hint = u"Torvane"},
        {.name = "PopupMenu", .kind = Menu},
        {.name = "N2", .kind = MenuItem, .text = u"Visit programm homepage"},
        {.name = "N3", .kind = MenuItem, .text = u"Visit company homepage"},
        {.name = "N1", .kind = MenuItem, .text = u"Update programm"},
        {.name = "ShowStatistic", .kind = MenuItem, .text = u"Show Statistic",
         .hint = u"Show Statistic"},
        {.name = "slash", .kind = MenuSeparator, .text = u"-"},
        {.name = "Exit", .kind = MenuItem, .text = u"Exit", .hint = u"Exit"},
        {.name = "OpenLanguage", .kind = FileDialog},
        {.name = "MultiLanguage", .kind = LanguageComponent},
        {.name = "ImageList", .kind = ImageList},
        {.name = "Timer1", .kind = Timer, .period = 60000},  // Status lines of the log
        {.name = "Timer2", .kind = Timer, .period = 3000},   // the update due test, once
        {.name = "HttpCli1", .kind = HttpClient,  // banner fetch
         .agent = "Mozilla/6.0 (compatible)"},
        {.name = "HttpCli2", .kind = HttpClient,  // banner click-through
         .agent = "Mozilla/6.0 (compatible)"},
        {.name = "tmrBanner", .kind = Timer, .period = 600000},
        {.name = "getpic", .kind = HttpClient,    // update check and download
         .agent = "Quendra group Check update", .noCache = true},
    };
    // clang-format on
    return table;
}

namespace {

// The tray menu's separator keeps its caption "-" (a language file may name it) but is
// drawn as a plain line.
class MenuStyle final : public QProxyStyle {
  public:
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        if (element == CE_MenuItem) {
            if (const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
                item != nullptr && item->menuItemType == QStyleOptionMenuItem::Separator) {
                QStyleOptionMenuItem line = *item;
                line.text.clear();
                QProxyStyle::drawControl(element, &line, painter, widget);
                return;
            }
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }

    QSize sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                           const QWidget* widget) const override {
        if (type == CT_MenuItem) {
            if (const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
                item != nullptr && item->menuItemType == QStyleOptionMenuItem::Separator) {
                QStyleOptionMenuItem line = *item;
                line.text.clear();
                return QProxyStyle::sizeFromContents(type, &line, size, widget);
            }
        }
        return QProxyStyle::sizeFromContents(type, option, size, widget);
    }
};

QString Text(const char16_t* text) {
    return QString::fromUtf16(text);
}

}  // namespace

std::vector<QObject*> BuildComponents(QWidget& window, const HttpClientFactory& makeClient,
                                      bool withTrayIcon) {
    std::vector<QObject*> made;
    made.reserve(Components().size());
    QSystemTrayIcon* tray = nullptr;
    QMenu* menu = nullptr;
    for (const ComponentDesign& design : Components()) {
        QObject* component = nullptr;
        switch (design.kind) {
            case ComponentKind::Timer: {
                auto* timer = new QTimer(&window);
                timer->setInterval(design.period);
                component = timer;
                break;
            }
            case ComponentKind::TrayIcon:
                if (!withTrayIcon) continue;
                tray = new QSystemTrayIcon(&window);
                tray->setIcon(TrayPicture(0));
                tray->setToolTip(Text(design.hint));
                component = tray;
                break;
            case ComponentKind::Menu: {
                menu = new QMenu(&window);
                auto* style = new MenuStyle;
                style->setParent(menu);
                menu->setStyle(style);
                component = menu;
                break;
            }
            case ComponentKind::MenuItem:
            case ComponentKind::MenuSeparator: {
                auto* action = new QAction(Text(design.text), menu);
                if (design.hint[0] != u'\0') action->setToolTip(Text(design.hint));
                action->setSeparator(design.kind == ComponentKind::MenuSeparator);
                menu->addAction(action);
                component = action;
                break;
            }
            case ComponentKind::HttpClient: {
                std::unique_ptr<HttpClient> client = makeClient();
                client->Agent = design.agent;
                client->NoCache = design.noCache;
                component = new HttpClientComponent(std::move(client), &window);
                break;
            }
            case ComponentKind::FileDialog:
            case ComponentKind::LanguageComponent:
            case ComponentKind::ImageList:
                component = new QObject(&window);
                break;
        }
        component->setObjectName(QString::fromLatin1(design.name));
        made.push_back(component);
    }
    if (tray != nullptr) tray->setContextMenu(menu);
    return made;
}

}  // namespace form
