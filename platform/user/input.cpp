// Key state, the cursor and the key filter: the filter on the application
// that turns Qt's keys, composed characters and mouse presses for our
// windows into queued messages before any widget sees them, virtual-key
// codes from Qt's keys and back, GetKeyState as of the message being handled,
// the replay of a key to its widget, and the system cursors' stand-in
// handles.
//
// Leaves out: keyboard layouts other than the US one for virtual-key codes
// of punctuation (the characters typed are always right, they come from Qt),
// GetAsyncKeyState, GetKeyboardState, and cursors other than the arrow and
// the cross-hair.
#include <QApplication>
#include <QInputMethodEvent>
#include <QKeyEvent>
#include <QMenuBar>
#include <QWidget>
#include <cstdint>
#include <string>

#include "platform/user/display/display.h"
#include "platform/user/input.h"
#include "platform/user/qt/widget_kit.h"
#include "platform/user/qt/widgets.h"
#include "platform/user/queue.h"
#include "platform/user/window.h"

namespace platform::user {
namespace {

class InputFilter : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* object, QEvent* e) override {
        State& s = S();
        switch (e->type()) {
            case QEvent::ShortcutOverride:
                if (!s.input.replaying && Ours(object)) {
                    e->accept();  // no Qt shortcut takes a key meant for our loop
                    return true;
                }
                return false;
            case QEvent::KeyPress:
            case QEvent::KeyRelease:
                // The menu bar's own keys (an open popup hands it Left and
                // Right; in its keyboard mode it takes them all) stay with it.
                if (s.input.replaying || !Ours(object) || qobject_cast<QMenuBar*>(object)) {
                    return false;
                }
                return Key(static_cast<QWidget*>(object), static_cast<QKeyEvent*>(e));
            case QEvent::InputMethod:
                if (s.input.replaying || !Ours(object)) {
                    return false;
                }
                Compose(static_cast<QWidget*>(object), static_cast<QInputMethodEvent*>(e));
                return true;
            case QEvent::MouseButtonPress:
            case QEvent::MouseButtonDblClick:
                if (Ours(object)) {
                    EndSizeBurst();
                }
                return false;
            default:
                return false;
        }
    }

private:
    static bool Ours(QObject* object) {
        auto* widget = qobject_cast<QWidget*>(object);
        return widget && IsOurWidget(widget);
    }

    static bool Key(QWidget* widget, QKeyEvent* k) {
        bool press = k->type() == QEvent::KeyPress;
        if (!press && k->isAutoRepeat()) {
            return true;  // X11 reports each repeat as a release and a press
        }
        HWND target = HandleOfWidget(widget);
        if (!target) {
            return false;
        }
        KeyRecord key;
        key.qtKey = k->key();
        key.modifiers = k->modifiers();
        key.text = press ? k->text() : QString();
        key.nativeScanCode = k->nativeScanCode();
        key.nativeVirtualKey = k->nativeVirtualKey();
        key.nativeModifiers = k->nativeModifiers();
        key.autoRepeat = k->isAutoRepeat();
        int vk = VirtualKeyFromQt(key);
        bool alt = k->modifiers().testFlag(Qt::AltModifier);
        if (vk == VK_MENU) {
            alt = press;
        }
        // Alt's own release is a system key too, as on Windows, so that
        // Alt tapped alone reaches the menu bar.
        bool system = alt || vk == VK_F10 || vk == VK_MENU;
        QueuedMessage m;
        m.msg.hwnd = target;
        m.msg.message =
            press ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
        m.msg.wParam = static_cast<WPARAM>(vk);
        DWORD scan = (k->nativeScanCode() > 8 ? k->nativeScanCode() - 8 : 0) & 0xFF;
        DWORD lp = 1 | (scan << 16);
        if (alt) {
            lp |= 1u << 29;
        }
        if (!press || k->isAutoRepeat()) {
            lp |= 1u << 30;  // the key was down before
        }
        if (!press) {
            lp |= 1u << 31;
        }
        m.msg.lParam = static_cast<LPARAM>(lp);
        m.modifiers = k->modifiers();
        m.hasKey = true;
        m.key = key;
        PostInput(m);
        return true;
    }

    static void Compose(QWidget* widget, QInputMethodEvent* e) {
        HWND target = HandleOfWidget(widget);
        std::string text = AnsiFromQString(e->commitString());
        for (char c : text) {
            QueuedMessage m;
            m.msg.hwnd = target;
            m.msg.message = WM_CHAR;
            m.msg.wParam = static_cast<unsigned char>(c);
            m.msg.lParam = 1;
            PostInput(m);
        }
    }
};

}  // namespace

