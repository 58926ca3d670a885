// Software GDI over 32-bit pixel buffers: memory and window device contexts,
// DIB sections, stock and solid pens and brushes, SelectObject/DeleteObject,
// SetROP2, SetDIBits/GetDIBits, BitBlt SRCCOPY, Rectangle and DrawFocusRect.
//
// Handles are numbers from one counter that never repeats within a run, so a
// deleted handle stays invalid. As on Windows NT, a pen or brush deleted while
// selected keeps drawing in that DC until it is deselected (the DC holds its
// own copy), and a bitmap selected into a DC cannot be deleted. The 1 x 1
// default bitmap of a new DC is 32-bit here, not monochrome.
//
// Left out: see platform/win32/gdi.h. DIB sections are 32 bits per pixel with
// BI_RGB or the masks 0x00FF0000, 0x0000FF00, 0x000000FF; no file mappings.
// SetDIBits and GetDIBits place the caller's DIB with its top-left pixel on
// the bitmap's top-left pixel and copy the part that both cover; they never
// write the caller's header.
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <variant>

#include "platform/gdi/raster.h"
#include "platform/internal/faults.h"
#include "platform/internal/no_destructor.h"
#include "platform/internal/surface.h"
#include "platform/win32.h"

namespace {

using platform::raster::Box;
using platform::raster::Canvas;

// Largest pixel buffer of one DIB section, in bytes. Larger requests are
// refused before any allocation is attempted.
constexpr std::uint64_t kMaxDibBytes = 0x7FFFFFFFu;

struct FreeDeleter {
    void operator()(std::uint32_t* p) const { std::free(p); }
};

struct BitmapObject {
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool bottomUp = true;
    std::unique_ptr<std::uint32_t, FreeDeleter> bits;
    HDC selectedInto = nullptr;  // never set for the shared default bitmap

    Canvas View() const {
        Canvas canvas;
        canvas.width = width;
        canvas.height = height;
        canvas.stride = bottomUp ? -static_cast<std::ptrdiff_t>(width) : width;
        canvas.top = bits.get() + (bottomUp ? static_cast<std::ptrdiff_t>(height - 1) * width : 0);
        return canvas;
    }
};

struct PenObject {
    bool null = false;
    std::uint32_t pixel = 0;
};

struct BrushObject {
    bool null = false;
    std::uint32_t pixel = 0;
};

struct DcObject {
    bool window = false;
    HWND hwnd = nullptr;
    bool hasClip = false;
    Box clip;
    HGDIOBJ bitmap = nullptr;  // memory DCs only
    HGDIOBJ pen = nullptr;
    PenObject penValue;
    HGDIOBJ brush = nullptr;
    BrushObject brushValue;
    int rop2 = R2_COPYPEN;
};

using Object = std::variant<DcObject, BitmapObject, PenObject, BrushObject>;

struct Entry {
    Object object;
    bool stock = false;
};

class Table {
public:
    static Table& Get() {
        static platform::NoDestructor<Table> table;
        return table.get();
    }

    std::recursive_mutex lock;
    platform::WindowSurfaceHooks hooks;

    HGDIOBJ Add(Object&& object, bool stock) {
        const std::uintptr_t id = next_;
        objects_.emplace(id, Entry{std::move(object), stock});
        next_ += 0x10;
        return reinterpret_cast<HGDIOBJ>(id);
    }

    Entry* Find(HGDIOBJ handle) {
        const auto it = objects_.find(reinterpret_cast<std::uintptr_t>(handle));
        return it == objects_.end() ? nullptr : &it->second;
    }

    template <class T>
    T* FindAs(HGDIOBJ handle) {
        Entry* entry = Find(handle);
        return entry == nullptr ? nullptr : std::get_if<T>(&entry->object);
    }

    void Erase(HGDIOBJ handle) { objects_.erase(reinterpret_cast<std::uintptr_t>(handle)); }

    // Stock objects by GetStockObject index (WHITE_BRUSH .. NULL_PEN).
    HGDIOBJ stock[NULL_PEN + 1] = {};
    HGDIOBJ defaultBitmap = nullptr;

private:
    friend class platform::NoDestructor<Table>;
    Table() {
        const std::uint32_t brushes[] = {0xFFFFFF, 0xC0C0C0, 0x808080, 0x404040, 0x000000};
        for (int i = WHITE_BRUSH; i <= BLACK_BRUSH; ++i)
            stock[i] = Add(BrushObject{false, brushes[i]}, true);
        stock[NULL_BRUSH] = Add(BrushObject{true, 0}, true);
        stock[WHITE_PEN] = Add(PenObject{false, 0xFFFFFF}, true);
        stock[BLACK_PEN] = Add(PenObject{false, 0x000000}, true);
        stock[NULL_PEN] = Add(PenObject{true, 0}, true);
        BitmapObject pixel;
        pixel.width = 1;
        pixel.height = 1;
        pixel.bits.reset(static_cast<std::uint32_t*>(std::calloc(1, sizeof(std::uint32_t))));
        if (!pixel.bits)
            throw std::bad_alloc();
        defaultBitmap = Add(std::move(pixel), true);
    }

