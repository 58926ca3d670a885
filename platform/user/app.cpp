// The layer's start: the Qt application, the silent message handler, the
// model that is never destroyed, the surface hooks GDI draws through, key
// translation, and the bridge the common dialogs use.
//
// Leaves out: keyboard layouts other than the US one for virtual-key codes
// of punctuation (the characters typed are always right, they come from Qt).
#include <unistd.h>
#include <xcb/xcb.h>
#include <QApplication>
#include <QScreen>
#include <QTimer>
#include <chrono>
#include <clocale>
#include <cstdlib>
#include <memory>

#include "platform/internal/surface.h"
#include "platform/internal/window_bridge.h"
#include "platform/user/internal.h"

namespace platform::user {
namespace {

// Storage that is constructed on first use and never destroyed.
template <class T>
class Immortal {
public:
    template <class... Args>
    T* Construct(Args&&... args) {
        return std::construct_at(reinterpret_cast<T*>(storage_), std::forward<Args>(args)...);
    }

private:
    alignas(T) unsigned char storage_[sizeof(T)];
};

bool constructingApplication = false;

void DropMessage(QtMsgType type, const QMessageLogContext&, const QString&) {
    if (type == QtFatalMsg && constructingApplication) {
        // Qt gives up when no platform (no display) can be opened; say so
        // once and end as a failed start, instead of Qt's abort.
        static const char line[] = "zembrix: cannot open a display\n";
        ssize_t written = ::write(STDERR_FILENO, line, sizeof line - 1);
        (void)written;
        std::_Exit(-1);
    }
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

void NotifyDisplayChange() {
    QScreen* screen = QGuiApplication::primaryScreen();
    WPARAM depth = screen ? static_cast<WPARAM>(screen->depth()) : 32;
    QRect g = screen ? screen->geometry() : QRect();
    for (auto& [value, window] : S().windows) {
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

void Initialise() {
    setlocale(LC_NUMERIC, "C");
    WindowSurfaceHooks hooks;
    hooks.lock = LockSurface;
    hooks.unlock = UnlockSurface;
    SetWindowSurfaceHooks(hooks);
    InstallInputFilter();
    WatchScreens();
    RegisterSystemClasses();
}

Immortal<QApplication> applicationStorage;

// Of X11 and Wayland only X11 gives a Win32 program its window model: its own
// window positions, tool windows and dialogs placed relative to their owner,
// frame extents, activation and modality as Windows has them. So the layer
// runs on X11 whenever DISPLAY names a server it can reach, whatever the
// session type (Qt would take Wayland in a Wayland session), and on Wayland
// only without one. A platform the user names (QT_QPA_PLATFORM, or Qt's
// -platform option, which comes first) is kept.
void ChooseDisplaySystem() {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        return;
    }
    const QByteArray display = qgetenv("DISPLAY");
    if (!display.isEmpty()) {
        xcb_connection_t* c = xcb_connect(display.constData(), nullptr);
        const bool reachable = c && !xcb_connection_has_error(c);
        xcb_disconnect(c);
        if (reachable) {
            qputenv("QT_QPA_PLATFORM", "xcb");
            return;
        }
    }
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "wayland");
    }
}

}  // namespace

void StartApplication(int& argc, char** argv) {
    if (QCoreApplication::instance()) {
        return;
    }
    qInstallMessageHandler(DropMessage);
    // Qt's own high-DPI scaling stays on. On a desktop that asks for 200 %
    // (Xft.dpi 192, or QT_SCALE_FACTOR) a Win32 pixel is a logical pixel of
    // 2 x 2 device pixels, as Windows scales a program that does not declare
    // itself DPI-aware: windows, menus and dialog fonts grow with the scale,
    // and each window's surface is drawn enlarged without smoothing. At 100 %
    // one Win32 pixel is one device pixel.
    ChooseDisplaySystem();
    constructingApplication = true;
    applicationStorage.Construct(argc, argv);
    constructingApplication = false;
    IdentifyApplication();
    S();
}

void EnsureApplication() {
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "zembrix";
        static char* argv[] = {name, nullptr};
        StartApplication(argc, argv);
    }
}

State& S() {
    static Immortal<State> storage;
    static State* state = nullptr;
    if (!state) {
        EnsureApplication();
        if (!state) {
            state = storage.Construct();
            Initialise();
        }
    }
    return *state;
}

DWORD NextMessageTime() {
    // Strictly increasing, so the time names one message (TranslateMessage
    // finds a key's characters by it); close to milliseconds since start.
    static const auto start = std::chrono::steady_clock::now();
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(
                  std::chrono::steady_clock::now() - start)
                  .count();
    DWORD now = static_cast<DWORD>(ms);
    State& s = S();
    s.lastTime = now > s.lastTime ? now : s.lastTime + 1;
    return s.lastTime;
}

std::string AnsiFromQString(const QString& text) {
    QByteArray bytes = text.toLatin1();
    return std::string(bytes.constData(), static_cast<std::size_t>(bytes.size()));
}

QString QStringFromAnsi(const std::string& text) {
    return QString::fromLatin1(text.data(), static_cast<qsizetype>(text.size()));
}

