// Conformance of dialogs: dialog units from the dialog font with the pixel
// size of every template, modeless and modal creation, the dialog keyboard
// (Tab order, Enter, Escape), nested modal loops that disable and re-activate
// their owner, and GetDlgItemInt.
#include <gtest/gtest.h>

#include <QWidget>

#include "tests/platform/user/support.h"
#include "tests/platform/user/test_resources.h"

namespace {

HWND Modeless(int id, HWND owner, LPARAM param = 0) {
    return CreateDialogParamA(Instance(), MAKEINTRESOURCEA(id), owner, RecordingDialogProc, param);
}

QSize ClientSize(HWND h) {
    RECT r;
    GetClientRect(h, &r);
    return QSize(r.right, r.bottom);
}

RECT ItemRect(HWND dialog, int id) {
    RECT r;
    GetWindowRect(GetDlgItem(dialog, id), &r);
    POINT origin{0, 0};
    ClientToScreen(dialog, &origin);
    return RECT{r.left - origin.x, r.top - origin.y, r.right - origin.x, r.bottom - origin.y};
}

std::vector<WPARAM> CommandsOf(HWND h) {
    std::vector<WPARAM> out;
    for (const Logged& l : Log()) {
        if (l.hwnd == h && l.message == WM_COMMAND) {
            out.push_back(LOWORD(l.wParam));
        }
    }
    return out;
}

}  // namespace

