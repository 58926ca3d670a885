// The Qt side of the window layer: the widgets that show windows (a host for
// windows that paint themselves, QLineEdit, QPushButton, QLabel and
// QProgressBar for the controls, QMenuBar for the menu bar) and the filter
// that turns Qt input into queued messages. Nothing here calls a window
// procedure: what Qt reports is queued for the next GetMessageA. Keys in the
// menu bar and its popups stay with Qt's menus, which move as Win32's do
// (Left and Right between popups, wrapping; Escape back to the bar, then out).
//
// Leaves out: the caption double-click (the window manager keeps it),
// WM_NCHITTEST, cursors other than the arrow and the cross-hair.
#include <QApplication>
#include <QCloseEvent>
#include <QFontMetrics>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>
#include <QPainter>
#include <QPointer>
#include <QProgressBar>
#include <QProxyStyle>
#include <QPushButton>
#include <QStyleOptionMenuItem>
#include <QWindow>
#include <algorithm>

#include "platform/user/internal.h"

namespace platform::user {
namespace {

const char* const kHandleProperty = "zembrixHwnd";

// Widgets belong to their Qt parent, top-level ones to the window model,
// which deletes them in DestroyWindow; this hands the new object over.
template <class T, class... Args>
T* MakeOwned(Args&&... args) {
    return std::make_unique<T>(std::forward<Args>(args)...).release();
}
const char* const kOursProperty = "zembrixWindow";

void Mark(QWidget* widget, HWND h) {
    widget->setProperty(kHandleProperty,
                        QVariant::fromValue<qulonglong>(reinterpret_cast<std::uintptr_t>(h)));
}

// The stand-in dialog font is wider than the classic font the templates were
// laid out for, its digits most of all: "100.0%" takes 37 pixels at 11 pixels
// against the 30 of its box. A one-line text that would overflow its control
// is drawn condensed, by as little as makes it fit (stretch 75..99 %); one
// that does not fit even at 75 % keeps the plain font (a wrapping static then
// wraps). `room` is the width the control gives its text, in pixels.
void FitText(QWidget& widget, const QString& text, int room) {
    const QFont base = widget.parentWidget() ? widget.parentWidget()->font() : widget.font();
    QFont fitted = base;
    const int width = QFontMetrics(base).horizontalAdvance(text);
    if (width > room && room > 0 && !text.contains(QLatin1Char('\n'))) {
        for (int stretch = std::min(99, 100 * room / width + 1); stretch >= 75; --stretch) {
            QFont condensed = base;
            condensed.setStretch(stretch);
            if (QFontMetrics(condensed).horizontalAdvance(text) <= room) {
                fitted = condensed;
                break;
            }
        }
    }
    if (widget.font() != fitted || widget.font().stretch() != fitted.stretch()) {
        widget.setFont(fitted);
    }
}

// A surface holds Win32's pixels, 0x00RRGGBB, whose fourth byte Qt takes for
// alpha where the window's buffer has one (Wayland's ARGB buffers): copied as
// they are, the compositor would blend the picture with what lies behind the
// window. Black put under what was drawn makes each pixel opaque and leaves
// its colour exact; on a buffer without alpha (X11) it changes nothing.
void DrawSurface(QPainter& p, const QRect& target, const QImage& surface, const QRect& source) {
    p.drawImage(target, surface, source);
    const QPainter::CompositionMode mode = p.compositionMode();
    p.setCompositionMode(QPainter::CompositionMode_DestinationOver);
    p.fillRect(target, Qt::black);
    p.setCompositionMode(mode);
}

// The width a push button gives its text: its rectangle less the 3D edge and
// the focus rectangle inside it, 3 pixels a side as on Windows.
constexpr int kButtonTextInset = 3;

WPARAM MouseKeys(Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers) {
    WPARAM keys = 0;
    if (buttons & Qt::LeftButton) {
        keys |= MK_LBUTTON;
    }
    if (buttons & Qt::RightButton) {
        keys |= MK_RBUTTON;
    }
    if (buttons & Qt::MiddleButton) {
        keys |= MK_MBUTTON;
    }
    if (modifiers & Qt::ShiftModifier) {
        keys |= MK_SHIFT;
    }
    if (modifiers & Qt::ControlModifier) {
        keys |= MK_CONTROL;
    }
    return keys;
}

ShowState StateOf(Qt::WindowStates states) {
    if (states & Qt::WindowMinimized) {
        return ShowState::Minimized;
    }
    if (states & Qt::WindowMaximized) {
        return ShowState::Maximized;
    }
    return ShowState::Normal;
}

bool SizePending(HWND h) {
    for (const QueuedMessage& e : S().queue) {
        if (e.msg.hwnd == h && e.msg.message == WM_SIZE && e.applyGeometry) {
            return true;
        }
    }
    return false;
}

void EnqueueSize(HWND h, bool widgetGeometry, const QRect& geometry) {
    QueuedMessage e;
    e.msg.hwnd = h;
    e.msg.message = WM_SIZE;
    e.applyGeometry = true;
    e.useWidgetGeometry = widgetGeometry;
    e.geometry = geometry;
    Enqueue(e);
}

void EnqueueSysCommand(HWND h, WPARAM command, bool applyState, ShowState state) {
    QueuedMessage e;
    e.msg.hwnd = h;
    e.msg.message = WM_SYSCOMMAND;
    e.msg.wParam = command;
    e.applyState = applyState;
    e.state = state;
    Enqueue(e);
}

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

class HostWidget : public QWidget {
public:
    HostWidget(HWND h, QWidget* parent) : QWidget(parent), handle_(h) {
        Mark(this, h);
        setMouseTracking(true);
        setAttribute(Qt::WA_OpaquePaintEvent);
    }