    std::uintptr_t next_ = 0x10000;
    std::unordered_map<std::uintptr_t, Entry> objects_;
};

// Runs `body` under the table lock; any exception (only allocation failures
// can arise) becomes the failure result, so none escapes the API.
template <class Result, class Body>
Result Guarded(Result failure, Body body) {
    try {
        Table& table = Table::Get();
        std::lock_guard<std::recursive_mutex> guard(table.lock);
        return body(table);
    } catch (...) {
        return failure;
    }
}

// The pixels a DC draws on for the length of one call.
struct Target {
    Canvas canvas;
    Box clip;
    HWND locked = nullptr;
};

bool Acquire(Table& table, const DcObject& dc, Target& target) {
    if (!dc.window) {
        const BitmapObject* bitmap = table.FindAs<BitmapObject>(dc.bitmap);
        if (bitmap == nullptr)
            return false;
        target.canvas = bitmap->View();
        target.clip = platform::raster::Bounds(target.canvas);
        return true;
    }
    if (table.hooks.lock == nullptr)
        return false;
    platform::PixelSurface surface;
    if (!table.hooks.lock(dc.hwnd, &surface))
        return false;
    target.locked = dc.hwnd;
    const bool usable = surface.pixels != nullptr && surface.width >= 0 && surface.height >= 0 &&
                        (surface.height <= 1 ||
                         std::abs(static_cast<std::int64_t>(surface.stride)) >= surface.width);
    if (!usable)
        surface = platform::PixelSurface{};
    target.canvas = Canvas{surface.pixels, surface.stride, surface.width, surface.height};
    target.clip = platform::raster::Bounds(target.canvas);
    if (dc.hasClip)
        target.clip = platform::raster::Intersect(target.clip, dc.clip);
    return true;
}

void Release(Table& table, Target& target, const Box& touched) {
    if (target.locked == nullptr)
        return;
    RECT rect{0, 0, 0, 0};
    if (!touched.Empty())
        rect = RECT{static_cast<LONG>(touched.left), static_cast<LONG>(touched.top),
                    static_cast<LONG>(touched.right), static_cast<LONG>(touched.bottom)};
    if (table.hooks.unlock != nullptr)
        table.hooks.unlock(target.locked, &rect);
    target.locked = nullptr;
}

// The layout of a caller's DIB as its header describes it.
struct DibFormat {
    std::int64_t width = 0;
    std::int64_t height = 0;  // rows, positive
    bool bottomUp = true;
    std::size_t rowBytes = 0;
};

bool ParseDib(const BITMAPINFO* info, DibFormat& format) {
    if (info == nullptr)
        return false;
    BITMAPINFOHEADER header;
    std::memcpy(&header, info, sizeof header);
    // BITMAPINFOHEADER and the V2, V3, V4 and V5 headers; the masks sit at
    // offset 40 in all of them (behind a 40-byte header, inside the others).
    const DWORD size = header.biSize;
    if (size != 40 && size != 52 && size != 56 && size != 108 && size != 124)
        return false;
    if (header.biPlanes != 1 || header.biBitCount != 32)
        return false;
    if (header.biCompression == BI_BITFIELDS) {
        DWORD masks[3];
        std::memcpy(masks, reinterpret_cast<const unsigned char*>(info) + 40, sizeof masks);
        if (masks[0] != 0x00FF0000u || masks[1] != 0x0000FF00u || masks[2] != 0x000000FFu)
            return false;
    } else if (header.biCompression != BI_RGB) {
        return false;
    }
    if (header.biWidth <= 0 || header.biHeight == 0 || header.biHeight == INT32_MIN)
        return false;
    format.width = header.biWidth;
    format.height =
        header.biHeight < 0 ? -static_cast<std::int64_t>(header.biHeight) : header.biHeight;
    format.bottomUp = header.biHeight > 0;
    format.rowBytes = static_cast<std::size_t>(format.width) * 4;
    return true;
}

// Scan line `scan` of a DIB (the bottom row is scan 0 when bottom-up) as a
// row counted from the top.
std::int64_t TopDownRow(const DibFormat& format, std::int64_t scan) {
    return format.bottomUp ? format.height - 1 - scan : scan;
}

// The shared work of SetDIBits (toBitmap) and GetDIBits.
int TransferDib(Table& table, HDC hdc, HBITMAP hbm, UINT start, UINT lines, unsigned char* bits,
                const BITMAPINFO* info, UINT usage, bool toBitmap) {
    if (hdc != nullptr && table.FindAs<DcObject>(hdc) == nullptr)
        return 0;
    BitmapObject* bitmap = table.FindAs<BitmapObject>(hbm);
    if (bitmap == nullptr || bits == nullptr)
        return 0;
    if (usage != DIB_RGB_COLORS && usage != DIB_PAL_COLORS)
        return 0;
    DibFormat format;
    if (!ParseDib(info, format))
        return 0;
    if (start >= format.height)
        return 0;
    const std::int64_t count = std::min<std::int64_t>(lines, format.height - start);
    const Canvas canvas = bitmap->View();
    const std::size_t rowBytes =
        static_cast<std::size_t>(std::min<std::int64_t>(format.width, canvas.width)) * 4;
    int copied = 0;
    for (std::int64_t i = 0; i < count; ++i) {
        const std::int64_t row = TopDownRow(format, start + i);
        if (row >= canvas.height)
            continue;
        unsigned char* line = bits + static_cast<std::size_t>(i) * format.rowBytes;
        std::uint32_t* pixels = canvas.Row(row);
        if (toBitmap)
            std::memcpy(pixels, line, rowBytes);
        else
            std::memcpy(line, pixels, rowBytes);
        ++copied;
    }
    return copied;
}

}  // namespace

