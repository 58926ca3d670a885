// The widgets of the system controls (QLineEdit for EDIT, QPushButton for
// BUTTON, QLabel for STATIC, QProgressBar for msctls_progress32), the widget
// made for each new window, and the model's state shown on them: styles,
// text, and the repaint that shows a change at once.
//
// Leaves out: the looks of WM_CTLCOLOR* colours, multi-line edits, check
// boxes, radio buttons and group boxes.
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPaintEvent>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QWindow>
#include <algorithm>

#include "platform/user/display/display.h"
#include "platform/user/input.h"
#include "platform/user/qt/widget_kit.h"
#include "platform/user/qt/widgets.h"
#include "platform/user/queue.h"
#include "platform/user/window.h"

namespace platform::user {
namespace {

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

// The width a push button gives its text: its rectangle less the 3D edge and
// the focus rectangle inside it, 3 pixels a side as on Windows.
constexpr int kButtonTextInset = 3;

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

}  // namespace

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
            widget = MakeHostWidget(w.handle, parent);
            break;
    }
    if (top) {
        widget->setWindowFlags(TopLevelFlags(w.style, w.exStyle, w.owner != nullptr));
        MarkOurs(widget);
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
        if (w.windowClass->cursor == SystemCursor(reinterpret_cast<ULONG_PTR>(IDC_CROSS))) {
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

void InsertCharacter(Window& w, char c) {
    auto* e = dynamic_cast<QLineEdit*>(w.widget.data());
    if (!e || e->isReadOnly() || static_cast<unsigned char>(c) < 0x20) {
        return;
    }
    e->insert(QString(QChar(static_cast<unsigned char>(c))));
}

}  // namespace platform::user