    MenuBar* menuBar = nullptr;

protected:
    void paintEvent(QPaintEvent* e) override {
        Window* w = Find(handle_);
        if (!w) {
            return;
        }
        QPainter p(this);
        QRect client = ClientRectInWindow(*w);
        QRect all = rect();
        int inset = client.left();
        QColor face = ToQColor(SystemColour(COLOR_BTNFACE));
        if (inset > 0) {
            // Simple flat borders: one dark line for WS_BORDER, a sunken
            // edge for the client and static edges.
            p.fillRect(all, face);
            QRect r = all.adjusted(0, client.top() - inset, 0, 0);
            if (w->style & WS_BORDER) {
                p.setPen(ToQColor(SystemColour(COLOR_WINDOWFRAME)));
                p.drawRect(r.adjusted(0, 0, -1, -1));
                r.adjust(1, 1, -1, -1);
            }
            if (w->exStyle & WS_EX_CLIENTEDGE) {
                p.setPen(ToQColor(SystemColour(COLOR_BTNSHADOW)));
                p.drawLine(r.topLeft(), r.topRight());
                p.drawLine(r.topLeft(), r.bottomLeft());
                p.setPen(ToQColor(SystemColour(COLOR_BTNHIGHLIGHT)));
                p.drawLine(r.bottomLeft(), r.bottomRight());
                p.drawLine(r.topRight(), r.bottomRight());
                r.adjust(1, 1, -1, -1);
                p.setPen(ToQColor(SystemColour(COLOR_3DDKSHADOW)));
                p.drawLine(r.topLeft(), r.topRight());
                p.drawLine(r.topLeft(), r.bottomLeft());
                p.setPen(ToQColor(SystemColour(COLOR_3DLIGHT)));
                p.drawLine(r.bottomLeft(), r.bottomRight());
                p.drawLine(r.topRight(), r.bottomRight());
                r.adjust(1, 1, -1, -1);
            }
            if (w->exStyle & WS_EX_STATICEDGE) {
                p.setPen(ToQColor(SystemColour(COLOR_BTNSHADOW)));
                p.drawLine(r.topLeft(), r.topRight());
                p.drawLine(r.topLeft(), r.bottomLeft());
                p.setPen(ToQColor(SystemColour(COLOR_BTNHIGHLIGHT)));
                p.drawLine(r.bottomLeft(), r.bottomRight());
                p.drawLine(r.topRight(), r.bottomRight());
            }
        }
        if (!w->surface.isNull()) {
            QRect target = e->rect() & client;
            DrawSurface(p, target, w->surface, target.translated(-client.topLeft()));
        } else {
            p.fillRect(e->rect() & client, face);
        }
    }

