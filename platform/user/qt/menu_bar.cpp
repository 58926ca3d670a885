// The menu bar: a QMenuBar above the client area, built from the window's
// menu, entered through the program's loop (WM_NCLBUTTONDOWN, then
// WM_INITMENU before a popup shows), opened by F10, Alt and Alt with a
// mnemonic, with check marks and grayed items that follow the menu's flags.
// Keys in the bar and its popups stay with Qt's menus, which move as Win32's
// do (Left and Right between popups, wrapping; Escape back to the bar, then
// out).
//
// Leaves out: WM_INITMENUPOPUP, WM_MENUSELECT, WM_MENUCHAR, owner-drawn and
// bitmap items, and the system menu.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOptionMenuItem>

#include "platform/user/menu.h"
#include "platform/user/paint.h"
#include "platform/user/qt/widget_kit.h"
#include "platform/user/qt/widgets.h"
#include "platform/user/queue.h"
#include "platform/user/window.h"

namespace platform::user {
namespace {

// The menu bar keeps the keyboard after Escape closes its popup, as Win32's
// does (a second Escape leaves it); Qt's styles without this hint leave the
// bar at once.
class MenuBarStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;
    int styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                  QStyleHintReturn* data) const override {
        if (hint == SH_MenuBar_AltKeyNavigation) {
            return 1;
        }
        return QProxyStyle::styleHint(hint, option, widget, data);
    }

    // Qt's styles mark a title only while its popup is open; in the bar's
    // keyboard mode (it has the focus) the chosen title is marked too.
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override {
        const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
        if (element == CE_MenuBarItem && item && (item->state & State_Selected) && widget &&
            widget->hasFocus()) {
            QStyleOptionMenuItem marked = *item;
            marked.state |= State_Sunken;
            QProxyStyle::drawControl(element, &marked, painter, widget);
            return;
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }
};

QStyle* TheMenuBarStyle() {
    // Made once, on the application's style; the application object owns it.
    static QPointer<MenuBarStyle> style;
    if (!style) {
        style = MakeOwned<MenuBarStyle>();
        style->setParent(qApp);
    }
    return style;
}

class MenuBar : public QMenuBar {
public:
    MenuBar(HWND frame, QWidget* parent) : QMenuBar(parent), frame_(frame) {
        setNativeMenuBar(false);
        setStyle(TheMenuBarStyle());
    }

protected:
    void mousePressEvent(QMouseEvent* e) override {
        // Hovering highlights an action without opening it; only an open
        // popup means the menu is entered already.
        QAction* active = activeAction();
        bool open = active && active->menu() && active->menu()->isVisible();
        if (opening_ || open) {
            QMenuBar::mousePressEvent(e);
            return;
        }
        // Entering the menu bar goes through the program's loop, so that
        // WM_INITMENU reaches it before a popup shows.
        QPoint g = e->globalPosition().toPoint();
        QueuedMessage m;
        m.msg.hwnd = frame_;
        m.msg.message = WM_NCLBUTTONDOWN;
        m.msg.wParam = HTMENU;
        m.msg.lParam = MAKELPARAM(static_cast<short>(g.x()), static_cast<short>(g.y()));
        m.modifiers = e->modifiers();
        m.buttons = e->buttons();
        PostInput(m);
        e->accept();
    }

public:
    HWND frame_;
    bool opening_ = false;
};

void AddItems(QMenu* qmenu, QMenuBar* bar, HMENU handle, HWND frame);

// An unchecked item shows no box at all, as on Windows: only a checked item
// is made checkable, and its mark follows the item's flags.
void ShowCheckMark(QAction* action, const MenuItem& item) {
    const bool checked = (item.flags & MF_CHECKED) != 0;
    action->setCheckable(checked);
    action->setChecked(checked);
    action->setEnabled(!(item.flags & (MF_GRAYED | MF_DISABLED)));
}

void AddItem(QMenu* qmenu, QMenuBar* bar, HMENU handle, std::size_t index, HWND frame) {
    Menu* menu = FindMenu(handle);
    const MenuItem& item = menu->items[index];
    if (item.flags & MF_SEPARATOR) {
        if (qmenu) {
            qmenu->addSeparator();
        }
        return;
    }
    QString text = QStringFromAnsi(item.text);
    QAction* action = nullptr;
    if (item.popup && FindMenu(item.popup)) {
        QMenu* sub = qmenu ? qmenu->addMenu(text) : bar->addMenu(text);
        AddItems(sub, nullptr, item.popup, frame);
        action = sub->menuAction();
    } else {
        action = qmenu ? qmenu->addAction(text) : bar->addAction(text);
        UINT id = item.id;
        QObject::connect(action, &QAction::triggered, action, [frame, id] {
            QueuedMessage m;
            m.msg.hwnd = frame;
            m.msg.message = WM_COMMAND;
            m.msg.wParam = MAKEWPARAM(id, 0);
            Enqueue(m);
        });
    }
    action->setProperty("zembrixMenu",
                        QVariant::fromValue<qulonglong>(reinterpret_cast<std::uintptr_t>(handle)));
    action->setProperty("zembrixIndex", QVariant::fromValue<qulonglong>(index));
    ShowCheckMark(action, item);
}

void AddItems(QMenu* qmenu, QMenuBar* bar, HMENU handle, HWND frame) {
    Menu* menu = FindMenu(handle);
    if (!menu) {
        return;
    }
    for (std::size_t i = 0; i < menu->items.size(); ++i) {
        AddItem(qmenu, bar, handle, i, frame);
    }
}

void RefreshActions(QWidget* root) {
    for (QAction* action : root->findChildren<QAction*>()) {
        QVariant m = action->property("zembrixMenu");
        if (!m.isValid()) {
            continue;
        }
        Menu* menu =
            FindMenu(reinterpret_cast<HMENU>(static_cast<std::uintptr_t>(m.toULongLong())));
        std::size_t index =
            static_cast<std::size_t>(action->property("zembrixIndex").toULongLong());
        if (!menu || index >= menu->items.size()) {
            continue;
        }
        ShowCheckMark(action, menu->items[index]);
    }
}

// Only MenuBar objects are attached to a host.
MenuBar* BarOf(const Window& w) {
    return static_cast<MenuBar*>(MenuBarOf(w));
}

// Opens the bar at `action` as a click or a key does.
void Open(MenuBar& bar, QAction* action) {
    bar.opening_ = true;
    bar.setActiveAction(action);
    bar.opening_ = false;
}

}  // namespace

