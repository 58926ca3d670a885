// Conformance of the controls: EDIT text in and out, STATIC alignments and
// SS_BITMAP sized to its bitmap, the progress bar's range and position, and
// owner-drawn buttons painted through WM_DRAWITEM into their own surface.
#include <gtest/gtest.h>

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>

#include "tests/platform/user/stand_ins.h"
#include "tests/platform/user/support.h"
#include "tests/platform/user/test_resources.h"

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

TEST(EditControl, TextGoesInAndOutThroughWmSetTextAndWmGetText) {
    HWND frame = CreateFrame();
    HWND edit = Control(frame, "EDIT", "initial", WS_BORDER | WS_TABSTOP | ES_AUTOHSCROLL);
    auto* widget = dynamic_cast<QLineEdit*>(WidgetOf(edit));
    ASSERT_NE(widget, nullptr);
    EXPECT_EQ(widget->text(), QString("initial"));
    EXPECT_TRUE(widget->hasFrame());
    SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>("-2.0000000000000000"));
    EXPECT_EQ(widget->text(), QString("-2.0000000000000000"));
    widget->setText("typed");
    char text[16];
    EXPECT_EQ(SendMessageA(edit, WM_GETTEXT, sizeof text, reinterpret_cast<LPARAM>(text)), 5);
    EXPECT_STREQ(text, "typed");
    EXPECT_EQ(SendMessageA(edit, WM_GETTEXTLENGTH, 0, 0), 5);
}

TEST(StaticControl, AlignmentFollowsTheStyleAndWsExRight) {
    HWND frame = CreateFrame();
    auto alignment = [](HWND h) {
        return dynamic_cast<QLabel*>(WidgetOf(h))->alignment() & Qt::AlignHorizontal_Mask;
    };
    EXPECT_EQ(alignment(Control(frame, "STATIC", "a", SS_LEFT)), Qt::AlignLeft);
    EXPECT_EQ(alignment(Control(frame, "STATIC", "a", SS_CENTER)), Qt::AlignHCenter);
    EXPECT_EQ(alignment(Control(frame, "STATIC", "a", SS_RIGHT)), Qt::AlignRight);
    HWND right = Control(frame, "STATIC", "Zembrix", SS_LEFTNOWORDWRAP, WS_EX_RIGHT);
    EXPECT_EQ(alignment(right), Qt::AlignRight);
    EXPECT_FALSE(dynamic_cast<QLabel*>(WidgetOf(right))->wordWrap());
    EXPECT_TRUE(
        dynamic_cast<QLabel*>(WidgetOf(Control(frame, "STATIC", "a", SS_LEFT)))->wordWrap());
    HWND prefixed = Control(frame, "STATIC", "&Name && more", SS_LEFT);
    EXPECT_EQ(dynamic_cast<QLabel*>(WidgetOf(prefixed))->text(), QString("Name & more"));
}

TEST(StaticControl, ABitmapStaticTakesTheSizeOfItsBitmapAndABadBitmapShowsNothing) {
    HWND frame = CreateFrame();
    HWND about =
        CreateDialogParamA(Instance(), MAKEINTRESOURCEA(104), frame, RecordingDialogProc, 0);
    ASSERT_NE(about, nullptr);
    HWND picture = GetWindow(GetDlgItem(about, IDOK), GW_HWNDNEXT);
    picture = GetWindow(picture, GW_HWNDNEXT);
    RECT r;
    GetClientRect(picture, &r);
    EXPECT_EQ(r.right, 6);
    EXPECT_EQ(r.bottom, 4);
    EXPECT_FALSE(dynamic_cast<QLabel*>(WidgetOf(picture))->pixmap().isNull());
    HWND bad = Control(frame, "STATIC", "#110", SS_BITMAP);
    ASSERT_NE(bad, nullptr);
    GetClientRect(bad, &r);
    EXPECT_EQ(r.right, 80);
    EXPECT_TRUE(dynamic_cast<QLabel*>(WidgetOf(bad))->pixmap().isNull());
}

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
    drawn.clear();
    InvalidateRect(swatch, nullptr, TRUE);
    RunUntilIdle();
    EXPECT_EQ(drawn.size(), 1u);

    // Reached with Tab, a swatch is drawn again with ODS_FOCUS, and the one it
    // leaves without; the dialog now shows keyboard focus marks (push buttons
    // draw Qt's focus frame).
    auto focusOf = [](HWND button) {
        UINT state = ~0u;
        for (const DRAWITEMSTRUCT& d : drawn) {
            if (d.hwndItem == button) {
                state = d.itemState & ODS_FOCUS;
            }
        }
        return state;
    };
    SetFocus(swatch);
    RunUntilIdle();
    drawn.clear();
    MSG tab{colors, WM_KEYDOWN, VK_TAB, 0, 0, {}};
    tab.hwnd = swatch;
    EXPECT_TRUE(IsDialogMessageA(colors, &tab));
    RunUntilIdle();
    HWND next = GetFocus();
    ASSERT_NE(next, swatch);
    EXPECT_EQ(focusOf(next), static_cast<UINT>(ODS_FOCUS));
    EXPECT_EQ(focusOf(swatch), 0u);
    EXPECT_TRUE(WidgetOf(colors)->window()->testAttribute(Qt::WA_KeyboardFocusChange));
}
