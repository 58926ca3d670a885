// Update regions, WM_PAINT and backing surfaces: InvalidateRect,
// ValidateRect, GetUpdateRect, UpdateWindow, BeginPaint and EndPaint with
// WM_ERASEBKGND, GetDC and ReleaseDC, the client-area surface of each window
// that paints itself (the pixels GDI draws into and Qt shows), and the
// repaint from those surfaces while the program holds the thread.
//
// Update regions are clipped to their bounding rectangle when painted.
// Leaves out: WM_NCPAINT, RedrawWindow, ScrollWindow, GetUpdateRgn, clip
// regions other than the paint rectangle, and CS_OWNDC/CS_CLASSDC.
#include <QCoreApplication>
#include <QWidget>
#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>

#include "platform/gdi/raster.h"
#include "platform/internal/surface.h"
#include "platform/user/display/display.h"
#include "platform/user/nonclient.h"
#include "platform/user/paint.h"
#include "platform/user/queue.h"
#include "platform/user/show.h"
#include "platform/user/sysparams.h"
#include "platform/user/window.h"
#include "platform/win32/gdi.h"

namespace platform::user {
namespace {

constexpr int kMaxSurfaceSide = 4096;

void FillSurface(Window& w, const QRect& r, COLORREF colour) {
    QRect clip = r & QRect(QPoint(0, 0), w.surface.size());
    if (clip.isEmpty() || w.surface.isNull()) {
        return;
    }
    const std::uint32_t pixel = raster::PixelOfColor(colour);
    for (int y = clip.top(); y <= clip.bottom(); ++y) {
        auto* row = reinterpret_cast<std::uint32_t*>(w.surface.scanLine(y));
        std::fill(row + clip.left(), row + clip.right() + 1, pixel);
    }
    if (w.widget) {
        w.widget->update(clip.translated(ClientRectInWindow(w).topLeft()));
    }
}

COLORREF BackgroundColour(const Window& w) {
    if (!w.windowClass) {
        return 0;
    }
    if (w.windowClass->kind != ClassKind::Custom) {
        return SystemColour(COLOR_BTNFACE);
    }
    auto value = reinterpret_cast<ULONG_PTR>(w.windowClass->background);
    return value >= 1 && value <= 31 ? SystemColour(static_cast<int>(value) - 1) : 0;
}

bool LockSurface(HWND handle, PixelSurface* out) {
    Window* window = Find(handle);
    if (!window || !out || window->surface.isNull()) {
        return false;
    }
    out->pixels = reinterpret_cast<std::uint32_t*>(window->surface.bits());
    out->width = window->surface.width();
    out->height = window->surface.height();
    out->stride = static_cast<std::int32_t>(window->surface.bytesPerLine() / 4);
    return true;
}

void UnlockSurface(HWND handle, const RECT* touched) {
    Window* window = Find(handle);
    if (!window || !window->widget) {
        return;
    }
    QRect client = ClientRectInWindow(*window);
    if (touched) {
        QRect r(QPoint(touched->left, touched->top),
                QPoint(touched->right - 1, touched->bottom - 1));
        window->widget->update(r.translated(client.topLeft()));
    } else {
        window->widget->update(client);
    }
}

}  // namespace

bool HasSurface(const Window& w) {
    if (!w.windowClass) {
        return false;
    }
    switch (w.windowClass->kind) {
        case ClassKind::Custom:
        case ClassKind::Dialog:
            return true;
        case ClassKind::Button:
            return (w.style & BS_TYPEMASK) == BS_OWNERDRAW;
        default:
            return false;
    }
}

void ResizeSurface(Window& w) {
    // The backing store covers at most 4096 x 4096 pixels of the client
    // area (64 MiB); drawing beyond it is clipped away.
    QSize size = ClientRectInWindow(w).size().boundedTo(QSize(kMaxSurfaceSide, kMaxSurfaceSide));
    if (!HasSurface(w) || size.isEmpty()) {
        w.surface = QImage();
        return;
    }
    if (w.surface.size() == size) {
        return;
    }
    QImage fresh(size, QImage::Format_RGB32);
    if (fresh.isNull()) {
        w.surface = QImage();  // out of memory: the window shows nothing
        return;
    }
    COLORREF bg = BackgroundColour(w);
    fresh.fill(static_cast<uint>(raster::PixelOfColor(bg)));
    if (!w.surface.isNull()) {
        int rows = std::min(size.height(), w.surface.height());
        int bytes = std::min(size.width(), w.surface.width()) * 4;
        for (int y = 0; y < rows; ++y) {
            std::memcpy(fresh.scanLine(y), w.surface.constScanLine(y),
                        static_cast<std::size_t>(bytes));
        }
    }
    w.surface = std::move(fresh);
}

bool EraseBackground(Window& w, HDC dc) {
    HBRUSH brush = w.windowClass ? w.windowClass->background : nullptr;
    if (w.windowClass && w.windowClass->kind != ClassKind::Custom) {
        brush = reinterpret_cast<HBRUSH>(static_cast<ULONG_PTR>(COLOR_BTNFACE + 1));
    }
    if (!brush) {
        return false;
    }
    QRect client(QPoint(0, 0), ClientRectInWindow(w).size());
    QRect r = w.paintRect.isNull() ? client : (w.paintRect & client);
    auto value = reinterpret_cast<ULONG_PTR>(brush);
    if (value >= 1 && value <= 31) {
        FillSurface(w, r, SystemColour(static_cast<int>(value) - 1));
        return true;
    }
    if (!dc) {
        return false;
    }
    // A null pen makes Rectangle fill exactly [left, right) x [top, bottom)
    // when given one more pixel on each far side.
    HGDIOBJ oldPen = SelectObject(dc, GetStockObject(NULL_PEN));
    HGDIOBJ oldBrush = SelectObject(dc, brush);
    Rectangle(dc, r.left(), r.top(), r.right() + 2, r.bottom() + 2);
    SelectObject(dc, oldBrush);
    SelectObject(dc, oldPen);
    return true;
}

void InvalidateWindowTree(Window* w, bool erase) {
    if (!w) {
        return;
    }
    WindowRef window(w->handle);
    InvalidateRect(window.handle(), nullptr, erase ? TRUE : FALSE);
    if (!window) {
        return;
    }
    std::vector<HWND> children = window->children;
    for (HWND c : children) {
        InvalidateWindowTree(Find(c), erase);
    }
}

// While the program holds the thread (a computation between two of its
// calls to the layer, outside any loop), what other windows uncover of ours
// is painted from the backing surfaces when the program next calls in, at
// most every 50 ms. Qt's events are only queued meanwhile: no window
// procedure runs.
void PaintWhileBusy() {
    State& s = S();
    if (s.messages.loopDepth > 0 || s.maps.waitDepth > 0 || !Desktop()) {
        return;
    }
    static std::chrono::steady_clock::time_point last;
    auto now = std::chrono::steady_clock::now();
    if (now - last < std::chrono::milliseconds(50)) {
        return;
    }
    last = now;
    DisplayWait wait;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

void InstallSurfaceHooks() {
    WindowSurfaceHooks hooks;
    hooks.lock = LockSurface;
    hooks.unlock = UnlockSurface;
    SetWindowSurfaceHooks(hooks);
}

}  // namespace platform::user

namespace pu = platform::user;

BOOL WINAPI UpdateWindow(HWND h) {
    platform::user::FlushPendingMaps();
    pu::Window* w = pu::Find(h);
    if (!w) {
        return FALSE;
    }
    if (!w->update.isEmpty() && IsWindowVisible(h)) {
        pu::CallProc(w, WM_PAINT, 0, 0);
    }
    return TRUE;
}

BOOL WINAPI InvalidateRect(HWND h, const RECT* rect, BOOL erase) {
    // Out of memory gives the failure result Win32 gives, not an exception.
    try {
        pu::State& s = pu::S();
        if (!h) {
            std::vector<HWND> all;
            for (auto& [value, w] : s.table.windows) {
                all.push_back(w->handle);
            }
            for (HWND each : all) {
                InvalidateRect(each, nullptr, erase);
            }
            return TRUE;
        }
        pu::Window* w = pu::Find(h);
        if (!w) {
            return FALSE;
        }
        if (!pu::HasSurface(*w)) {
            if (w->widget) {
                w->widget->update();
            }
            return TRUE;
        }
        QRect client(QPoint(0, 0), pu::ClientRectInWindow(*w).size());
        QRect r = client;
        if (rect) {
            if (rect->right <= rect->left || rect->bottom <= rect->top) {
                return TRUE;
            }
            r = QRect(QPoint(rect->left, rect->top), QPoint(rect->right - 1, rect->bottom - 1)) &
                client;
        }
        if (r.isEmpty()) {
            return TRUE;
        }
        w->update += r;
        if (erase) {
            w->erase = true;
        }
        pu::ScheduleForeignDrain();
        return TRUE;
    } catch (const std::bad_alloc&) {
        return FALSE;
    }
}

BOOL WINAPI ValidateRect(HWND h, const RECT* rect) {
    pu::Window* w = pu::Find(h);
    if (!w) {
        return FALSE;
    }
    if (!rect) {
        w->update = QRegion();
    } else if (rect->right > rect->left && rect->bottom > rect->top) {
        w->update -=
            QRect(QPoint(rect->left, rect->top), QPoint(rect->right - 1, rect->bottom - 1));
    }
    if (w->update.isEmpty()) {
        w->erase = false;
    }
    return TRUE;
}

BOOL WINAPI GetUpdateRect(HWND h, LPRECT rect, BOOL) {
    pu::Window* w = pu::Find(h);
    if (!w) {
        return FALSE;
    }
    QRect b = w->update.boundingRect();
    if (rect) {
        *rect = w->update.isEmpty() ? RECT{0, 0, 0, 0}
                                    : RECT{b.left(), b.top(), b.right() + 1, b.bottom() + 1};
    }
    return w->update.isEmpty() ? FALSE : TRUE;
}

HDC WINAPI BeginPaint(HWND h, LPPAINTSTRUCT ps) {
    pu::Window* w = pu::Find(h);
    if (!w || !ps) {
        return nullptr;
    }
    *ps = PAINTSTRUCT{};
    QRect client(QPoint(0, 0), pu::ClientRectInWindow(*w).size());
    QRect bound = w->update.boundingRect() & client;
    bool needErase = w->erase;
    w->update = QRegion();
    w->erase = false;
    RECT rc = bound.isEmpty()
                  ? RECT{0, 0, 0, 0}
                  : RECT{bound.left(), bound.top(), bound.right() + 1, bound.bottom() + 1};
    w->paintRect = bound.isEmpty() ? QRect(0, 0, 0, 0) : bound;
    HDC dc = platform::CreateWindowDC(h, &rc);
    ps->hdc = dc;
    ps->rcPaint = rc;
    if (needErase) {
        LRESULT erased = SendMessageA(h, WM_ERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
        ps->fErase = erased ? FALSE : TRUE;
    }
    return dc;
}

BOOL WINAPI EndPaint(HWND h, const PAINTSTRUCT* ps) {
    if (ps && ps->hdc) {
        platform::DeleteWindowDC(ps->hdc);
    }
    if (pu::Window* w = pu::Find(h)) {
        w->paintRect = QRect();
    }
    return TRUE;
}

HDC WINAPI GetDC(HWND h) {
    if (!pu::Find(h)) {
        return nullptr;
    }
    return platform::CreateWindowDC(h, nullptr);
}

int WINAPI ReleaseDC(HWND h, HDC dc) {
    if (!dc || platform::WindowFromWindowDC(dc) != h) {
        return 0;
    }
    platform::DeleteWindowDC(dc);
    return 1;
}
