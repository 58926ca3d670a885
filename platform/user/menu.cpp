// Menus from the resource tables (LoadMenuA, the class menu of a frame),
// check and enable state by command or position, and accelerator tables
// (LoadAcceleratorsA, CreateAcceleratorTableA, TranslateAcceleratorA).
//
// Leaves out: building menus at run time (CreateMenu, AppendMenu, ...),
// TrackPopupMenu, WM_INITMENUPOPUP, WM_MENUSELECT, owner-drawn items, and
// accelerators for characters (entries without FVIRTKEY match WM_CHAR only).
#include <cstdlib>
#include <new>

#include "platform/rc/resource_tables.h"
#include "platform/user/menu.h"
#include "platform/user/qt/widgets.h"
#include "platform/user/window.h"

namespace platform::user {
namespace {

HMENU NewMenu() {
    State& s = S();
    auto menu = std::make_unique<Menu>();
    HMENU h = reinterpret_cast<HMENU>(s.table.nextHandle);
    s.table.nextHandle += 4;
    menu->handle = h;
    s.table.menus.emplace(reinterpret_cast<std::uintptr_t>(h), std::move(menu));
    return h;
}

// Reads one popup's items up to its end marker; returns the index after it.
std::size_t ReadItems(HMENU target, std::span<const rc::MenuItemTemplate> items, std::size_t i) {
    while (i < items.size()) {
        const rc::MenuItemTemplate& t = items[i];
        switch (t.kind) {
            case rc::MenuItemTemplate::Kind::EndPopup:
                return i + 1;
            case rc::MenuItemTemplate::Kind::Separator: {
                MenuItem item;
                item.flags = MF_SEPARATOR;
                FindMenu(target)->items.push_back(item);
                ++i;
                break;
            }
            case rc::MenuItemTemplate::Kind::Item: {
                MenuItem item;
                item.flags = t.flags & ~static_cast<std::uint32_t>(MF_POPUP | MF_END);
                item.id = static_cast<UINT>(t.id);
                item.text = t.text ? t.text : "";
                FindMenu(target)->items.push_back(item);
                ++i;
                break;
            }
            case rc::MenuItemTemplate::Kind::Popup: {
                MenuItem item;
                item.flags = (t.flags & ~static_cast<std::uint32_t>(MF_END)) | MF_POPUP;
                item.text = t.text ? t.text : "";
                item.popup = NewMenu();
                HMENU popup = item.popup;
                FindMenu(target)->items.push_back(item);
                i = ReadItems(popup, items, i + 1);
                break;
            }
        }
    }
    return i;
}

MenuItem* ItemByPosition(HMENU menu, UINT position) {
    Menu* m = FindMenu(menu);
    if (!m || position >= m->items.size()) {
        return nullptr;
    }
    return &m->items[position];
}

MenuItem* Item(HMENU menu, UINT which, UINT flags) {
    if (flags & MF_BYPOSITION) {
        return ItemByPosition(menu, which);
    }
    return FindMenuItem(menu, which, nullptr);
}

bool ModifiersMatch(BYTE fVirt) {
    bool shift = GetKeyState(VK_SHIFT) < 0;
    bool control = GetKeyState(VK_CONTROL) < 0;
    bool alt = GetKeyState(VK_MENU) < 0;
    return shift == ((fVirt & FSHIFT) != 0) && control == ((fVirt & FCONTROL) != 0) &&
           alt == ((fVirt & FALT) != 0);
}

}  // namespace

Menu* FindMenu(HMENU menu) {
    State& s = S();
    auto it = s.table.menus.find(reinterpret_cast<std::uintptr_t>(menu));
    return it == s.table.menus.end() ? nullptr : it->second.get();
}

MenuItem* FindMenuItem(HMENU menu, UINT id, HMENU* owner) {
    Menu* m = FindMenu(menu);
    if (!m) {
        return nullptr;
    }
    for (MenuItem& item : m->items) {
        if (item.popup) {
            if (MenuItem* found = FindMenuItem(item.popup, id, owner)) {
                return found;
            }
        } else if (!(item.flags & MF_SEPARATOR) && item.id == id) {
            if (owner) {
                *owner = menu;
            }
            return &item;
        }
    }
    return nullptr;
}

}  // namespace platform::user

namespace pu = platform::user;