    void mousePressEvent(QMouseEvent* e) override { Post(e, Down(e->button())); }
    void mouseReleaseEvent(QMouseEvent* e) override { Post(e, Down(e->button()) + 1); }
    void mouseDoubleClickEvent(QMouseEvent* e) override {
        Window* w = Find(handle_);
        bool doubleClicks = w && w->windowClass && (w->windowClass->style & CS_DBLCLKS);
        Post(e, Down(e->button()) + (doubleClicks ? 2 : 0));
    }
    void mouseMoveEvent(QMouseEvent* e) override { Post(e, WM_MOUSEMOVE); }

    void resizeEvent(QResizeEvent* e) override {
        QWidget::resizeEvent(e);
        if (menuBar) {
            menuBar->setGeometry(0, 0, width(), menuBar->sizeHint().height());
        }
        Window* w = Find(handle_);
        if (!w || (w->style & WS_CHILD) || !e->spontaneous() || w->waitingForShow) {
            return;
        }
        SyncState();
        if ((w = Find(handle_)) == nullptr || WindowGeometryOf(*this).size() == w->rect.size()) {
            return;
        }
        if (w->stateSizePending) {
            SendPendingStateSize();
            return;
        }
        if (w->reportedState != ShowState::Normal || w->showState != w->reportedState) {
            if (!SizePending(handle_)) {
                EnqueueSize(handle_, true, QRect());
            }
            return;
        }
        // A finished resize from the window manager: one step of a border
        // drag. Windows announces the drag, then each size.
        if (!w->inSizeBurst) {
            w->inSizeBurst = true;
            QueuedMessage enter;
            enter.msg.hwnd = handle_;
            enter.msg.message = WM_ENTERSIZEMOVE;
            Enqueue(enter);
            QueuedMessage sizing;
            sizing.msg.hwnd = handle_;
            sizing.msg.message = WM_SIZING;
            sizing.msg.wParam = WMSZ_BOTTOMRIGHT;
            sizing.hasSizing = true;
            QRect g = WindowGeometryOf(*this);
            sizing.sizing = RECT{g.left(), g.top(), g.left() + g.width(), g.top() + g.height()};
            Enqueue(sizing);
        }
        EnqueueSize(handle_, false, WindowGeometryOf(*this));
        ExtendSizeBurst(*w);
    }

    void moveEvent(QMoveEvent* e) override {
        QWidget::moveEvent(e);
        Window* w = Find(handle_);
        if (w && !(w->style & WS_CHILD) && e->spontaneous()) {
            // The outer edge, as move() takes it.
            w->rect.moveTopLeft(WindowGeometryOf(*this).topLeft());
        }
    }

    void changeEvent(QEvent* e) override {
        QWidget::changeEvent(e);
        if (e->type() == QEvent::WindowStateChange) {
            SyncState();
        } else if (e->type() == QEvent::ActivationChange && isActiveWindow()) {
            S().active = handle_;
        }
    }

    void closeEvent(QCloseEvent* e) override {
        e->ignore();
        if (Find(handle_)) {
            EndSizeBurst();
            EnqueueSysCommand(handle_, SC_CLOSE, false, ShowState::Normal);
        }
    }

private:
    static UINT Down(Qt::MouseButton b) {
        switch (b) {
            case Qt::RightButton:
                return WM_RBUTTONDOWN;
            case Qt::MiddleButton:
                return WM_MBUTTONDOWN;
            default:
                return WM_LBUTTONDOWN;
        }
    }