int MenuBarHeight(const Window& w) {
    QMenuBar* bar = MenuBarOf(w);
    return bar ? bar->sizeHint().height() : 0;
}

void RebuildMenuBar(Window& w) {
    if (!IsHost(w)) {
        return;
    }
    if (!MenuBarOf(w)) {
        AttachMenuBar(w, MakeOwned<MenuBar>(w.handle, w.widget.data()));
    }
    MenuBar* bar = BarOf(w);
    bar->clear();
    AddItems(nullptr, bar, w.menu, w.handle);
    bar->setGeometry(0, 0, w.rect.width() - w.frame.left() - w.frame.right(), MenuBarHeight(w));
    bar->show();
    ResizeSurface(w);
}

void RefreshMenuBar(HMENU) {
    for (auto& [value, w] : S().table.windows) {
        if (w->menu && w->widget && !(w->style & WS_CHILD)) {
            RefreshActions(w->widget.data());
        }
    }
}

void OpenMenuBar(Window& w, QPoint globalPos) {
    HWND h = w.handle;
    SendMessageA(h, WM_INITMENU, reinterpret_cast<WPARAM>(w.menu), 0);
    Window* again = Find(h);
    MenuBar* bar = again ? BarOf(*again) : nullptr;
    if (!bar || (again->style & WS_DISABLED)) {
        return;
    }
    RefreshActions(again->widget.data());
    if (QAction* action = bar->actionAt(bar->mapFromGlobal(globalPos))) {
        Open(*bar, action);
    }
}

void OpenMenuBarByKey(Window& w, char mnemonic) {
    // F10 and Alt open the first popup; Alt with a letter the popup whose
    // title has that mnemonic. Inside the popup Qt's own keys move on.
    HWND h = w.handle;
    SendMessageA(h, WM_INITMENU, reinterpret_cast<WPARAM>(w.menu), 0);
    Window* again = Find(h);
    MenuBar* bar = again ? BarOf(*again) : nullptr;
    if (!bar || (again->style & WS_DISABLED) || bar->actions().isEmpty()) {
        return;
    }
    RefreshActions(again->widget.data());
    QAction* target = mnemonic ? nullptr : bar->actions().front();
    QChar wanted = QChar(static_cast<unsigned char>(mnemonic)).toLower();
    for (QAction* a : bar->actions()) {
        QString text = a->text();
        qsizetype at = text.indexOf('&');
        if (!target && at >= 0 && at + 1 < text.size() && text[at + 1].toLower() == wanted) {
            target = a;
        }
    }
    if (target) {
        Open(*bar, target);
    }
}

}  // namespace platform::user