namespace platform {

void SetWindowSurfaceHooks(const WindowSurfaceHooks& hooks) {
    Guarded(0, [&](Table& table) {
        table.hooks = hooks;
        return 0;
    });
}

HDC CreateWindowDC(HWND window, const RECT* clip) {
    if (window == nullptr)
        return nullptr;
    return Guarded<HDC>(nullptr, [&](Table& table) {
        DcObject dc;
        dc.window = true;
        dc.hwnd = window;
        if (clip != nullptr) {
            dc.hasClip = true;
            dc.clip = Box{clip->left, clip->top, clip->right, clip->bottom};
        }
        dc.pen = table.stock[BLACK_PEN];
        dc.penValue = PenObject{false, 0x000000};
        dc.brush = table.stock[WHITE_BRUSH];
        dc.brushValue = BrushObject{false, 0xFFFFFF};
        return static_cast<HDC>(table.Add(std::move(dc), false));
    });
}

void DeleteWindowDC(HDC dc) {
    Guarded(0, [&](Table& table) {
        const DcObject* object = table.FindAs<DcObject>(dc);
        if (object != nullptr && object->window)
            table.Erase(dc);
        return 0;
    });
}

HWND WindowFromWindowDC(HDC dc) {
    return Guarded<HWND>(nullptr, [&](Table& table) -> HWND {
        const DcObject* object = table.FindAs<DcObject>(dc);
        return object != nullptr && object->window ? object->hwnd : nullptr;
    });
}

}  // namespace platform

HDC WINAPI CreateCompatibleDC(HDC hdc) {
    return Guarded<HDC>(nullptr, [&](Table& table) -> HDC {
        if (hdc != nullptr && table.FindAs<DcObject>(hdc) == nullptr)
            return nullptr;
        DcObject dc;
        dc.bitmap = table.defaultBitmap;
        dc.pen = table.stock[BLACK_PEN];
        dc.penValue = PenObject{false, 0x000000};
        dc.brush = table.stock[WHITE_BRUSH];
        dc.brushValue = BrushObject{false, 0xFFFFFF};
        return static_cast<HDC>(table.Add(std::move(dc), false));
    });
}

BOOL WINAPI DeleteDC(HDC hdc) {
    return Guarded<BOOL>(FALSE, [&](Table& table) -> BOOL {
        DcObject* dc = table.FindAs<DcObject>(hdc);
        if (dc == nullptr || dc->window)
            return FALSE;  // window DCs go back with ReleaseDC/EndPaint
        Entry* bitmap = table.Find(dc->bitmap);
        if (bitmap != nullptr && !bitmap->stock)
            std::get<BitmapObject>(bitmap->object).selectedInto = nullptr;
        table.Erase(hdc);
        return TRUE;
    });
}

HGDIOBJ WINAPI GetStockObject(int i) {
    if (i < WHITE_BRUSH || i > NULL_PEN)
        return nullptr;
    return Guarded<HGDIOBJ>(nullptr, [&](Table& table) { return table.stock[i]; });
}