    void SyncState() {
        Window* w = Find(handle_);
        if (!w || (w->style & WS_CHILD)) {
            return;
        }
        // The window's own state is current before the widget hears of it,
        // so a resize that belongs to a maximise is seen as one.
        ShowState now = StateOf(windowHandle() ? windowHandle()->windowStates() : windowState());
        ShowState before = w->reportedState;
        if (now == before) {
            return;
        }
        w->reportedState = now;
        if (now == w->showState) {
            return;  // the program asked for it through ShowWindow
        }
        EndSizeBurst();
        WPARAM command = now == ShowState::Minimized   ? SC_MINIMIZE
                         : now == ShowState::Maximized ? SC_MAXIMIZE
                                                       : SC_RESTORE;
        EnqueueSysCommand(handle_, command, true, now);
        if (now == ShowState::Minimized) {
            EnqueueSize(handle_, true, QRect());
            ShowOwnedWithOwner(handle_, false);
        } else {
            if (before == ShowState::Minimized) {
                ShowOwnedWithOwner(handle_, true);
            }
            if (before == ShowState::Minimized || WindowGeometryOf(*this).size() != w->rect.size()) {
                EnqueueSize(handle_, true, QRect());
            } else {
                // The new state came before its new size: a WM_SIZE now would
                // carry the old size, and the resize after it would look like
                // a plain one, which computes nothing.
                w->stateSizePending = true;
                QTimer::singleShot(kStateSizeWaitMs, this, [this] { SendPendingStateSize(); });
            }
        }
    }

    static constexpr int kStateSizeWaitMs = 500;

    void SendPendingStateSize() {
        Window* w = Find(handle_);
        if (w && w->stateSizePending) {
            w->stateSizePending = false;
            EnqueueSize(handle_, true, QRect());
        }
    }

    void Post(QMouseEvent* e, UINT message) {
        State& s = S();
        Window* w = Find(handle_);
        if (!w) {
            return;
        }
        bool captured = Find(s.capture) != nullptr;
        HWND target = captured ? s.capture : handle_;
        Window* t = Find(target);
        if (!t || !t->widget) {
            return;
        }
        QPoint local = t->widget->mapFromGlobal(e->globalPosition().toPoint()) -
                       ClientRectInWindow(*t).topLeft();
        if (!captured &&
            !ClientRectInWindow(*t).contains(local + ClientRectInWindow(*t).topLeft())) {
            return;  // the non-client area: borders take no input here
        }
        QueuedMessage m;
        m.msg.hwnd = target;
        m.msg.message = message;
        m.msg.wParam = MouseKeys(e->buttons(), e->modifiers());
        m.msg.lParam = MAKELPARAM(static_cast<short>(std::clamp(local.x(), -32768, 32767)),
                                  static_cast<short>(std::clamp(local.y(), -32768, 32767)));
        m.modifiers = e->modifiers();
        m.buttons = e->buttons();
        m.hasPosition = true;
        m.position = e->globalPosition().toPoint();
        PostInput(m);
    }

    HWND handle_;
};

class EditWidget : public QLineEdit {
public:
    EditWidget(HWND h, QWidget* parent) : QLineEdit(parent) {
        Mark(this, h);
        setFocusPolicy(Qt::StrongFocus);
        setContextMenuPolicy(Qt::NoContextMenu);
    }
};

class ButtonWidget : public QPushButton {
public:
    ButtonWidget(HWND h, QWidget* parent) : QPushButton(parent), handle_(h) {
        Mark(this, h);
        setAutoDefault(false);
        setFocusPolicy(Qt::StrongFocus);
        QObject::connect(this, &QPushButton::clicked, this, [this] { Notify(); });
    }

    void Refit() { FitText(*this, text(), width() - 2 * kButtonTextInset); }

protected:
    void resizeEvent(QResizeEvent* e) override {
        QPushButton::resizeEvent(e);
        Refit();
    }

    // An owner-drawn button draws its focus mark itself: a focus change Qt
    // makes on its own (a click) asks the program for a new picture too.
    void focusInEvent(QFocusEvent* e) override {
        QPushButton::focusInEvent(e);
        InvalidateOwnerDrawn();
    }
    void focusOutEvent(QFocusEvent* e) override {
        QPushButton::focusOutEvent(e);
        InvalidateOwnerDrawn();
    }

    void paintEvent(QPaintEvent* e) override {
        Window* w = Find(handle_);
        if (!w || (w->style & BS_TYPEMASK) != BS_OWNERDRAW) {
            QPushButton::paintEvent(e);
            return;
        }
        // Owner-drawn: only what the program drew, no look of our own.
        QPainter p(this);
        if (!w->surface.isNull()) {
            DrawSurface(p, e->rect(), w->surface, e->rect());
        }
    }

private:
    void InvalidateOwnerDrawn() {
        Window* w = Find(handle_);
        if (w && (w->style & BS_TYPEMASK) == BS_OWNERDRAW) {
            InvalidateRect(handle_, nullptr, FALSE);
        }
    }

