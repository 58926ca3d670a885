// Conformance of menus and accelerators: WM_INITMENU on entering the menu
// bar by key, the keyboard in the bar and its popups, and
// TranslateAcceleratorA's WM_INITMENU and WM_COMMAND, sent synchronously, with
// the minimised and captured cases. (Clicks on the menu bar, the items and
// their check marks are covered by the app and end-to-end tests.)
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QKeyEvent>
#include <QMenu>
#include <QMenuBar>
#include <QMouseEvent>

#include "tests/platform/user/support.h"

namespace {

HWND MenuFrame() {
    RegisterTestClass("MenuFrame", CS_HREDRAW | CS_VREDRAW,
                      reinterpret_cast<HBRUSH>(COLOR_MENU + 1), MAKEINTRESOURCEA(103));
    return CreateWindowExA(0, "MenuFrame", "Zembrix", WS_POPUP | WS_OVERLAPPEDWINDOW, CW_USEDEFAULT,
                           CW_USEDEFAULT, 550, 300, nullptr, nullptr, Instance(), nullptr);
}

std::vector<std::pair<UINT, WPARAM>> MenuTraffic(HWND frame) {
    std::vector<std::pair<UINT, WPARAM>> out;
    for (const Logged& l : Log()) {
        if (l.hwnd == frame && (l.message == WM_INITMENU || l.message == WM_COMMAND)) {
            out.emplace_back(l.message, l.message == WM_COMMAND ? LOWORD(l.wParam) : 0);
        }
    }
    return out;
}

MSG KeyMessage(HWND target, UINT message, WPARAM vk, LPARAM flags = 0) {
    MSG m{};
    m.hwnd = target;
    m.message = message;
    m.wParam = vk;
    m.lParam = 1 | flags;
    return m;
}

}  // namespace

TEST(Accelerators, AltF4MatchesOnlyWithAltDownAsOfTheMessage) {
    HWND frame = MenuFrame();
    ShowWindow(frame, SW_SHOW);
    HACCEL table = LoadAcceleratorsA(Instance(), MAKEINTRESOURCEA(105));
    RunUntilIdle();
    Log().clear();
    TypeKey(frame, Qt::Key_F4, Qt::AltModifier);
    MSG msg;
    bool translated = false;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_SYSKEYDOWN) {
            translated = TranslateAcceleratorA(frame, table, &msg) == 1;
        }
    }
    EXPECT_TRUE(translated);
    EXPECT_EQ(MenuTraffic(frame).back(), (std::pair<UINT, WPARAM>{WM_COMMAND, 40001}));
    TypeKey(frame, Qt::Key_Alt);  // Alt goes up again
    RunUntilIdle();
    EXPECT_GE(GetKeyState(VK_MENU), 0);
}

TEST(Accelerators, NoCommandForAMenuItemWhileMinimisedAndNoWmInitMenuWhileCaptured) {
    HWND frame = MenuFrame();
    ShowWindow(frame, SW_SHOW);
    HACCEL table = LoadAcceleratorsA(Instance(), MAKEINTRESOURCEA(105));
    ShowWindow(frame, SW_MINIMIZE);
    Log().clear();
    MSG f1 = KeyMessage(frame, WM_KEYDOWN, VK_F1);
    EXPECT_EQ(TranslateAcceleratorA(frame, table, &f1), 1);
    EXPECT_TRUE(MenuTraffic(frame).empty());
    ShowWindow(frame, SW_RESTORE);
    SetCapture(frame);
    Log().clear();
    EXPECT_EQ(TranslateAcceleratorA(frame, table, &f1), 1);
    EXPECT_EQ(MenuTraffic(frame), (std::vector<std::pair<UINT, WPARAM>>{{WM_COMMAND, 40009}}));
}

TEST(MenuBar, F10AndAltWithAMnemonicOpenTheMenuBarAfterWmInitMenu) {
    HWND frame = MenuFrame();
    ShowWindow(frame, SW_SHOW);
    RunUntilIdle();
    QMenuBar* bar = WidgetOf(frame)->findChild<QMenuBar*>();
    Log().clear();
    TypeKey(frame, Qt::Key_F10);
    RunUntilIdle();
    EXPECT_EQ(MenuTraffic(frame), (std::vector<std::pair<UINT, WPARAM>>{{WM_INITMENU, 0}}));
    EXPECT_EQ(bar->activeAction(), bar->actions()[0]);
    bar->actions()[0]->menu()->hide();
    Log().clear();
    TypeKey(frame, Qt::Key_H, Qt::AltModifier, "h");
    RunUntilIdle();
    EXPECT_EQ(MenuTraffic(frame), (std::vector<std::pair<UINT, WPARAM>>{{WM_INITMENU, 0}}));
    EXPECT_EQ(bar->activeAction(), bar->actions()[2]);
}

TEST(MenuBar, AltTappedAloneOpensTheMenuBarButNotAroundAMouseButton) {
    HWND frame = MenuFrame();
    ShowWindow(frame, SW_SHOW);
    RunUntilIdle();
    QWidget* widget = WidgetOf(frame);
    QMenuBar* bar = widget->findChild<QMenuBar*>();
    auto alt = [widget](QEvent::Type type) {
        QKeyEvent key(type, Qt::Key_Alt,
                      type == QEvent::KeyPress ? Qt::NoModifier : Qt::AltModifier);
        QCoreApplication::sendEvent(widget, &key);
    };
    auto button = [widget](QEvent::Type type) {
        const QPointF at(40, 40);
        QMouseEvent mouse(type, at, widget->mapToGlobal(at), Qt::LeftButton,
                          type == QEvent::MouseButtonPress ? Qt::LeftButton : Qt::NoButton,
                          Qt::AltModifier);
        QCoreApplication::sendEvent(widget, &mouse);
    };
    // Alt down, a button released (the zoom-out gesture), Alt up: all queued
    // before any is handled, as during a computation.
    button(QEvent::MouseButtonPress);
    alt(QEvent::KeyPress);
    button(QEvent::MouseButtonRelease);
    alt(QEvent::KeyRelease);
    RunUntilIdle();
    EXPECT_EQ(bar->activeAction(), nullptr) << "a click between Alt's press and release";

    alt(QEvent::KeyPress);
    alt(QEvent::KeyRelease);
    RunUntilIdle();
    EXPECT_EQ(bar->activeAction(), bar->actions()[0]);
}
