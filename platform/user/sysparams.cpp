// System colours and metrics: GetSysColor with the default colours of a
// current Windows, GetSystemMetrics for the metrics the layer and the program
// use, and WM_DISPLAYCHANGE when a screen changes.
//
// Leaves out: SystemParametersInfo, SetSysColors, metrics of a per-monitor
// DPI; the other metrics read as 0.
#include <QGuiApplication>
#include <QScreen>
#include <cstdint>
#include <iterator>

#include "platform/user/queue.h"
#include "platform/user/sysparams.h"

namespace platform::user {
namespace {

void NotifyDisplayChange() {
    QScreen* screen = QGuiApplication::primaryScreen();
    WPARAM depth = screen ? static_cast<WPARAM>(screen->depth()) : 32;
    QRect g = screen ? screen->geometry() : QRect();
    for (auto& [value, window] : S().table.windows) {
        if (!(window->style & WS_CHILD)) {
            QueuedMessage entry;
            entry.msg.hwnd = window->handle;
            entry.msg.message = WM_DISPLAYCHANGE;
            entry.msg.wParam = depth;
            entry.msg.lParam = MAKELPARAM(g.width(), g.height());
            Enqueue(entry);
        }
    }
}

}  // namespace

QSize ScreenSize() {
    QScreen* screen = QGuiApplication::primaryScreen();
    return screen ? screen->size() : QSize(1024, 768);
}

void WatchScreens() {
    auto watch = [](QScreen* screen) {
        QObject::connect(screen, &QScreen::geometryChanged, qApp, [] { NotifyDisplayChange(); });
    };
    for (QScreen* screen : QGuiApplication::screens()) {
        watch(screen);
    }
    QObject::connect(qApp, &QGuiApplication::screenAdded, qApp, [watch](QScreen* screen) {
        watch(screen);
        NotifyDisplayChange();
    });
    QObject::connect(qApp, &QGuiApplication::primaryScreenChanged, qApp,
                     [] { NotifyDisplayChange(); });
}

COLORREF SystemColour(int index) {
    // The default Windows 10 colours, as 0xRRGGBB; converted below.
    static constexpr std::uint32_t rgb[] = {
        0xC8C8C8, 0x000000, 0x99B4D1, 0xBFCDDB, 0xF0F0F0, 0xFFFFFF, 0x646464, 0x000000,
        0x000000, 0x000000, 0xB4B4B4, 0xF4F7FC, 0xABABAB, 0x0078D7, 0xFFFFFF, 0xF0F0F0,
        0xA0A0A0, 0x6D6D6D, 0x000000, 0x000000, 0xFFFFFF, 0x696969, 0xE3E3E3, 0x000000,
        0xFFFFE1, 0x000000, 0x0066CC, 0xB9D1EA, 0xD7E4F2, 0x3399FF, 0xF0F0F0};
    if (index < 0 || index >= static_cast<int>(std::size(rgb))) {
        return 0;
    }
    std::uint32_t v = rgb[index];
    return RGB((v >> 16) & 0xFF, (v >> 8) & 0xFF, v & 0xFF);
}

QColor ToQColor(COLORREF c) {
    return QColor(GetRValue(c), GetGValue(c), GetBValue(c));
}

}  // namespace platform::user

DWORD WINAPI GetSysColor(int index) {
    return platform::user::SystemColour(index);
}

int WINAPI GetSystemMetrics(int index) {
    const QSize sz = platform::user::ScreenSize();
    switch (index) {
        case SM_CXSCREEN:
            return sz.width();
        case SM_CYSCREEN:
            return sz.height();
        case SM_CYCAPTION:
            return 23;
        case SM_CXBORDER:
        case SM_CYBORDER:
            return 1;
        case SM_CXDLGFRAME:
        case SM_CYDLGFRAME:
            return 3;
        case SM_CYMENU:
            return 20;
        case SM_CXFRAME:
        case SM_CYFRAME:
            return 4;
        case SM_CXMINTRACK:
            return 136;
        case SM_CYMINTRACK:
            return 39;
        case SM_CXEDGE:
        case SM_CYEDGE:
            return 2;
        default:
            return 0;
    }
}
