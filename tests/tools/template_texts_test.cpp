// Every text of every dialog template fits its control in the font the window
// layer really draws it with, as the classic dialog font fits it on Windows;
// the progress window's widest percentage too.
#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>

#include <string>

#include "platform/internal/window_bridge.h"
#include "platform/win32.h"
#include "resources/resource.h"

namespace {

INT_PTR CALLBACK Quiet(HWND, UINT, WPARAM, LPARAM) {
    return FALSE;
}

// A text's overflow in pixels (width, height) over the room its control gives it.
std::string Overflow(QWidget* widget) {
    QString text;
    int roomWidth = 0;
    if (auto* label = qobject_cast<QLabel*>(widget); label && label->pixmap().isNull()) {
        text = label->text();
        roomWidth = label->contentsRect().width();
    } else if (auto* button = qobject_cast<QPushButton*>(widget)) {
        text = button->text();
        roomWidth = button->width() - 6;  // the 3D edge and the focus rectangle
    }
    if (text.isEmpty()) {
        return {};
    }
    const QFontMetrics metrics(widget->font());
    const int width = metrics.horizontalAdvance(text) - roomWidth;
    const int height = metrics.height() - widget->height();
    if (width <= 0 && height <= 0) {
        return {};
    }
    return "\"" + text.toStdString() + "\" by " + std::to_string(width) + " x " +
           std::to_string(height) + "; ";
}

TEST(TemplateTextsTest, EveryTextFitsItsControl) {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_PROGRESS_CLASS};
    ASSERT_TRUE(InitCommonControlsEx(&controls));
    for (int id : {IDD_RENDERTOFILE, IDD_ABOUT, IDD_PROGRESS, IDD_COORDINATES, IDD_COLORS}) {
        HWND dialog =
            CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id), nullptr, Quiet, 0);
        ASSERT_NE(dialog, nullptr) << id;
        std::string overflows;
        int texts = 0;
        for (HWND c = GetWindow(dialog, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
            overflows += Overflow(platform::WidgetOfWindow(c));
            ++texts;
        }
        if (id == IDD_PROGRESS) {
            // The widest percentage the progress window shows.
            SetDlgItemTextA(dialog, IDC_PROGRESS_PERCENT, "100.0%");
            overflows +=
                Overflow(platform::WidgetOfWindow(GetDlgItem(dialog, IDC_PROGRESS_PERCENT)));
        }
        EXPECT_GT(texts, 2) << id;
        EXPECT_EQ(overflows, "") << "template " << id;
        DestroyWindow(dialog);
    }
}

}  // namespace
