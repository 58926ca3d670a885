// The Render To File dialog on the real platform layer (offscreen): its real
// procedure over its template, driven with keys and clicks as the user gives
// them, its file box answered through the dialog hook.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QPushButton>
#include <QTimer>

#include <cstring>
#include <string>

#include "app/main_window.h"
#include "platform/internal/dialog_hooks.h"
#include "platform/internal/window_bridge.h"
#include "resources/resource.h"
#include "tools/modal_dialogs.h"
#include "tools/render_to_file_values.h"

namespace {

std::string Text(HWND dialog, int id) {
    char text[300] = {};
    GetDlgItemTextA(dialog, id, text, sizeof(text));
    return text;
}

void TypeKey(HWND window, int key, const char* text) {
    QWidget* widget = platform::WidgetOfWindow(window);
    ASSERT_NE(widget, nullptr);
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(widget, &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(widget, &release);
}

void Click(HWND dialog, int id) {
    auto* button = qobject_cast<QPushButton*>(platform::WidgetOfWindow(GetDlgItem(dialog, id)));
    ASSERT_NE(button, nullptr);
    button->click();
}

class RenderToFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(StartUp(GetModuleHandleA(nullptr), app_, accelerators_));
        engine_.region = {-2, -1.35, 1, 1.35};
        engine_.width = 550;
        engine_.height = 300;
        engine_.iterationLimit = 500;
    }
    void TearDown() override {
        platform::SetSaveFileDialogHook(nullptr);
        ::TearDown(accelerators_, app_);
    }

    // The dialog as the frame would make it, but modeless, so that the test
    // drives it from its own loop.
    HWND Open() {
        HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr),
                                         MAKEINTRESOURCEA(IDD_RENDERTOFILE), FrameWindow(),
                                         RenderToFileDialogProc, reinterpret_cast<LPARAM>(&engine_));
        EXPECT_NE(dialog, nullptr);
        ShowWindow(dialog, SW_SHOW);
        Pump(dialog);
        return dialog;
    }

    static void Pump(HWND dialog) {
        MSG msg;
        for (int i = 0; i < 10000 && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE); ++i) {
            if (!IsDialogMessageA(dialog, &msg)) {
                TranslateMessage(&msg);
                DispatchMessageA(&msg);
            }
        }
    }

    static std::string Fields(HWND dialog) {
        std::string all;
        for (int id : {IDC_RENDER_X1, IDC_RENDER_Y1, IDC_RENDER_X2, IDC_RENDER_Y2,
                       IDC_RENDER_WIDTH, IDC_RENDER_HEIGHT, IDC_RENDER_ITERATIONS,
                       IDC_RENDER_FILENAME}) {
            all += Text(dialog, id) + "|";
        }
        return all;
    }

    FractalEngine app_;
    FractalEngine engine_;
    HACCEL accelerators_ = nullptr;
};

TEST_F(RenderToFileTest, ShowsTheEngineAndOkOrEnterChangeNothing) {
    HWND dialog = Open();
    // 18 decimals, from the exact double (-1.35 is a little below -1.35).
    EXPECT_EQ(Fields(dialog),
              "-2.000000000000000000|-1.350000000000000100|1.000000000000000000|"
              "1.350000000000000100|550|495|500||");

    SetDlgItemTextA(dialog, IDC_RENDER_X1, "typed");
    SetDlgItemTextA(dialog, IDC_RENDER_FILENAME, "/nonexistent-folder/out.bmp");
    const std::string shown = Fields(dialog);
    const Region before = engine_.region;
    Click(dialog, IDC_RENDER_OK);
    Pump(dialog);
    SetFocus(GetDlgItem(dialog, IDC_RENDER_Y2));
    TypeKey(GetFocus(), Qt::Key_Return, "\r");
    Pump(dialog);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(Fields(dialog), shown);
    EXPECT_EQ(std::memcmp(&engine_.region, &before, sizeof(Region)), 0);
    EXPECT_EQ(engine_.width, 550);
    EXPECT_EQ(engine_.iterationLimit, 500u);
    DestroyWindow(dialog);
}

