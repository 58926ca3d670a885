// The non-client edges: where the client area lies inside a window's
// rectangle (the menu bar above it, WS_BORDER, WS_EX_CLIENTEDGE and
// WS_EX_STATICEDGE around it), and those edges drawn flat and sunken as
// Windows draws them. The caption and the frame of a decorated top-level
// window are the window manager's, outside the widget.
//
// Leaves out: WM_NCCALCSIZE, WM_NCPAINT, WM_NCHITTEST, scroll bars, and
// WS_DLGFRAME and WS_THICKFRAME borders of undecorated windows.
#include <QPainter>
#include <algorithm>

#include "platform/user/nonclient.h"
#include "platform/user/qt/widgets.h"
#include "platform/user/sysparams.h"

namespace platform::user {
namespace {

bool Decorated(const Window& w) {
    return IsTopLevel(w) && (w.style & WS_CAPTION) == WS_CAPTION;
}

int BorderInset(const Window& w) {
    if (Decorated(w)) {
        return 0;  // the window manager draws the frame outside the Qt geometry
    }
    int inset = 0;
    if (w.style & WS_BORDER) {
        inset += 1;
    }
    if (w.exStyle & WS_EX_CLIENTEDGE) {
        inset += 2;
    }
    if (w.exStyle & WS_EX_STATICEDGE) {
        inset += 1;
    }
    return inset;
}

// One sunken line pair around `r`: `dark` above and left, `light` below and
// right.
void DrawSunken(QPainter& p, const QRect& r, int dark, int light) {
    p.setPen(ToQColor(SystemColour(dark)));
    p.drawLine(r.topLeft(), r.topRight());
    p.drawLine(r.topLeft(), r.bottomLeft());
    p.setPen(ToQColor(SystemColour(light)));
    p.drawLine(r.bottomLeft(), r.bottomRight());
    p.drawLine(r.topRight(), r.bottomRight());
}

}  // namespace

// In the widget's coordinates: the window manager's frame is outside it.
QRect ClientRectInWindow(const Window& w) {
    int inset = BorderInset(w);
    int top = inset + (IsTopLevel(w) && w.menu ? MenuBarHeight(w) : 0);
    const QMargins& f = w.frame;
    int width = std::max(0, w.rect.width() - f.left() - f.right() - 2 * inset);
    int height = std::max(0, w.rect.height() - f.top() - f.bottom() - top - inset);
    return QRect(inset, top, width, height);
}

void DrawNonClient(QPainter& p, const Window& w, const QRect& all, const QRect& client) {
    int inset = client.left();
    if (inset <= 0) {
        return;
    }
    // Simple flat borders: one dark line for WS_BORDER, a sunken edge for
    // the client and static edges.
    p.fillRect(all, ToQColor(SystemColour(COLOR_BTNFACE)));
    QRect r = all.adjusted(0, client.top() - inset, 0, 0);
    if (w.style & WS_BORDER) {
        p.setPen(ToQColor(SystemColour(COLOR_WINDOWFRAME)));
        p.drawRect(r.adjusted(0, 0, -1, -1));
        r.adjust(1, 1, -1, -1);
    }
    if (w.exStyle & WS_EX_CLIENTEDGE) {
        DrawSunken(p, r, COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT);
        r.adjust(1, 1, -1, -1);
        DrawSunken(p, r, COLOR_3DDKSHADOW, COLOR_3DLIGHT);
        r.adjust(1, 1, -1, -1);
    }
    if (w.exStyle & WS_EX_STATICEDGE) {
        DrawSunken(p, r, COLOR_BTNSHADOW, COLOR_BTNHIGHLIGHT);
    }
}

}  // namespace platform::user