HBRUSH WINAPI CreateSolidBrush(COLORREF color) {
    if (platform::ShouldInjectFault(platform::FaultSite::BrushCreate)) {
        return nullptr;
    }
    return Guarded<HBRUSH>(nullptr, [&](Table& table) {
        return static_cast<HBRUSH>(table.Add(
            BrushObject{false, platform::raster::PixelOfColor(color & 0x00FFFFFFu)}, false));
    });
}

HGDIOBJ WINAPI SelectObject(HDC hdc, HGDIOBJ h) {
    return Guarded<HGDIOBJ>(nullptr, [&](Table& table) -> HGDIOBJ {
        DcObject* dc = table.FindAs<DcObject>(hdc);
        Entry* entry = table.Find(h);
        if (dc == nullptr || entry == nullptr)
            return nullptr;
        if (const PenObject* pen = std::get_if<PenObject>(&entry->object)) {
            const HGDIOBJ previous = dc->pen;
            dc->pen = h;
            dc->penValue = *pen;
            return previous;
        }
        if (const BrushObject* brush = std::get_if<BrushObject>(&entry->object)) {
            const HGDIOBJ previous = dc->brush;
            dc->brush = h;
            dc->brushValue = *brush;
            return previous;
        }
        if (BitmapObject* bitmap = std::get_if<BitmapObject>(&entry->object)) {
            if (dc->window)
                return nullptr;
            if (!entry->stock && bitmap->selectedInto != nullptr && bitmap->selectedInto != hdc)
                return nullptr;
            const HGDIOBJ previous = dc->bitmap;
            if (previous != h) {
                Entry* old = table.Find(previous);
                if (old != nullptr && !old->stock)
                    std::get<BitmapObject>(old->object).selectedInto = nullptr;
                if (!entry->stock)
                    bitmap->selectedInto = hdc;
                dc->bitmap = h;
            }
            return previous;
        }
        return nullptr;  // a DC is not selectable
    });
}

BOOL WINAPI DeleteObject(HGDIOBJ ho) {
    return Guarded<BOOL>(FALSE, [&](Table& table) -> BOOL {
        Entry* entry = table.Find(ho);
        if (entry == nullptr || std::holds_alternative<DcObject>(entry->object))
            return FALSE;
        if (entry->stock)
            return TRUE;  // deleting a stock object is harmless
        if (const BitmapObject* bitmap = std::get_if<BitmapObject>(&entry->object))
            if (bitmap->selectedInto != nullptr)
                return FALSE;
        table.Erase(ho);
        return TRUE;
    });
}

int WINAPI SetROP2(HDC hdc, int rop2) {
    if (rop2 < R2_BLACK || rop2 > R2_WHITE)
        return 0;
    return Guarded(0, [&](Table& table) {
        DcObject* dc = table.FindAs<DcObject>(hdc);
        if (dc == nullptr)
            return 0;
        const int previous = dc->rop2;
        dc->rop2 = rop2;
        return previous;
    });
}

int WINAPI GetROP2(HDC hdc) {
    return Guarded(0, [&](Table& table) {
        const DcObject* dc = table.FindAs<DcObject>(hdc);
        return dc == nullptr ? 0 : dc->rop2;
    });
}

HBITMAP WINAPI CreateDIBSection(HDC hdc, const BITMAPINFO* lpbmi, UINT usage, void** ppvBits,
                                HANDLE hSection, DWORD offset) {
    (void)hdc;  // only palette-indexed colour tables need the DC
    (void)offset;
    if (ppvBits != nullptr)
        *ppvBits = nullptr;
    DibFormat format;
    if ((usage != DIB_RGB_COLORS && usage != DIB_PAL_COLORS) || hSection != nullptr ||
        !ParseDib(lpbmi, format) ||
        static_cast<std::uint64_t>(format.rowBytes) * static_cast<std::uint64_t>(format.height) >
            kMaxDibBytes) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (platform::ShouldInjectFault(platform::FaultSite::DibSectionAlloc)) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    BitmapObject bitmap;
    bitmap.width = static_cast<std::int32_t>(format.width);
    bitmap.height = static_cast<std::int32_t>(format.height);
    bitmap.bottomUp = format.bottomUp;
    // Zeroed, as the pages of a fresh section are.
    bitmap.bits.reset(static_cast<std::uint32_t*>(std::calloc(
        static_cast<std::size_t>(format.width) * static_cast<std::size_t>(format.height), 4)));
    if (!bitmap.bits) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    void* bits = bitmap.bits.get();
    const HBITMAP handle = Guarded<HBITMAP>(nullptr, [&](Table& table) {
        return static_cast<HBITMAP>(table.Add(std::move(bitmap), false));
    });
    if (handle != nullptr && ppvBits != nullptr)
        *ppvBits = bits;
    return handle;
}