HMENU WINAPI LoadMenuA(HINSTANCE, LPCSTR name) {
    // Out of memory gives the failure result Win32 gives, not an exception.
    try {
        pu::S();
        const platform::rc::MenuTemplate* t = platform::rc::FindMenu(pu::ResourceId(name));
        if (!t) {
            return nullptr;
        }
        HMENU menu = pu::NewMenu();
        pu::ReadItems(menu, t->items, 0);
        return menu;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

BOOL WINAPI DestroyMenu(HMENU menu) {
    pu::State& s = pu::S();
    pu::Menu* m = pu::FindMenu(menu);
    if (!m) {
        return FALSE;
    }
    std::vector<HMENU> popups;
    for (const pu::MenuItem& item : m->items) {
        if (item.popup) {
            popups.push_back(item.popup);
        }
    }
    s.table.menus.erase(reinterpret_cast<std::uintptr_t>(menu));
    for (HMENU p : popups) {
        DestroyMenu(p);
    }
    for (auto& [value, w] : s.table.windows) {
        if (w->menu == menu) {
            w->menu = nullptr;
        }
    }
    return TRUE;
}

HMENU WINAPI GetMenu(HWND h) {
    pu::Window* w = pu::Find(h);
    return w && !(w->style & WS_CHILD) ? w->menu : nullptr;
}

HMENU WINAPI GetSubMenu(HMENU menu, int position) {
    pu::MenuItem* item =
        position < 0 ? nullptr : pu::ItemByPosition(menu, static_cast<UINT>(position));
    return item ? item->popup : nullptr;
}

DWORD WINAPI CheckMenuItem(HMENU menu, UINT which, UINT check) {
    pu::MenuItem* item = pu::Item(menu, which, check);
    if (!item) {
        return static_cast<DWORD>(-1);
    }
    DWORD previous = item->flags & MF_CHECKED;
    item->flags = (item->flags & ~static_cast<UINT>(MF_CHECKED)) | (check & MF_CHECKED);
    pu::RefreshMenuBar(menu);
    return previous;
}

BOOL WINAPI EnableMenuItem(HMENU menu, UINT which, UINT enable) {
    pu::MenuItem* item = pu::Item(menu, which, enable);
    if (!item) {
        return -1;
    }
    BOOL previous = static_cast<BOOL>(item->flags & (MF_GRAYED | MF_DISABLED));
    item->flags = (item->flags & ~static_cast<UINT>(MF_GRAYED | MF_DISABLED)) |
                  (enable & (MF_GRAYED | MF_DISABLED));
    pu::RefreshMenuBar(menu);
    return previous;
}

UINT WINAPI GetMenuState(HMENU menu, UINT which, UINT flags) {
    pu::MenuItem* item = pu::Item(menu, which, flags);
    if (!item) {
        return static_cast<UINT>(-1);
    }
    if (item->popup) {
        pu::Menu* sub = pu::FindMenu(item->popup);
        UINT count = sub ? static_cast<UINT>(sub->items.size()) : 0;
        return (count << 8) | (item->flags & 0xFF) | MF_POPUP;
    }
    return item->flags;
}

BOOL WINAPI DrawMenuBar(HWND h) {
    pu::Window* w = pu::Find(h);
    if (!w) {
        return FALSE;
    }
    pu::RefreshMenuBar(w->menu);
    return TRUE;
}

HACCEL WINAPI CreateAcceleratorTableA(LPACCEL entries, int count) {
    // Out of memory gives the failure result Win32 gives, not an exception.
    try {
        pu::State& s = pu::S();
        if (!entries || count <= 0) {
            return nullptr;
        }
        auto table = std::make_unique<pu::AcceleratorTable>();
        table->entries.assign(entries, entries + count);
        HACCEL h = reinterpret_cast<HACCEL>(s.table.nextHandle);
        s.table.nextHandle += 4;
        s.table.accelerators.emplace(reinterpret_cast<std::uintptr_t>(h), std::move(table));
        return h;
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

HACCEL WINAPI LoadAcceleratorsA(HINSTANCE, LPCSTR name) {
    const platform::rc::AcceleratorTemplate* t =
        platform::rc::FindAccelerators(pu::ResourceId(name));
    if (!t || t->entries.empty()) {
        return nullptr;
    }
    std::vector<ACCEL> entries;
    for (const platform::rc::AcceleratorEntry& e : t->entries) {
        entries.push_back(ACCEL{e.fVirt, e.key, e.cmd});
    }
    return CreateAcceleratorTableA(entries.data(), static_cast<int>(entries.size()));
}

BOOL WINAPI DestroyAcceleratorTable(HACCEL table) {
    return pu::S().table.accelerators.erase(reinterpret_cast<std::uintptr_t>(table)) ? TRUE : FALSE;
}

int WINAPI TranslateAcceleratorA(HWND h, HACCEL table, LPMSG msg) {
    pu::State& s = pu::S();
    auto it = s.table.accelerators.find(reinterpret_cast<std::uintptr_t>(table));
    if (!msg || it == s.table.accelerators.end() || !pu::Find(h)) {
        return 0;
    }
    UINT m = msg->message;
    bool keyDown = m == WM_KEYDOWN || m == WM_SYSKEYDOWN;
    bool character = m == WM_CHAR || m == WM_SYSCHAR;
    if (!keyDown && !character) {
        return 0;
    }
    for (const ACCEL& a : it->second->entries) {
        bool virtualKey = (a.fVirt & FVIRTKEY) != 0;
        if (virtualKey
                ? (!keyDown || a.key != (msg->wParam & 0xFFFF) || !pu::ModifiersMatch(a.fVirt))
                : (!character || a.key != (msg->wParam & 0xFFFF))) {
            continue;
        }
        // Windows checks the menu item of the command: WM_INITMENU first
        // (not while the window is disabled, minimised or the mouse is
        // captured), and no command for a grayed item or a minimised window.
        HMENU menu = GetMenu(h);
        pu::MenuItem* item = menu ? pu::FindMenuItem(menu, a.cmd, nullptr) : nullptr;
        if (item) {
            bool iconic = IsIconic(h) != FALSE;
            if (IsWindowEnabled(h) && !iconic && !GetCapture()) {
                SendMessageA(h, WM_INITMENU, reinterpret_cast<WPARAM>(menu), 0);
                item = pu::Find(h) ? pu::FindMenuItem(GetMenu(h), a.cmd, nullptr) : nullptr;
            }
            if (iconic || !item || (item->flags & (MF_GRAYED | MF_DISABLED))) {
                return 1;
            }
        }
        SendMessageA(h, WM_COMMAND, MAKEWPARAM(a.cmd, 1), 0);
        return 1;
    }
    return 0;
}
