#include "FormComponents.h"

#include <QAction>
#include <QMenu>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>
#include <QTimer>
#include <QWidget>

namespace form {

// A row's name and the member of MainControls that keeps its component, spelt once.
#define NAMED(member) .name = #member, .into = &Into<&MainControls::member, QObject>

template <auto Member>
void IntoClient(MainControls& controls, QObject* made) {
    controls.*Member = &dynamic_cast<HttpClientComponent&>(*made).Client();
}
#define NAMED_CLIENT(member) .name = #member, .into = &IntoClient<&MainControls::member>

const std::vector<ComponentDesign>& Components() {
    using enum ComponentKind;
    // clang-format off
    static const std::vector<ComponentDesign> table = {
        {NAMED(tmrRefresh), .kind = Timer, .period = 1000},  // sampling
        {NAMED(tmrDraw), .kind = Timer, .period = 1000},     // diagram
        {.name = "RxTrayIcon", .kind = TrayIcon, .hint = u"Torvane"},
        {NAMED(PopupMenu), .kind = Menu},
        {NAMED(N2), .kind = MenuItem, .text = u"Visit programm homepage"},
        {NAMED(N3), .kind = MenuItem, .text = u"Visit company homepage"},
        {NAMED(N1), .kind = MenuItem, .text = u"Update programm"},
        {NAMED(ShowStatistic), .kind = MenuItem, .text = u"Show Statistic",
         .hint = u"Show Statistic"},
        {NAMED(slash), .kind = MenuSeparator, .text = u"-"},
        {NAMED(Exit), .kind = MenuItem, .text = u"Exit", .hint = u"Exit"},
        {.name = "OpenLanguage", .kind = FileDialog},
        {.name = "MultiLanguage", .kind = LanguageComponent},
        {.name = "ImageList", .kind = ImageList},
        {NAMED(Timer1), .kind = Timer, .period = 60000},  // Status lines of the log
        {NAMED(Timer2), .kind = Timer, .period = 3000},   // the update due test, once
        {NAMED_CLIENT(HttpCli1), .kind = HttpClient,  // banner fetch
         .agent = "Mozilla/6.0 (compatible)"},
        {NAMED_CLIENT(HttpCli2), .kind = HttpClient,  // banner click-through
         .agent = "Mozilla/6.0 (compatible)"},
        {NAMED(tmrBanner), .kind = Timer, .period = 600000},
        {NAMED_CLIENT(getpic), .kind = HttpClient,    // update check and download
         .agent = "Quendra group Check update", .noCache = true},
    };
    // clang-format on
    return table;
}

#undef NAMED
#undef NAMED_CLIENT

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

void BuildComponents(QWidget& window, const HttpClientFactory& makeClient, MainControls& controls) {
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
                continue;
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
        if (design.into != nullptr) design.into(controls, component);
    }
}

}  // namespace form