int WINAPI SetDIBits(HDC hdc, HBITMAP hbm, UINT start, UINT cLines, const void* lpBits,
                     const BITMAPINFO* lpbmi, UINT ColorUse) {
    return Guarded(0, [&](Table& table) {
        return TransferDib(table, hdc, hbm, start, cLines,
                           const_cast<unsigned char*>(static_cast<const unsigned char*>(lpBits)),
                           lpbmi, ColorUse, true);
    });
}

int WINAPI GetDIBits(HDC hdc, HBITMAP hbm, UINT start, UINT cLines, LPVOID lpvBits,
                     LPBITMAPINFO lpbmi, UINT usage) {
    return Guarded(0, [&](Table& table) {
        return TransferDib(table, hdc, hbm, start, cLines, static_cast<unsigned char*>(lpvBits),
                           lpbmi, usage, false);
    });
}

BOOL WINAPI BitBlt(HDC hdc, int x, int y, int cx, int cy, HDC hdcSrc, int x1, int y1, DWORD rop) {
    if (rop != SRCCOPY)
        return FALSE;
    return Guarded<BOOL>(FALSE, [&](Table& table) -> BOOL {
        const DcObject* dst = table.FindAs<DcObject>(hdc);
        const DcObject* src = table.FindAs<DcObject>(hdcSrc);
        if (dst == nullptr || src == nullptr)
            return FALSE;
        if (cx <= 0 || cy <= 0)
            return TRUE;
        Target target;
        if (!Acquire(table, *dst, target))
            return FALSE;
        Target source;
        const bool sameWindow = dst->window && src->window && dst->hwnd == src->hwnd;
        if (sameWindow) {
            source.canvas = target.canvas;
            source.clip = platform::raster::Bounds(source.canvas);
            if (src->hasClip)
                source.clip = platform::raster::Intersect(source.clip, src->clip);
        } else if (!Acquire(table, *src, source)) {
            Release(table, target, Box{});
            return FALSE;
        }
        // Clip the source box to what the source has, move it to the
        // destination, clip it there, and move the result back.
        const Box wanted{x1, y1, static_cast<std::int64_t>(x1) + cx,
                         static_cast<std::int64_t>(y1) + cy};
        const Box have = platform::raster::Intersect(wanted, source.clip);
        const std::int64_t shiftX = static_cast<std::int64_t>(x) - x1;
        const std::int64_t shiftY = static_cast<std::int64_t>(y) - y1;
        const Box moved{have.left + shiftX, have.top + shiftY, have.right + shiftX,
                        have.bottom + shiftY};
        const Box landed = platform::raster::Intersect(moved, target.clip);
        if (!landed.Empty())
            platform::raster::Copy(target.canvas, landed.left, landed.top, source.canvas,
                                   landed.left - shiftX, landed.top - shiftY,
                                   landed.right - landed.left, landed.bottom - landed.top);
        Release(table, source, Box{});
        Release(table, target, landed.Empty() ? Box{} : landed);
        return TRUE;
    });
}

BOOL WINAPI Rectangle(HDC hdc, int left, int top, int right, int bottom) {
    return Guarded<BOOL>(FALSE, [&](Table& table) -> BOOL {
        const DcObject* dc = table.FindAs<DcObject>(hdc);
        if (dc == nullptr)
            return FALSE;
        Target target;
        if (!Acquire(table, *dc, target))
            return FALSE;
        const std::uint32_t pen = dc->penValue.pixel;
        const std::uint32_t brush = dc->brushValue.pixel;
        const Box touched = platform::raster::DrawRectangle(
            target.canvas, target.clip, Box{left, top, right, bottom}, dc->rop2,
            dc->penValue.null ? nullptr : &pen, dc->brushValue.null ? nullptr : &brush);
        Release(table, target, touched);
        return TRUE;
    });
}

BOOL WINAPI DrawFocusRect(HDC hDC, const RECT* lprc) {
    if (lprc == nullptr)
        return FALSE;
    return Guarded<BOOL>(FALSE, [&](Table& table) -> BOOL {
        const DcObject* dc = table.FindAs<DcObject>(hDC);
        if (dc == nullptr)
            return FALSE;
        Target target;
        if (!Acquire(table, *dc, target))
            return FALSE;
        const Box touched = platform::raster::DrawFocusOutline(
            target.canvas, target.clip, Box{lprc->left, lprc->top, lprc->right, lprc->bottom});
        Release(table, target, touched);
        return TRUE;
    });
}