    void Notify() {
        Window* w = Find(handle_);
        if (!w) {
            return;
        }
        QueuedMessage m;
        m.msg.hwnd = w->parent;
        m.msg.message = WM_COMMAND;
        m.msg.wParam = MAKEWPARAM(w->id, BN_CLICKED);
        m.msg.lParam = reinterpret_cast<LPARAM>(handle_);
        Enqueue(m);
    }

    HWND handle_;
};

class StaticWidget : public QLabel {
public:
    StaticWidget(HWND h, QWidget* parent) : QLabel(parent) {
        Mark(this, h);
        setTextFormat(Qt::PlainText);
    }

    void Refit() {
        if (pixmap().isNull()) {
            FitText(*this, text(), contentsRect().width());
        }
    }

protected:
    void resizeEvent(QResizeEvent* e) override {
        QLabel::resizeEvent(e);
        Refit();
    }
};

class ProgressWidget : public QProgressBar {
public:
    ProgressWidget(HWND h, QWidget* parent) : QProgressBar(parent) {
        Mark(this, h);
        setTextVisible(false);
        setRange(0, 100);
        setValue(0);
    }
};

class InputFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* object, QEvent* e) override {
        State& s = S();
        switch (e->type()) {
            case QEvent::ShortcutOverride:
                if (!s.replaying && Ours(object)) {
                    e->accept();  // no Qt shortcut takes a key meant for our loop
                    return true;
                }
                return false;
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
                // The menu bar's own keys (an open popup hands it Left and
                // Right; in its keyboard mode it takes them all) stay with it.
                if (s.replaying || !Ours(object) || qobject_cast<QMenuBar*>(object)) {
                    return false;
                }
                return Key(static_cast<QWidget*>(object), static_cast<QKeyEvent*>(e));
            case QEvent::InputMethod:
                if (s.replaying || !Ours(object)) {
                    return false;
                }
                Compose(static_cast<QWidget*>(object), static_cast<QInputMethodEvent*>(e));
                return true;
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
                if (Ours(object)) {
                    EndSizeBurst();
                }
                return false;
            default:
                return false;
        }
    }

private:
    static bool Ours(QObject* object) {
        auto* widget = qobject_cast<QWidget*>(object);
        return widget && IsOurWidget(widget);
    }

    static bool Key(QWidget* widget, QKeyEvent* k) {
        bool press = k->type() == QEvent::KeyPress;
        if (!press && k->isAutoRepeat()) {
            return true;  // X11 reports each repeat as a release and a press
        }
        HWND target = HandleOfWidget(widget);
        if (!target) {
            return false;
        }
        KeyRecord key;
        key.qtKey = k->key();
        key.modifiers = k->modifiers();
        key.text = press ? k->text() : QString();
        key.nativeScanCode = k->nativeScanCode();
        key.nativeVirtualKey = k->nativeVirtualKey();
        key.nativeModifiers = k->nativeModifiers();
        key.autoRepeat = k->isAutoRepeat();
        int vk = VirtualKeyFromQt(key);
        bool alt = k->modifiers().testFlag(Qt::AltModifier);
        if (vk == VK_MENU) {
            alt = press;
        }
        // Alt's own release is a system key too, as on Windows, so that
        // Alt tapped alone reaches the menu bar.
        bool system = alt || vk == VK_F10 || vk == VK_MENU;
        QueuedMessage m;
        m.msg.hwnd = target;
        m.msg.message =
            press ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
        m.msg.wParam = static_cast<WPARAM>(vk);
        DWORD scan = (k->nativeScanCode() > 8 ? k->nativeScanCode() - 8 : 0) & 0xFF;
        DWORD lp = 1 | (scan << 16);
        if (alt) {
            lp |= 1u << 29;
        }
        if (!press || k->isAutoRepeat()) {
            lp |= 1u << 30;  // the key was down before
        }
        if (!press) {
            lp |= 1u << 31;
        }
        m.msg.lParam = static_cast<LPARAM>(lp);
        m.modifiers = k->modifiers();
        m.hasKey = true;
        m.key = key;
        PostInput(m);
        return true;
    }

