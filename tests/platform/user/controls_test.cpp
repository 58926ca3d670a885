// Conformance of the controls: the progress bar's range and position,
// owner-drawn buttons painted through WM_DRAWITEM into their own surface,
// and the edit's text limit against typing and pasting. (Edits and statics
// are otherwise typed into and photographed end to end.)
#include <gtest/gtest.h>

#include <QClipboard>
#include <QGuiApplication>
#include <QProgressBar>

#include "tests/platform/user/stand_ins.h"
#include "tests/platform/user/support.h"

namespace {

std::vector<DRAWITEMSTRUCT> drawn;

INT_PTR CALLBACK SwatchProc(HWND, UINT m, WPARAM, LPARAM l) {
    if (m == WM_INITDIALOG) {
        return TRUE;
    }
    if (m == WM_DRAWITEM) {
        auto* dis = reinterpret_cast<DRAWITEMSTRUCT*>(l);
        drawn.push_back(*dis);
        SelectObject(dis->hDC, GetStockObject(7));  // BLACK_PEN
        SelectObject(dis->hDC, TestSolidBrush(RGB(0, 0, 255)));
        Rectangle(dis->hDC, dis->rcItem.left, dis->rcItem.top, dis->rcItem.right,
                  dis->rcItem.bottom);
        return TRUE;
    }
    return FALSE;
}

HWND Control(HWND parent, const char* cls, const char* text, DWORD style, DWORD ex = 0,
             int id = 10) {
    return CreateWindowExA(ex, cls, text, WS_CHILD | WS_VISIBLE | style, 5, 5, 80, 20, parent,
                           reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), Instance(), nullptr);
}

}  // namespace

TEST(ProgressControl, RangeAndPositionReturnThePreviousValuesAndShowAtOnce) {
    HWND frame = CreateFrame();
    EXPECT_EQ(Control(frame, PROGRESS_CLASSA, "", PBS_SMOOTH), nullptr);
    INITCOMMONCONTROLSEX init{8, ICC_PROGRESS_CLASS};
    EXPECT_TRUE(InitCommonControlsEx(&init));
    HWND bar = Control(frame, PROGRESS_CLASSA, "Progress1", PBS_SMOOTH);
    ASSERT_NE(bar, nullptr);
    auto* widget = dynamic_cast<QProgressBar*>(WidgetOf(bar));
    EXPECT_EQ(SendMessageA(bar, PBM_SETRANGE32, 0, 600), MAKELRESULT(0, 100));
    EXPECT_EQ(widget->maximum(), 600);
    EXPECT_EQ(SendMessageA(bar, PBM_SETPOS, 599, 0), 0);
    EXPECT_EQ(widget->value(), 599);
    EXPECT_EQ(SendMessageA(bar, PBM_SETPOS, 9999, 0), 599);
    EXPECT_EQ(SendMessageA(bar, PBM_GETPOS, 0, 0), 600);  // kept within the range
    EXPECT_FALSE(widget->isTextVisible());
}

TEST(OwnerDrawButton, WmDrawItemGivesADcThatDrawsIntoTheButtonAndInvalidationRedraws) {
    HWND frame = CreateFrame();
    ShowWindow(frame, SW_SHOW);
    HWND colors = CreateDialogParamA(Instance(), MAKEINTRESOURCEA(108), frame, SwatchProc, 0);
    ShowWindow(colors, SW_SHOW);
    drawn.clear();
    RunUntilIdle();
    ASSERT_EQ(drawn.size(), 3u);
    HWND swatch = GetDlgItem(colors, 1039);
    const DRAWITEMSTRUCT* item = nullptr;
    for (const DRAWITEMSTRUCT& d : drawn) {
        if (d.hwndItem == swatch) {
            item = &d;
        }
    }
    ASSERT_NE(item, nullptr);
    EXPECT_EQ(item->CtlType, static_cast<UINT>(ODT_BUTTON));
    EXPECT_EQ(item->CtlID, 1039u);
    EXPECT_EQ(item->itemAction, static_cast<UINT>(ODA_DRAWENTIRE));
    RECT client;
    GetClientRect(swatch, &client);
    EXPECT_EQ(item->rcItem.right, client.right);
    EXPECT_EQ(item->rcItem.bottom, client.bottom);
    std::uint32_t inside = 0;
    std::uint32_t edge = 1;
    ASSERT_TRUE(ReadPixel(swatch, 3, 3, &inside));
    ASSERT_TRUE(ReadPixel(swatch, 0, 0, &edge));
    EXPECT_EQ(inside, 0x0000FFu);
    EXPECT_EQ(edge, 0u);
    EXPECT_EQ(ShownPixel(swatch, 3, 3), 0xFF0000FFu);
    drawn.clear();
    InvalidateRect(swatch, nullptr, TRUE);
    RunUntilIdle();
    EXPECT_EQ(drawn.size(), 1u);
}

// As on Windows: typing stops at the limit, and a paste over a selection
// puts in only what fits.
TEST(EditControl, ItsLimitStopsTypingAndCutsAPaste) {
    HWND frame = CreateFrame();
    HWND edit = Control(frame, "EDIT", "", ES_AUTOHSCROLL);
    EXPECT_EQ(SendMessageA(edit, EM_GETLIMITTEXT, 0, 0), 30000);
    SendMessageA(edit, EM_LIMITTEXT, 5, 0);
    EXPECT_EQ(SendMessageA(edit, EM_GETLIMITTEXT, 0, 0), 5);
    ShowWindow(frame, SW_SHOW);
    SetFocus(edit);
    for (const char c : std::string("abcdefg")) {
        TypeKey(edit, Qt::Key_A + (c - 'a'), Qt::NoModifier, QString(QChar(c)));
    }
    RunUntilIdle();
    char text[64] = {};
    GetWindowTextA(edit, text, sizeof(text));
    EXPECT_STREQ(text, "abcde");
    SendMessageA(edit, EM_SETSEL, 1, 3);
    QGuiApplication::clipboard()->setText("0123456789");
    TypeKey(edit, Qt::Key_V, Qt::ControlModifier);
    RunUntilIdle();
    GetWindowTextA(edit, text, sizeof(text));
    EXPECT_STREQ(text, "a01de");
}
