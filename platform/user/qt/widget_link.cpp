// The tie between a Qt widget and its window: the handle a widget carries,
// the mark of a top-level window that is one of ours (the key filter takes
// keys only for those), the window rectangle a widget stands for, and the
// drawing of a backing surface onto a widget.
//
// Leaves out: widgets of Qt's own boxes, which carry no handle.
#include <QPainter>
#include <QVariant>
#include <QWidget>

#include "platform/internal/window_bridge.h"
#include "platform/user/qt/widget_kit.h"
#include "platform/user/qt/widgets.h"

namespace platform::user {
namespace {

const char* const kHandleProperty = "zembrixHwnd";
const char* const kOursProperty = "zembrixWindow";

}  // namespace

void Mark(QWidget* widget, HWND h) {
    widget->setProperty(kHandleProperty,
                        QVariant::fromValue<qulonglong>(reinterpret_cast<std::uintptr_t>(h)));
}

void MarkOurs(QWidget* widget) {
    widget->setProperty(kOursProperty, true);
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

}  // namespace platform::user

namespace platform {

QWidget* WidgetOfWindow(HWND window) {
    user::Window* w = user::Find(window);
    return w ? w->widget.data() : nullptr;
}

}  // namespace platform