    static void Compose(QWidget* widget, QInputMethodEvent* e) {
        HWND target = HandleOfWidget(widget);
        std::string text = AnsiFromQString(e->commitString());
        for (char c : text) {
            QueuedMessage m;
            m.msg.hwnd = target;
            m.msg.message = WM_CHAR;
            m.msg.wParam = static_cast<unsigned char>(c);
            m.msg.lParam = 1;
            PostInput(m);
        }
    }
};

Qt::Alignment StaticAlignment(const Window& w) {
    DWORD type = w.style & SS_TYPEMASK;
    Qt::Alignment a = Qt::AlignTop;
    if (type == SS_CENTER) {
        a |= Qt::AlignHCenter;
    } else if (type == SS_RIGHT || (w.exStyle & WS_EX_RIGHT)) {
        a |= Qt::AlignRight;
    } else {
        a |= Qt::AlignLeft;
    }
    if (w.style & SS_CENTERIMAGE) {
        a = (a & ~Qt::AlignTop) | Qt::AlignVCenter;
    }
    return a;
}

QString WithoutPrefix(const std::string& text, bool noPrefix) {
    QString q = QStringFromAnsi(text);
    if (noPrefix) {
        return q;
    }
    QString out;
    for (qsizetype i = 0; i < q.size(); ++i) {
        if (q[i] == '&' && i + 1 < q.size()) {
            ++i;
        }
        out += q[i];
    }
    return out;
}

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

}  // namespace

bool IsOurWidget(QWidget* widget) {
    return widget && widget->window() && widget->window()->property(kOursProperty).toBool();
}

QRect WindowGeometryOf(const QWidget& widget) {
    if (!widget.isWindow()) {
        return widget.geometry();
    }
    Window* w = Find(HandleOfWidget(const_cast<QWidget*>(&widget)));
    return w && w->frameKnown ? widget.geometry().marginsAdded(w->frame)
                              : QRect(widget.frameGeometry().topLeft(), widget.size());
}

HWND HandleOfWidget(QWidget* widget) {
    for (QWidget* w = widget; w; w = w->parentWidget()) {
        QVariant v = w->property(kHandleProperty);
        if (v.isValid()) {
            HWND h = reinterpret_cast<HWND>(static_cast<std::uintptr_t>(v.toULongLong()));
            return Find(h) ? h : nullptr;
        }
        if (w->isWindow()) {
            break;
        }
    }
    return nullptr;
}

void InstallInputFilter() {
    static InputFilter* filter = nullptr;
    if (!filter) {
        // Owned by the application object, which is never destroyed.
        filter = MakeOwned<InputFilter>(qApp);
        qApp->installEventFilter(filter);
        QObject::connect(qApp, &QGuiApplication::applicationStateChanged, filter,
                         [](Qt::ApplicationState state) {
                             State& s = S();
                             if (state != Qt::ApplicationActive && Find(s.capture)) {
                                 // The pointer went to another application.
                                 QueuedMessage m;
                                 m.msg.hwnd = s.capture;
                                 m.msg.message = WM_CAPTURECHANGED;
                                 s.capture = nullptr;
                                 Enqueue(m);
                             }
                         });
    }
}

