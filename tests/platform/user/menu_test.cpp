// Conformance of menus and accelerators: the class menu as the frame's menu
// bar (popups, items, separators, MF_GRAYED, shortcut texts, no Qt
// shortcuts), WM_INITMENU on entering the menu bar, WM_COMMAND for a chosen
// item, the keyboard in the bar and its popups, CheckMenuItem by command, and
// TranslateAcceleratorA's WM_INITMENU and WM_COMMAND, sent synchronously, with
// the minimised and captured cases.
#include <gtest/gtest.h>

#include <QAction>
#include <QApplication>
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

QAction* ActionNamed(HWND frame, const QString& text) {
    for (QAction* a : WidgetOf(frame)->findChildren<QAction*>()) {
        if (a->text() == text) {
            return a;
        }
    }
    return nullptr;
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

TEST(MenuBar, TheClassMenuBecomesTheMenuBarWithoutQtShortcuts) {
    HWND frame = MenuFrame();
    auto* bar = WidgetOf(frame)->findChild<QMenuBar*>();
    ASSERT_NE(bar, nullptr);
    QStringList popups;
    for (QAction* a : bar->actions()) {
        popups << a->text();
    }
    EXPECT_EQ(popups, (QStringList{"&File", "&View", "&Help"}));
    QAction* refresh = ActionNamed(frame, "&Refresh\tF5");
    ASSERT_NE(refresh, nullptr);
    EXPECT_TRUE(refresh->shortcut().isEmpty());
    EXPECT_FALSE(ActionNamed(frame, "Render To File...")->isEnabled());
    QMenu* file = bar->actions()[0]->menu();
    ASSERT_NE(file, nullptr);
    EXPECT_EQ(file->actions().size(), 4);
    EXPECT_TRUE(file->actions()[1]->isSeparator());
}

TEST(MenuBar, EnteringTheMenuBarSendsWmInitMenuAndAChosenItemPostsItsCommand) {
    HWND frame = MenuFrame();
    ShowWindow(frame, SW_SHOW);
    RunUntilIdle();
    Log().clear();
    QMenuBar* bar = WidgetOf(frame)->findChild<QMenuBar*>();
    QPoint view = bar->mapToGlobal(bar->actionGeometry(bar->actions()[1]).center());
    SendMessageA(frame, WM_NCLBUTTONDOWN, HTMENU, MAKELPARAM(view.x(), view.y()));
    ASSERT_EQ(MenuTraffic(frame), (std::vector<std::pair<UINT, WPARAM>>{{WM_INITMENU, 0}}));
    EXPECT_EQ(Log().back().wParam, reinterpret_cast<WPARAM>(GetMenu(frame)));
    ActionNamed(frame, "Colors Window")->trigger();
    RunUntilIdle();
    EXPECT_EQ(MenuTraffic(frame),
              (std::vector<std::pair<UINT, WPARAM>>{{WM_INITMENU, 0}, {WM_COMMAND, 40007}}));
}

TEST(MenuBar, CheckMenuItemByCommandShowsOnTheItem) {
    HWND frame = MenuFrame();
    HMENU menu = GetMenu(frame);
    EXPECT_EQ(CheckMenuItem(menu, 40006, MF_BYCOMMAND | MF_CHECKED),
              static_cast<DWORD>(MF_UNCHECKED));
    EXPECT_TRUE(ActionNamed(frame, "Coordinates Window")->isChecked());
    EXPECT_EQ(CheckMenuItem(menu, 40006, MF_BYCOMMAND | MF_UNCHECKED),
              static_cast<DWORD>(MF_CHECKED));
    EXPECT_FALSE(ActionNamed(frame, "Coordinates Window")->isChecked());
    // An unchecked item draws no box: only checked items are checkable.
    EXPECT_FALSE(ActionNamed(frame, "Coordinates Window")->isCheckable());
    EXPECT_FALSE(ActionNamed(frame, "Exit")->isCheckable());
    EXPECT_EQ(CheckMenuItem(menu, 55555, MF_BYCOMMAND | MF_CHECKED), static_cast<DWORD>(-1));
    EXPECT_EQ(GetMenuState(menu, 40002, MF_BYCOMMAND) & MF_GRAYED, static_cast<UINT>(MF_GRAYED));
}

TEST(Accelerators, AMatchingKeySendsWmInitMenuThenWmCommandToTheGivenWindow) {
    HWND frame = MenuFrame();
    ShowWindow(frame, SW_SHOW);
    HACCEL table = LoadAcceleratorsA(Instance(), MAKEINTRESOURCEA(105));
    ASSERT_NE(table, nullptr);
    RegisterTestClass("TestTool");
    HWND tool = CreateWindowExA(WS_EX_TOOLWINDOW, "TestTool", "", WS_POPUP | WS_CAPTION, 0, 0, 50,
                                50, frame, nullptr, Instance(), nullptr);
    ShowWindow(tool, SW_SHOW);
    ASSERT_EQ(GetActiveWindow(), tool);
    Log().clear();
    MSG f5 = KeyMessage(tool, WM_KEYDOWN, VK_F5);
    EXPECT_EQ(TranslateAcceleratorA(frame, table, &f5), 1);
    // Sent, not posted: it has arrived when the call returns.
    EXPECT_EQ(MenuTraffic(frame),
              (std::vector<std::pair<UINT, WPARAM>>{{WM_INITMENU, 0}, {WM_COMMAND, 40008}}));
    MSG up = KeyMessage(tool, WM_KEYUP, VK_F5);
    EXPECT_EQ(TranslateAcceleratorA(frame, table, &up), 0);
    MSG plainF4 = KeyMessage(tool, WM_KEYDOWN, VK_F4);
    EXPECT_EQ(TranslateAcceleratorA(frame, table, &plainF4), 0);
}

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

TEST(MenuBar, KeysMoveBetweenAndWithinMenusAndEscapeLeavesInTwoSteps) {
    HWND frame = MenuFrame();
    ShowWindow(frame, SW_SHOW);
    RunUntilIdle();
    QMenuBar* bar = WidgetOf(frame)->findChild<QMenuBar*>();
    TypeKey(frame, Qt::Key_F10);
    RunUntilIdle();
    // Each key goes where a real one goes: to the open popup, else the bar.
    auto press = [bar](int key) {
        QWidget* to = QApplication::activePopupWidget() ? QApplication::activePopupWidget() : bar;
        QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier);
        QCoreApplication::sendEvent(to, &down);
        RunUntilIdle();
    };
    const QList<QAction*> titles = bar->actions();
    const struct {
        int key;
        int title;  // the bar's marked title afterwards, -1 for none
        bool open;
    } steps[] = {
        {Qt::Key_Left, 2, true},     // File wraps round to Help
        {Qt::Key_Right, 0, true},    // and back
        {Qt::Key_Right, 1, true},    // View
        {Qt::Key_Escape, 1, false},  // the popup closes, the bar keeps View
        {Qt::Key_Escape, -1, false}  // and the bar is left
    };
    for (const auto& s : steps) {
        press(s.key);
        EXPECT_EQ(bar->activeAction(), s.title < 0 ? nullptr : titles[s.title]) << s.key;
        EXPECT_EQ(QApplication::activePopupWidget() != nullptr, s.open) << s.key;
    }
    // Up wraps to the last item of File; Enter picks it.
    TypeKey(frame, Qt::Key_F10);
    RunUntilIdle();
    Log().clear();
    press(Qt::Key_Up);
    press(Qt::Key_Return);
    EXPECT_EQ(QApplication::activePopupWidget(), nullptr);
    const auto traffic = MenuTraffic(frame);
    ASSERT_FALSE(traffic.empty());
    EXPECT_EQ(traffic.back(), (std::pair<UINT, WPARAM>{WM_COMMAND, 40001}));  // Exit
}
