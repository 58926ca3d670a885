// Test-only stand-ins for what the window layer calls in other areas of the
// platform: GetModuleHandleA and a minimal GDI over the window surfaces
// (window DCs, two stock objects, solid brushes encoded in the handle, and
// Rectangle). The program links the real ones.
#include <algorithm>
#include <cstdint>
#include <map>
#include <memory>

#include "platform/internal/surface.h"
#include "platform/win32.h"
#include "tests/platform/user/stand_ins.h"

namespace {

struct StandInDC {
    HWND window = nullptr;
    bool clipped = false;
    RECT clip{};
    HGDIOBJ pen = nullptr;
    HGDIOBJ brush = nullptr;
};

platform::WindowSurfaceHooks hooks;
std::map<std::uintptr_t, std::unique_ptr<StandInDC>> dcs;
std::uintptr_t nextDC = 0x5000;

constexpr std::uintptr_t kNullPen = 0x7000 + NULL_PEN;
constexpr std::uintptr_t kBlackPen = 0x7000 + 7;
constexpr std::uintptr_t kBrushTag = std::uintptr_t{1} << 40;

StandInDC* Find(HDC dc) {
    auto it = dcs.find(reinterpret_cast<std::uintptr_t>(dc));
    return it == dcs.end() ? nullptr : it->second.get();
}

}  // namespace

HBRUSH TestSolidBrush(COLORREF colour) {
    return reinterpret_cast<HBRUSH>(kBrushTag | colour);
}

HMODULE WINAPI GetModuleHandleA(LPCSTR name) {
    return name ? nullptr : reinterpret_cast<HMODULE>(std::uintptr_t{0x400000});
}

namespace platform {

void SetWindowSurfaceHooks(const WindowSurfaceHooks& h) {
    hooks = h;
}

HDC CreateWindowDC(HWND window, const RECT* clip) {
    auto dc = std::make_unique<StandInDC>();
    dc->window = window;
    if (clip) {
        dc->clipped = true;
        dc->clip = *clip;
    }
    HDC h = reinterpret_cast<HDC>(nextDC);
    nextDC += 8;
    dcs.emplace(reinterpret_cast<std::uintptr_t>(h), std::move(dc));
    return h;
}

void DeleteWindowDC(HDC dc) {
    dcs.erase(reinterpret_cast<std::uintptr_t>(dc));
}

HWND WindowFromWindowDC(HDC dc) {
    StandInDC* d = Find(dc);
    return d ? d->window : nullptr;
}

}  // namespace platform

HGDIOBJ WINAPI GetStockObject(int i) {
    return (i == NULL_PEN || i == 7)
               ? reinterpret_cast<HGDIOBJ>(std::uintptr_t{0x7000} + static_cast<unsigned>(i))
               : nullptr;
}

HGDIOBJ WINAPI SelectObject(HDC dc, HGDIOBJ object) {
    StandInDC* d = Find(dc);
    if (!d || !object) {
        return nullptr;
    }
    auto value = reinterpret_cast<std::uintptr_t>(object);
    HGDIOBJ& slot = (value == kNullPen || value == kBlackPen) ? d->pen : d->brush;
    HGDIOBJ previous = slot;
    slot = object;
    return previous ? previous : object;
}

BOOL WINAPI Rectangle(HDC dc, int left, int top, int right, int bottom) {
    StandInDC* d = Find(dc);
    platform::PixelSurface s;
    if (!d || !hooks.lock || !hooks.lock(d->window, &s)) {
        return FALSE;
    }
    RECT area{0, 0, s.width, s.height};
    if (d->clipped) {
        area = RECT{std::max(area.left, d->clip.left), std::max(area.top, d->clip.top),
                    std::min(area.right, d->clip.right), std::min(area.bottom, d->clip.bottom)};
    }
    bool nullPen = reinterpret_cast<std::uintptr_t>(d->pen) != kBlackPen;
    auto brush = reinterpret_cast<std::uintptr_t>(d->brush);
    std::uint32_t fill = 0;
    bool fills = (brush & kBrushTag) != 0;
    if (fills) {
        COLORREF c = static_cast<COLORREF>(brush & 0xFFFFFF);
        fill =
            (static_cast<std::uint32_t>(GetRValue(c)) << 16) | (GetGValue(c) << 8) | GetBValue(c);
    }
    // With a null pen the filled area is one pixel smaller on the far sides.
    int r = nullPen ? right - 1 : right;
    int b = nullPen ? bottom - 1 : bottom;
    RECT touched{std::max(left, area.left), std::max(top, area.top), std::min(r, area.right),
                 std::min(b, area.bottom)};
    for (int y = touched.top; y < touched.bottom; ++y) {
        for (int x = touched.left; x < touched.right; ++x) {
            bool edge = !nullPen && (x == left || y == top || x == r - 1 || y == b - 1);
            if (edge) {
                s.pixels[y * s.stride + x] = 0;
            } else if (fills) {
                s.pixels[y * s.stride + x] = fill;
            }
        }
    }
    if (touched.right > touched.left && touched.bottom > touched.top) {
        hooks.unlock(d->window, &touched);
    }
    return TRUE;
}

bool ReadPixel(HWND window, int x, int y, std::uint32_t* pixel) {
    platform::PixelSurface s;
    if (!hooks.lock || !hooks.lock(window, &s) || x < 0 || y < 0 || x >= s.width || y >= s.height) {
        return false;
    }
    *pixel = s.pixels[y * s.stride + x] & 0xFFFFFF;
    hooks.unlock(window, nullptr);
    return true;
}