QWidget* CreateWidgetFor(Window& w, QWidget* qtParent) {
    QWidget* widget = nullptr;
    bool top = !(w.style & WS_CHILD);
    QWidget* parent = top ? nullptr : qtParent;
    switch (w.windowClass->kind) {
        case ClassKind::Edit:
            widget = MakeOwned<EditWidget>(w.handle, parent);
            break;
        case ClassKind::Button:
            widget = MakeOwned<ButtonWidget>(w.handle, parent);
            break;
        case ClassKind::Static:
            widget = MakeOwned<StaticWidget>(w.handle, parent);
            break;
        case ClassKind::Progress:
            widget = MakeOwned<ProgressWidget>(w.handle, parent);
            break;
        default:
            widget = MakeOwned<HostWidget>(w.handle, parent);
            break;
    }
    if (top) {
        widget->setWindowFlags(TopLevelFlags(w.style, w.exStyle, w.owner != nullptr));
        widget->setProperty(kOursProperty, true);
        widget->setFocusPolicy(Qt::StrongFocus);
        if (Window* owner = Find(w.owner); owner && owner->widget) {
            widget->winId();
            owner->widget->winId();
            if (widget->windowHandle() && owner->widget->windowHandle()) {
                widget->windowHandle()->setTransientParent(owner->widget->windowHandle());
            }
        }
        if (Desktop() || Wayland()) {
            widget->winId();
            PrepareTopLevel(w, *widget);
        }
    } else if (w.windowClass->kind == ClassKind::Custom ||
               w.windowClass->kind == ClassKind::Dialog) {
        widget->setFocusPolicy(Qt::NoFocus);
    }
    if (w.windowClass->kind == ClassKind::Custom) {
        auto cursor = reinterpret_cast<ULONG_PTR>(w.windowClass->cursor);
        if (cursor == 0x7F000000u + 32515) {
            widget->setCursor(Qt::CrossCursor);
        }
    }
    if (w.style & WS_DISABLED) {
        widget->setEnabled(false);
    }
    if ((w.style & WS_CHILD) && qtParent) {
        widget->hide();
    }
    return widget;
}

void UpdateWidgetFromModel(Window& w) {
    if (!w.widget || !w.windowClass) {
        return;
    }
    switch (w.windowClass->kind) {
        case ClassKind::Edit:
            if (auto* e = dynamic_cast<QLineEdit*>(w.widget.data())) {
                e->setFrame((w.style & WS_BORDER) || (w.exStyle & WS_EX_CLIENTEDGE));
                e->setReadOnly(w.style & ES_READONLY);
                DWORD align = w.style & (ES_CENTER | ES_RIGHT);
                e->setAlignment(align == ES_CENTER  ? Qt::AlignHCenter | Qt::AlignVCenter
                                : align == ES_RIGHT ? Qt::AlignRight | Qt::AlignVCenter
                                                    : Qt::AlignLeft | Qt::AlignVCenter);
                e->setEchoMode((w.style & ES_PASSWORD) ? QLineEdit::Password : QLineEdit::Normal);
            }
            break;
        case ClassKind::Static:
            if (auto* l = dynamic_cast<QLabel*>(w.widget.data())) {
                DWORD type = w.style & SS_TYPEMASK;
                l->setAlignment(StaticAlignment(w));
                l->setWordWrap(type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT);
            }
            break;
        default:
            break;
    }
}

void RepaintControl(Window& w) {
    if (!w.widget) {
        return;
    }
    // Shown at once, even while a computation holds the thread: a repaint
    // needs no event processing once the window has been exposed.
    if (w.widget->isVisible()) {
        w.widget->repaint();
    } else {
        w.widget->update();
    }
}

std::string ControlText(const Window& w) {
    if (w.windowClass && w.windowClass->kind == ClassKind::Edit) {
        if (auto* e = dynamic_cast<QLineEdit*>(w.widget.data())) {
            return AnsiFromQString(e->text());
        }
    }
    return w.text;
}

void SetControlText(Window& w, const std::string& text) {
    w.text = text;
    if (!w.widget || !w.windowClass) {
        return;
    }
    switch (w.windowClass->kind) {
        case ClassKind::Edit:
            if (auto* e = dynamic_cast<QLineEdit*>(w.widget.data())) {
                e->setText(QStringFromAnsi(text));
            }
            break;
        case ClassKind::Button:
            if (auto* b = dynamic_cast<QPushButton*>(w.widget.data())) {
                // Qt reads '&' as a mnemonic too; "&&" stays a literal ampersand.
                b->setText(QStringFromAnsi(text));
            }
            if (auto* b = dynamic_cast<ButtonWidget*>(w.widget.data())) {
                b->Refit();
            }
            break;
        case ClassKind::Static:
            if (auto* l = dynamic_cast<QLabel*>(w.widget.data())) {
                if ((w.style & SS_TYPEMASK) != SS_BITMAP) {
                    l->setText(WithoutPrefix(text, (w.style & SS_NOPREFIX) != 0));
                }
            }
            if (auto* l = dynamic_cast<StaticWidget*>(w.widget.data())) {
                l->Refit();
            }
            break;
        default:
            break;
    }
    RepaintControl(w);
}

