// Test helpers; see support.h. Sets up the offscreen platform when the test
// runs outside CTest.
#include "tests/platform/user/support.h"

#include <unistd.h>
#include <QCoreApplication>
#include <QImage>
#include <QKeyEvent>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "platform/internal/surface.h"
#include "platform/internal/window_bridge.h"
#include "platform/user/model.h"
#include "platform/user/nonclient.h"

namespace {

// Runs before the layer starts Qt: the offscreen platform and a private
// runtime folder, unless the environment already names them.
const bool environmentReady = [] {
    setenv("QT_QPA_PLATFORM", "offscreen", 0);
    if (!std::getenv("XDG_RUNTIME_DIR")) {
        std::string dir = "/tmp/zembrix-runtime-" + std::to_string(getuid());
        std::filesystem::create_directories(dir);
        std::filesystem::permissions(dir, std::filesystem::perms::owner_all);
        setenv("XDG_RUNTIME_DIR", dir.c_str(), 1);
    }
    return true;
}();

}  // namespace

std::vector<Logged>& Log() {
    static std::vector<Logged> log;
    return log;
}

std::vector<UINT> MessagesOf(HWND window, std::initializer_list<UINT> only) {
    std::set<UINT> keep(only);
    std::vector<UINT> out;
    for (const Logged& l : Log()) {
        if (l.hwnd == window && (keep.empty() || keep.count(l.message))) {
            out.push_back(l.message);
        }
    }
    return out;
}

std::vector<std::pair<HWND, UINT>> Sequence(std::initializer_list<UINT> only) {
    std::set<UINT> keep(only);
    std::vector<std::pair<HWND, UINT>> out;
    for (const Logged& l : Log()) {
        if (keep.count(l.message)) {
            out.emplace_back(l.hwnd, l.message);
        }
    }
    return out;
}

LRESULT CALLBACK RecordingProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    Log().push_back({h, m, w, l});
    return DefWindowProcA(h, m, w, l);
}

INT_PTR CALLBACK RecordingDialogProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    Log().push_back({h, m, w, l});
    if (m == WM_INITDIALOG) {
        SetWindowLongPtrA(h, DWLP_USER, l);
        return TRUE;
    }
    return FALSE;
}

HINSTANCE Instance() {
    return GetModuleHandleA(nullptr);
}

void RegisterTestClass(const char* name, UINT style, HBRUSH background, LPCSTR menu,
                       LPCSTR cursor) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof wc;
    wc.style = style;
    wc.lpfnWndProc = RecordingProc;
    wc.hInstance = Instance();
    wc.hCursor = LoadCursorA(nullptr, cursor);
    wc.hbrBackground = background;
    wc.lpszMenuName = menu;
    wc.lpszClassName = name;
    RegisterClassExA(&wc);
}

HWND CreateFrame(const char* className, DWORD style) {
    RegisterTestClass(className);
    return CreateWindowExA(WS_EX_CONTROLPARENT, className, "Frame", style, CW_USEDEFAULT,
                           CW_USEDEFAULT, 550, 300, nullptr, nullptr, Instance(), nullptr);
}

void RunUntilIdle(HWND frame, HACCEL table) {
    MSG msg;
    for (int i = 0; i < 10000 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (frame && table && TranslateAcceleratorA(frame, table, &msg)) {
            continue;
        }
        HWND active = GetActiveWindow();
        if (active && IsDialogMessageA(active, &msg)) {
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
}

QWidget* WidgetOf(HWND window) {
    return platform::WidgetOfWindow(window);
}

std::uint32_t ShownPixel(HWND window, int x, int y) {
    QWidget* widget = WidgetOf(window);
    platform::user::Window* w = platform::user::Find(window);
    if (!widget || !w) {
        return 0;
    }
    QImage shown(widget->size(), QImage::Format_ARGB32_Premultiplied);
    shown.fill(Qt::transparent);
    widget->render(&shown, QPoint(), QRegion(), QWidget::DrawChildren);
    return shown.pixel(QPoint(x, y) + platform::user::ClientRectInWindow(*w).topLeft());
}

void TypeKey(HWND window, int qtKey, Qt::KeyboardModifiers modifiers, const QString& text) {
    QWidget* w = WidgetOf(window);
    if (!w) {
        return;
    }
    QKeyEvent press(QEvent::KeyPress, qtKey, modifiers, text);
    QCoreApplication::sendEvent(w, &press);
    QKeyEvent release(QEvent::KeyRelease, qtKey, modifiers, text);
    QCoreApplication::sendEvent(w, &release);
}