TEST_F(RenderToFileTest, CancelEscapeAndTheCloseBoxEachCloseIt) {
    HWND byCancel = Open();
    Click(byCancel, IDCANCEL);
    Pump(byCancel);
    EXPECT_FALSE(IsWindowVisible(byCancel));
    DestroyWindow(byCancel);

    HWND byEscape = Open();
    SetFocus(GetDlgItem(byEscape, IDC_RENDER_FILENAME));
    TypeKey(GetFocus(), Qt::Key_Escape, "\x1b");
    Pump(byEscape);
    EXPECT_FALSE(IsWindowVisible(byEscape));
    DestroyWindow(byEscape);

    HWND byCloseBox = Open();
    SendMessageA(byCloseBox, WM_SYSCOMMAND, SC_CLOSE, 0);
    Pump(byCloseBox);
    EXPECT_FALSE(IsWindowVisible(byCloseBox));
    DestroyWindow(byCloseBox);
}

TEST_F(RenderToFileTest, BrowseStartsFromTheFieldAndWritesTheChoiceBackAsIs) {
    platform::SaveFileDialogRequest seen;
    platform::SaveFileDialogAnswer answer{true, "/tmp/chosen/picture", 0};
    platform::SetSaveFileDialogHook([&](const platform::SaveFileDialogRequest& request) {
        seen = request;
        return answer;
    });
    HWND dialog = Open();
    SetDlgItemTextA(dialog, IDC_RENDER_FILENAME, "/tmp/start/name");
    Click(dialog, IDC_RENDER_BROWSE);
    Pump(dialog);
    EXPECT_EQ(seen.owner, dialog);
    EXPECT_EQ(seen.title, "Save to Bitmap...");
    EXPECT_EQ(seen.directory + "/" + seen.fileName, "/tmp/start/name");
    ASSERT_EQ(seen.filters.size(), 1u);
    EXPECT_EQ(seen.filters[0].text, "*.BMP");
    EXPECT_TRUE(seen.defaultExtension.empty());
    EXPECT_FALSE(seen.overwritePrompt);
    EXPECT_EQ(Text(dialog, IDC_RENDER_FILENAME), "/tmp/chosen/picture") << "no extension added";

    answer = {false, "/tmp/other", 0};
    Click(dialog, IDC_RENDER_BROWSE);
    Pump(dialog);
    EXPECT_EQ(Text(dialog, IDC_RENDER_FILENAME), "/tmp/chosen/picture");
    EXPECT_TRUE(IsWindowVisible(dialog));
    DestroyWindow(dialog);
}

TEST_F(RenderToFileTest, ItsCommandRunsItModalOverTheFrameUntilEscape) {
    // The modal loop runs inside the command; the test acts from a Qt timer,
    // which that loop serves while it waits. The bound ends a dialog the
    // keys failed to close.
    HWND seen = nullptr;
    bool frameDisabled = false;
    std::string corner;
    QTimer act;
    act.setSingleShot(true);
    QObject::connect(&act, &QTimer::timeout, [&] {
        seen = GetActiveWindow();
        frameDisabled = !IsWindowEnabled(FrameWindow());
        corner = Text(seen, IDC_RENDER_X2);
        HWND field = GetDlgItem(seen, IDC_RENDER_X1);
        TypeKey(field, Qt::Key_Return, "\r");
        TypeKey(field, Qt::Key_Escape, "\x1b");
    });
    QTimer bound;
    bound.setSingleShot(true);
    bool bounded = false;
    QObject::connect(&bound, &QTimer::timeout, [&] {
        bounded = true;
        EndDialog(GetActiveWindow(), 0);
    });
    act.start(0);
    bound.start(10000);
    SendMessageA(FrameWindow(), WM_COMMAND, IDM_FILE_RENDERTOFILE, 0);
    EXPECT_FALSE(bounded);
    ASSERT_NE(seen, nullptr);
    EXPECT_FALSE(IsWindow(seen));
    EXPECT_TRUE(frameDisabled);
    EXPECT_TRUE(IsWindowEnabled(FrameWindow()));
    char expected[kRenderCornerBufferSize];
    FormatRenderCorner(app_.region.X2, expected);
    EXPECT_EQ(corner, expected);
}

}  // namespace