int VirtualKeyFromQt(const KeyRecord& key) {
    int k = key.qtKey;
    bool keypad = key.modifiers.testFlag(Qt::KeypadModifier);
    if (keypad && k >= Qt::Key_0 && k <= Qt::Key_9) {
        return VK_NUMPAD0 + (k - Qt::Key_0);
    }
    if (k >= Qt::Key_A && k <= Qt::Key_Z) {
        return 'A' + (k - Qt::Key_A);
    }
    if (k >= Qt::Key_0 && k <= Qt::Key_9) {
        return '0' + (k - Qt::Key_0);
    }
    if (k >= Qt::Key_F1 && k <= Qt::Key_F24) {
        return VK_F1 + (k - Qt::Key_F1);
    }
    switch (k) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            return VK_RETURN;
        case Qt::Key_Escape:
            return VK_ESCAPE;
        case Qt::Key_Tab:
        case Qt::Key_Backtab:
            return VK_TAB;
        case Qt::Key_Backspace:
            return VK_BACK;
        case Qt::Key_Delete:
            return VK_DELETE;
        case Qt::Key_Insert:
            return VK_INSERT;
        case Qt::Key_Home:
            return VK_HOME;
        case Qt::Key_End:
            return VK_END;
        case Qt::Key_PageUp:
            return VK_PRIOR;
        case Qt::Key_PageDown:
            return VK_NEXT;
        case Qt::Key_Left:
            return VK_LEFT;
        case Qt::Key_Right:
            return VK_RIGHT;
        case Qt::Key_Up:
            return VK_UP;
        case Qt::Key_Down:
            return VK_DOWN;
        case Qt::Key_Shift:
            return VK_SHIFT;
        case Qt::Key_Control:
            return VK_CONTROL;
        case Qt::Key_Alt:
        case Qt::Key_AltGr:
            return VK_MENU;
        case Qt::Key_Meta:
            return VK_LWIN;
        case Qt::Key_Menu:
            return VK_APPS;
        case Qt::Key_Space:
            return VK_SPACE;
        case Qt::Key_Pause:
            return VK_PAUSE;
        case Qt::Key_CapsLock:
            return VK_CAPITAL;
        case Qt::Key_NumLock:
            return VK_NUMLOCK;
        case Qt::Key_ScrollLock:
            return VK_SCROLL;
        case Qt::Key_Asterisk:
            return keypad ? VK_MULTIPLY : '8';
        case Qt::Key_Plus:
            return keypad ? VK_ADD : VK_OEM_PLUS;
        case Qt::Key_Minus:
            return keypad ? VK_SUBTRACT : VK_OEM_MINUS;
        case Qt::Key_Period:
            return keypad ? VK_DECIMAL : VK_OEM_PERIOD;
        case Qt::Key_Slash:
            return keypad ? VK_DIVIDE : VK_OEM_2;
        case Qt::Key_Comma:
            return VK_OEM_COMMA;
        case Qt::Key_Equal:
            return VK_OEM_PLUS;
        case Qt::Key_Underscore:
            return VK_OEM_MINUS;
        case Qt::Key_Semicolon:
        case Qt::Key_Colon:
            return VK_OEM_1;
        case Qt::Key_Question:
            return VK_OEM_2;
        case Qt::Key_QuoteLeft:
        case Qt::Key_AsciiTilde:
            return VK_OEM_3;
        case Qt::Key_BracketLeft:
        case Qt::Key_BraceLeft:
            return VK_OEM_4;
        case Qt::Key_Backslash:
        case Qt::Key_Bar:
            return VK_OEM_5;
        case Qt::Key_BracketRight:
        case Qt::Key_BraceRight:
            return VK_OEM_6;
        case Qt::Key_Apostrophe:
        case Qt::Key_QuoteDbl:
            return VK_OEM_7;
        case Qt::Key_Less:
            return VK_OEM_COMMA;
        case Qt::Key_Greater:
            return VK_OEM_PERIOD;
        case Qt::Key_Exclam:
            return '1';
        case Qt::Key_At:
            return '2';
        case Qt::Key_NumberSign:
            return '3';
        case Qt::Key_Dollar:
            return '4';
        case Qt::Key_Percent:
            return '5';
        case Qt::Key_AsciiCircum:
            return '6';
        case Qt::Key_Ampersand:
            return '7';
        case Qt::Key_ParenLeft:
            return '9';
        case Qt::Key_ParenRight:
            return '0';
        default:
            return 0;
    }
}

}  // namespace platform::user

namespace platform {

QWidget* WidgetOfWindow(HWND window) {
    user::Window* w = user::Find(window);
    return w ? w->widget.data() : nullptr;
}

void BeginForeignModal(HWND owner) {
    user::State& s = user::S();
    ++s.foreignModalDepth;
    ReleaseCapture();
    user::Window* top = user::TopLevelOf(user::Find(owner));
    if (top && ++top->foreignModalDepth == 1) {
        // Disabled here only if it was enabled: whoever disabled it before
        // enables it again.
        top->foreignDisabled = !(top->style & WS_DISABLED);
        if (top->foreignDisabled) {
            EnableWindow(top->handle, FALSE);
        }
    }
    user::ScheduleForeignDrain();
}

void EndForeignModal(HWND owner) {
    user::State& s = user::S();
    if (s.foreignModalDepth > 0) {
        --s.foreignModalDepth;
    }
    user::Window* top = user::TopLevelOf(user::Find(owner));
    if (top && top->foreignModalDepth > 0 && --top->foreignModalDepth == 0 &&
        top->foreignDisabled) {
        top->foreignDisabled = false;
        EnableWindow(top->handle, TRUE);
        user::ActivateWindow(top);
    }
}

}  // namespace platform
