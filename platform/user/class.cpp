// Window classes: RegisterClassExA, UnregisterClassA and the built-in
// classes of the dialogs and controls, found by name (any case) or atom.
//
// Leaves out: GetClassInfo*, class long values, global (CS_GLOBALCLASS)
// classes apart from ours, and class instances other than the caller's.
#include <strings.h>
#include <algorithm>
#include <new>

#include "platform/internal/faults.h"
#include "platform/user/class.h"

namespace platform::user {

WindowClass* FindClass(LPCSTR name) {
    State& s = S();
    if (!name) {
        return nullptr;
    }
    for (auto& c : s.table.classes) {
        if (IS_INTRESOURCE(name) ? c->atom == static_cast<ATOM>(reinterpret_cast<ULONG_PTR>(name))
                                 : strcasecmp(c->name.c_str(), name) == 0) {
            return c.get();
        }
    }
    return nullptr;
}

void RegisterBuiltInClass(const char* name, ClassKind kind, WNDPROC proc, UINT style,
                          HBRUSH background, int extra) {
    State& s = S();
    if (FindClass(name)) {
        return;
    }
    auto c = std::make_unique<WindowClass>();
    c->name = name;
    c->atom = kind == ClassKind::Dialog ? 0x8002 : s.table.nextAtom++;
    c->kind = kind;
    c->proc = proc;
    c->style = style;
    c->background = background;
    c->windowExtra = extra;
    s.table.classes.push_back(std::move(c));
}

}  // namespace platform::user

namespace pu = platform::user;

ATOM WINAPI RegisterClassExA(const WNDCLASSEXA* wc) {
    // Out of memory gives the failure result Win32 gives, not an exception.
    try {
        pu::State& s = pu::S();
        if (!wc || wc->cbSize != sizeof(WNDCLASSEXA) || !wc->lpfnWndProc || !wc->lpszClassName ||
            IS_INTRESOURCE(wc->lpszClassName) || !*wc->lpszClassName ||
            pu::FindClass(wc->lpszClassName) ||
            platform::ShouldInjectFault(platform::FaultSite::ClassRegister)) {
            return 0;
        }
        auto c = std::make_unique<pu::WindowClass>();
        c->name = wc->lpszClassName;
        c->atom = s.table.nextAtom++;
        c->style = wc->style;
        c->proc = wc->lpfnWndProc;
        c->instance = wc->hInstance;
        c->cursor = wc->hCursor;
        c->background = wc->hbrBackground;
        c->windowExtra = std::clamp(wc->cbWndExtra, 0, 40);
        if (wc->lpszMenuName) {
            if (IS_INTRESOURCE(wc->lpszMenuName)) {
                c->menuId = static_cast<int>(reinterpret_cast<ULONG_PTR>(wc->lpszMenuName));
            } else {
                c->menuName = wc->lpszMenuName;
            }
        }
        ATOM atom = c->atom;
        s.table.classes.push_back(std::move(c));
        return atom;
    } catch (const std::bad_alloc&) {
        return 0;
    }
}

BOOL WINAPI UnregisterClassA(LPCSTR name, HINSTANCE) {
    pu::State& s = pu::S();
    pu::WindowClass* c = pu::FindClass(name);
    if (!c || c->kind != pu::ClassKind::Custom || c->windowCount > 0) {
        return FALSE;
    }
    std::erase_if(s.table.classes,
                  [c](const std::unique_ptr<pu::WindowClass>& p) { return p.get() == c; });
    return TRUE;
}