void ReplayKey(Window& w, const KeyRecord& key, bool press) {
    if (!w.widget) {
        return;
    }
    State& s = S();
    bool saved = s.replaying;
    s.replaying = true;
    QKeyEvent event(press ? QEvent::KeyPress : QEvent::KeyRelease, key.qtKey, key.modifiers,
                    key.nativeScanCode, key.nativeVirtualKey, key.nativeModifiers, QString(),
                    key.autoRepeat);
    QCoreApplication::sendEvent(w.widget.data(), &event);
    s.replaying = saved;
}

void InsertCharacter(Window& w, char c) {
    auto* e = dynamic_cast<QLineEdit*>(w.widget.data());
    if (!e || e->isReadOnly() || static_cast<unsigned char>(c) < 0x20) {
        return;
    }
    e->insert(QString(QChar(static_cast<unsigned char>(c))));
}

int MenuBarHeight(const Window& w) {
    auto* host = dynamic_cast<HostWidget*>(w.widget.data());
    if (!host || !host->menuBar) {
        return 0;
    }
    return host->menuBar->sizeHint().height();
}

void RebuildMenuBar(Window& w) {
    auto* host = dynamic_cast<HostWidget*>(w.widget.data());
    if (!host) {
        return;
    }
    if (!host->menuBar) {
        host->menuBar = MakeOwned<MenuBar>(w.handle, host);
    }
    host->menuBar->clear();
    AddItems(nullptr, host->menuBar, w.menu, w.handle);
    host->menuBar->setGeometry(0, 0, w.rect.width() - w.frame.left() - w.frame.right(), MenuBarHeight(w));
    host->menuBar->show();
    ResizeSurface(w);
}

void RefreshMenuBar(HMENU) {
    for (auto& [value, w] : S().windows) {
        if (w->menu && w->widget && !(w->style & WS_CHILD)) {
            RefreshActions(w->widget.data());
        }
    }
}

void OpenMenuBar(Window& w, QPoint globalPos) {
    HWND h = w.handle;
    SendMessageA(h, WM_INITMENU, reinterpret_cast<WPARAM>(w.menu), 0);
    Window* again = Find(h);
    auto* host = again ? dynamic_cast<HostWidget*>(again->widget.data()) : nullptr;
    if (!host || !host->menuBar || (again->style & WS_DISABLED)) {
        return;
    }
    RefreshActions(host);
    QAction* action = host->menuBar->actionAt(host->menuBar->mapFromGlobal(globalPos));
    if (action) {
        host->menuBar->opening_ = true;
        host->menuBar->setActiveAction(action);
        host->menuBar->opening_ = false;
    }
}

void OpenMenuBarByKey(Window& w, char mnemonic) {
    // F10 and Alt open the first popup; Alt with a letter the popup whose
    // title has that mnemonic. Inside the popup Qt's own keys move on.
    HWND h = w.handle;
    SendMessageA(h, WM_INITMENU, reinterpret_cast<WPARAM>(w.menu), 0);
    Window* again = Find(h);
    auto* host = again ? dynamic_cast<HostWidget*>(again->widget.data()) : nullptr;
    if (!host || !host->menuBar || (again->style & WS_DISABLED) ||
        host->menuBar->actions().isEmpty()) {
        return;
    }
    RefreshActions(host);
    QAction* target = mnemonic ? nullptr : host->menuBar->actions().front();
    QChar wanted = QChar(static_cast<unsigned char>(mnemonic)).toLower();
    for (QAction* a : host->menuBar->actions()) {
        QString text = a->text();
        qsizetype at = text.indexOf('&');
        if (!target && at >= 0 && at + 1 < text.size() && text[at + 1].toLower() == wanted) {
            target = a;
        }
    }
    if (target) {
        host->menuBar->opening_ = true;
        host->menuBar->setActiveAction(target);
        host->menuBar->opening_ = false;
    }
}

}  // namespace platform::user