void UpdateKeyState(const QueuedMessage& e) {
    State& s = S();
    auto set = [&s](int vk, bool down) {
        BYTE& b = s.input.keyState[static_cast<std::size_t>(vk)];
        if (down && !(b & 0x80)) {
            b ^= 1;  // toggle state flips on each press
        }
        b = static_cast<BYTE>(down ? (b | 0x80) : (b & ~0x80));
    };
    bool shift = e.modifiers.testFlag(Qt::ShiftModifier);
    bool control = e.modifiers.testFlag(Qt::ControlModifier);
    bool alt = e.modifiers.testFlag(Qt::AltModifier);
    UINT m = e.msg.message;
    if (e.hasKey) {
        int vk = static_cast<int>(e.msg.wParam & 0xFF);
        bool down = m == WM_KEYDOWN || m == WM_SYSKEYDOWN;
        // Qt reports a modifier key's own press without its flag and its
        // release with it; the message itself says which way it went.
        if (vk == VK_SHIFT) {
            shift = down;
        } else if (vk == VK_CONTROL) {
            control = down;
        } else if (vk == VK_MENU) {
            alt = down;
        } else if (vk) {
            set(vk, down);
        }
    } else {
        set(VK_LBUTTON, e.buttons.testFlag(Qt::LeftButton));
        set(VK_RBUTTON, e.buttons.testFlag(Qt::RightButton));
        set(VK_MBUTTON, e.buttons.testFlag(Qt::MiddleButton));
    }
    set(VK_SHIFT, shift);
    set(VK_LSHIFT, shift);
    set(VK_CONTROL, control);
    set(VK_LCONTROL, control);
    set(VK_MENU, alt);
    set(VK_LMENU, alt);
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

KeyRecord KeyOf(WPARAM vk) {
    State& s = S();
    if (s.input.hasDispatchKey && VirtualKeyFromQt(s.input.dispatchKey) == static_cast<int>(vk)) {
        return s.input.dispatchKey;
    }
    KeyRecord k;
    if (vk >= 'A' && vk <= 'Z') {
        k.qtKey = Qt::Key_A + static_cast<int>(vk - 'A');
    } else if (vk >= '0' && vk <= '9') {
        k.qtKey = Qt::Key_0 + static_cast<int>(vk - '0');
    } else {
        switch (vk) {
            case VK_SPACE:
                k.qtKey = Qt::Key_Space;
                break;
            case VK_RETURN:
                k.qtKey = Qt::Key_Return;
                break;
            case VK_BACK:
                k.qtKey = Qt::Key_Backspace;
                break;
            case VK_DELETE:
                k.qtKey = Qt::Key_Delete;
                break;
            case VK_LEFT:
                k.qtKey = Qt::Key_Left;
                break;
            case VK_RIGHT:
                k.qtKey = Qt::Key_Right;
                break;
            case VK_UP:
                k.qtKey = Qt::Key_Up;
                break;
            case VK_DOWN:
                k.qtKey = Qt::Key_Down;
                break;
            case VK_HOME:
                k.qtKey = Qt::Key_Home;
                break;
            case VK_END:
                k.qtKey = Qt::Key_End;
                break;
            default:
                k.qtKey = 0;
                break;
        }
    }
    if (GetKeyState(VK_SHIFT) < 0) {
        k.modifiers |= Qt::ShiftModifier;
    }
    if (GetKeyState(VK_CONTROL) < 0) {
        k.modifiers |= Qt::ControlModifier;
    }
    return k;
}

void InstallInputFilter() {
    static InputFilter* filter = nullptr;
    if (!filter) {
        // Owned by the application object, which is never destroyed.
        filter = MakeOwned<InputFilter>(qApp);
        qApp->installEventFilter(filter);
        QObject::connect(qApp, &QGuiApplication::applicationStateChanged, filter,
                         [](Qt::ApplicationState state) {
                             State& s = S();
                             if (state != Qt::ApplicationActive && Find(s.input.capture)) {
                                 // The pointer went to another application.
                                 QueuedMessage m;
                                 m.msg.hwnd = s.input.capture;
                                 m.msg.message = WM_CAPTURECHANGED;
                                 s.input.capture = nullptr;
                                 Enqueue(m);
                             }
                         });
    }
}

HCURSOR SystemCursor(ULONG_PTR id) {
    // A handle that names the system cursor; nothing is loaded.
    return reinterpret_cast<HCURSOR>(static_cast<ULONG_PTR>(0x7F000000u + id));
}

void ReplayKey(Window& w, const KeyRecord& key, bool press) {
    if (!w.widget) {
        return;
    }
    State& s = S();
    bool saved = s.input.replaying;
    s.input.replaying = true;
    QKeyEvent event(press ? QEvent::KeyPress : QEvent::KeyRelease, key.qtKey, key.modifiers,
                    key.nativeScanCode, key.nativeVirtualKey, key.nativeModifiers, QString(),
                    key.autoRepeat);
    QCoreApplication::sendEvent(w.widget.data(), &event);
    s.input.replaying = saved;
}

}  // namespace platform::user

SHORT WINAPI GetKeyState(int key) {
    platform::user::State& s = platform::user::S();
    BYTE b = s.input.keyState[static_cast<std::size_t>(key) & 0xFF];
    std::uint16_t result = static_cast<std::uint16_t>(((b & 0x80) ? 0xFF80 : 0) | (b & 1));
    return static_cast<SHORT>(result);
}

HCURSOR WINAPI LoadCursorA(HINSTANCE instance, LPCSTR name) {
    if (instance || !IS_INTRESOURCE(name)) {
        return nullptr;
    }
    auto id = reinterpret_cast<ULONG_PTR>(name);
    if (id < 32512 || id > 32515) {
        return nullptr;
    }
    return platform::user::SystemCursor(id);
}

HCURSOR WINAPI SetCursor(HCURSOR cursor) {
    return cursor;
}