// Base units 6 x 12 from the substitute font; every template's client size
// in pixels, with halves rounded away from zero (171 du = 256.5 px -> 257).
TEST(DialogUnits, TheSubstituteFontGivesFixedBaseUnitsAndEveryTemplateItsPixelSize) {
    INITCOMMONCONTROLSEX init{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
    ASSERT_TRUE(InitCommonControlsEx(&init));
    HWND frame = CreateFrame();
    const struct {
        int id;
        QSize client;
    } templates[] = {{107, {369, 99}}, {108, {150, 102}}, {104, {320, 141}}, {106, {257, 66}}};
    for (const auto& t : templates) {
        EXPECT_EQ(ClientSize(Modeless(t.id, frame)), t.client) << t.id;
    }
    HWND coordinates = Modeless(107, frame);
    RECT unit{0, 0, 4, 8};
    ASSERT_TRUE(MapDialogRect(coordinates, &unit));
    EXPECT_EQ(unit.right, 6);
    EXPECT_EQ(unit.bottom, 12);
    RECT edit = ItemRect(coordinates, 1031);
    EXPECT_EQ(QRect(edit.left, edit.top, edit.right - edit.left, edit.bottom - edit.top),
              QRect(38, 11, 147, 21));
    EXPECT_EQ(QFontInfo(WidgetOf(coordinates)->font()).family(), QString("Liberation Sans"));
}
TEST(Dialogs, ModelessDialogsStayHiddenUnlessVisibleAndGetTheirParameter) {
    HWND frame = CreateFrame();
    ShowWindow(frame, SW_SHOW);
    int object = 0;
    HWND tool = Modeless(107, frame, reinterpret_cast<LPARAM>(&object));
    ASSERT_NE(tool, nullptr);
    EXPECT_FALSE(IsWindowVisible(tool));
    EXPECT_EQ(GetWindowLongPtrA(tool, DWLP_USER), reinterpret_cast<LPARAM>(&object));
    EXPECT_EQ(GetWindow(tool, GW_OWNER), frame);
    INITCOMMONCONTROLSEX init{sizeof(INITCOMMONCONTROLSEX), ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&init);
    HWND progress = Modeless(106, frame);
    EXPECT_TRUE(IsWindowVisible(progress));
    EXPECT_EQ(Modeless(999, frame), nullptr);
    EXPECT_EQ(Modeless(kBrokenDialog, frame), nullptr);
    // Destroyed before the owner.
    DestroyWindow(frame);
    EXPECT_FALSE(IsWindow(tool));
}

TEST(DialogKeys, TabAndShiftTabMoveThroughTabStopsInTemplateOrder) {
    HWND frame = CreateFrame();
    ShowWindow(frame, SW_SHOW);
    HWND tool = Modeless(107, frame);
    ShowWindow(tool, SW_SHOW);
    RunUntilIdle();
    EXPECT_EQ(GetFocus(), GetDlgItem(tool, 1031));
    std::vector<int> order;
    for (int i = 0; i < 6; ++i) {
        TypeKey(GetFocus(), Qt::Key_Tab, Qt::NoModifier, "\t");
        RunUntilIdle();
        order.push_back(GetDlgCtrlID(GetFocus()));
    }
    EXPECT_EQ(order, (std::vector<int>{1032, 1033, 1034, 1035, 1036, 1031}));
    TypeKey(GetFocus(), Qt::Key_Backtab, Qt::ShiftModifier);
    RunUntilIdle();
    EXPECT_EQ(GetDlgCtrlID(GetFocus()), 1036);
}

TEST(DialogKeys, EnterGivesTheFocusedPushButtonElseTheDefaultButtonElseIdOkAndEscapeIdCancel) {
    HWND frame = CreateFrame();
    ShowWindow(frame, SW_SHOW);
    HWND form = Modeless(kFormDialog, frame);
    ShowWindow(form, SW_SHOW);
    RunUntilIdle();
    Log().clear();
    TypeKey(GetDlgItem(form, kFormEdit), Qt::Key_Return, Qt::NoModifier, "\r");
    RunUntilIdle();
    SetFocus(GetDlgItem(form, IDCANCEL));
    TypeKey(GetFocus(), Qt::Key_Return, Qt::NoModifier, "\r");
    RunUntilIdle();
    TypeKey(GetFocus(), Qt::Key_Escape, Qt::NoModifier, "\x1b");
    RunUntilIdle();
    EXPECT_EQ(CommandsOf(form),
              (std::vector<WPARAM>{static_cast<WPARAM>(kFormApply), IDCANCEL, IDCANCEL}));
    EXPECT_EQ(Log().back().lParam, reinterpret_cast<LPARAM>(GetDlgItem(form, IDCANCEL)));
    HWND plain = GetActiveWindow() == form ? Modeless(kPlainDialog, frame) : nullptr;
    ASSERT_NE(plain, nullptr);
    RunUntilIdle();
    Log().clear();
    TypeKey(GetDlgItem(plain, kPlainEdit), Qt::Key_Return, Qt::NoModifier, "\r");
    RunUntilIdle();
    EXPECT_EQ(CommandsOf(plain), std::vector<WPARAM>{IDOK});
    char text[8];
    GetDlgItemTextA(plain, kPlainEdit, text, sizeof text);
    EXPECT_STREQ(text, "");  // the Enter character went nowhere
}

namespace {

struct ModalRecord {
    HWND owner = nullptr;
    bool ownerEnabledInside = true;
    bool nested = false;
    INT_PTR nestedResult = 0;
    bool ownerEnabledAfterNested = true;
};
ModalRecord modal;

INT_PTR CALLBACK ModalProc(HWND h, UINT m, WPARAM w, LPARAM l) {
    Log().push_back({h, m, w, l});
    if (m == WM_INITDIALOG) {
        SetWindowLongPtrA(h, DWLP_USER, l);
        PostMessageA(h, WM_USER, 0, 0);
        return TRUE;
    }
    if (m == WM_USER) {
        modal.ownerEnabledInside = IsWindowEnabled(modal.owner) != FALSE;
        if (GetWindowLongPtrA(h, DWLP_USER) == 1) {
            modal.nestedResult =
                DialogBoxParamA(Instance(), MAKEINTRESOURCEA(kFormDialog), h, ModalProc, 2);
            modal.ownerEnabledAfterNested = IsWindowEnabled(h) != FALSE;
            modal.ownerEnabledInside = IsWindowEnabled(modal.owner) != FALSE;
            EndDialog(h, 42);
        } else {
            EndDialog(h, 7);
        }
        return TRUE;
    }
    if (m == WM_COMMAND && LOWORD(w) == IDCANCEL) {
        EndDialog(h, IDCANCEL);
        return TRUE;
    }
    return FALSE;
}

}  // namespace

TEST(ModalDialogs, NestedModalLoopsEachDisableTheirOwnerAndEndInOrder) {
    HWND frame = CreateFrame();
    ShowWindow(frame, SW_SHOW);
    modal = ModalRecord{frame};
    INT_PTR result =
        DialogBoxParamA(Instance(), MAKEINTRESOURCEA(kFormDialog), frame, ModalProc, 1);
    EXPECT_EQ(result, 42);
    EXPECT_EQ(modal.nestedResult, 7);
    EXPECT_TRUE(modal.ownerEnabledAfterNested);
    EXPECT_FALSE(modal.ownerEnabledInside);
    EXPECT_TRUE(IsWindowEnabled(frame));
    EXPECT_EQ(GetActiveWindow(), frame);
    EXPECT_EQ(DialogBoxParamA(Instance(), MAKEINTRESOURCEA(999), frame, ModalProc, 0), -1);
}

TEST(ModalDialogs, TheCloseBoxOfADialogIsItsCancel) {
    HWND frame = CreateFrame();
    HWND form = Modeless(kFormDialog, frame);
    Log().clear();
    SendMessageA(form, WM_SYSCOMMAND, SC_CLOSE, 0);
    RunUntilIdle();
    EXPECT_EQ(CommandsOf(form), std::vector<WPARAM>{IDCANCEL});
    EXPECT_TRUE(IsWindow(form));
}

TEST(DialogItems, GetDlgItemIntReadsOnlyWholeNumbersInRange) {
    HWND frame = CreateFrame();
    HWND tool = Modeless(107, frame);
    struct Case {
        const char* text;
        BOOL isSigned;
        UINT value;
        BOOL ok;
    };
    const Case cases[] = {
        {"-1", FALSE, 0, FALSE},
        {"12abc", FALSE, 0, FALSE},
        {"4294967296", FALSE, 0, FALSE},
        {"4294967295", FALSE, 4294967295u, TRUE},
        {" 500 ", FALSE, 500, TRUE},
        {"", FALSE, 0, FALSE},
        {"+5", FALSE, 0, FALSE},
        {"-1", TRUE, static_cast<UINT>(-1), TRUE},
        {"2147483648", TRUE, 0, FALSE},
        {"-2147483648", TRUE, 0x80000000u, TRUE},
        {"99999999999999999999999", FALSE, 0, FALSE},
    };
    for (const Case& c : cases) {
        SetDlgItemTextA(tool, 1035, c.text);
        BOOL ok = 2;
        EXPECT_EQ(GetDlgItemInt(tool, 1035, &ok, c.isSigned), c.value) << c.text;
        EXPECT_EQ(ok, c.ok) << c.text;
    }
    SetDlgItemInt(tool, 1035, 500, FALSE);
    char text[16];
    GetDlgItemTextA(tool, 1035, text, sizeof text);
    EXPECT_STREQ(text, "500");
    SetDlgItemInt(tool, 1035, static_cast<UINT>(-3), TRUE);
    GetDlgItemTextA(tool, 1035, text, sizeof text);
    EXPECT_STREQ(text, "-3");
    EXPECT_EQ(GetDlgItemInt(tool, 4242, nullptr, FALSE), 0u);
}
