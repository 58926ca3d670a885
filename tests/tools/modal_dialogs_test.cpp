// The Render To File dialog on the real platform layer (offscreen): its real
// procedure over its template, driven with keys and clicks as the user gives
// them, its file box answered through the dialog hook.
#include <gtest/gtest.h>

#include <QApplication>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>

#include <string>

#include "app/main_window.h"
#include "platform/internal/dialog_hooks.h"
#include "platform/internal/window_bridge.h"
#include "resources/resource.h"
#include "tools/modal_dialogs.h"

namespace {

std::string Text(HWND dialog, int id) {
    char text[300] = {};
    GetDlgItemTextA(dialog, id, text, sizeof(text));
    return text;
}

void TypeKey(HWND window, int key, const char* text) {
    QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(platform::WidgetOfWindow(window), &press);
    QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(platform::WidgetOfWindow(window), &release);
}

class RenderToFileTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(StartUp(GetModuleHandleA(nullptr), app_, accelerators_)); }
    void TearDown() override {
        platform::SetSaveFileDialogHook(nullptr);
        ::TearDown(accelerators_, app_);
    }
    FractalEngine app_;
    HACCEL accelerators_ = nullptr;
};

TEST_F(RenderToFileTest, ShowsTheEngineOkChangesNothingAndBrowseWritesTheChoiceBackAsIs) {
    // Modeless, so that the test drives it from its own loop.
    FractalEngine engine;
    engine.region = {-2, -1.35, 1, 1.35};
    engine.width = 550;
    engine.height = 300;
    engine.iterationLimit = 500;
    HWND dialog = CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDD_RENDERTOFILE),
                                     FrameWindow(), RenderToFileDialogProc,
                                     reinterpret_cast<LPARAM>(&engine));
    ASSERT_NE(dialog, nullptr);
    ShowWindow(dialog, SW_SHOW);
    const auto fields = [dialog] {
        std::string all;
        for (int id : {IDC_RENDER_X1, IDC_RENDER_Y1, IDC_RENDER_X2, IDC_RENDER_Y2, IDC_RENDER_WIDTH,
                       IDC_RENDER_HEIGHT, IDC_RENDER_ITERATIONS, IDC_RENDER_FILENAME}) {
            all += Text(dialog, id) + "|";
        }
        return all;
    };
    // 18 decimals, from the exact double (-1.35 is a little below -1.35).
    EXPECT_EQ(fields(),
              "-2.000000000000000000|-1.350000000000000100|1.000000000000000000|"
              "1.350000000000000100|550|495|500||");
    SetDlgItemTextA(dialog, IDC_RENDER_X1, "typed");
    SetDlgItemTextA(dialog, IDC_RENDER_FILENAME, "/tmp/start/name");
    const std::string shown = fields();
    SendMessageA(dialog, WM_COMMAND, IDC_RENDER_OK, 0);
    EXPECT_TRUE(IsWindowVisible(dialog));
    EXPECT_EQ(fields(), shown);
    EXPECT_EQ(engine.region.X1, -2.0);

    platform::SaveFileDialogRequest seen;
    platform::SetSaveFileDialogHook([&seen](const platform::SaveFileDialogRequest& request) {
        seen = request;
        return platform::SaveFileDialogAnswer{true, "/tmp/chosen/picture", 0};
    });
    SendMessageA(dialog, WM_COMMAND, IDC_RENDER_BROWSE, 0);
    EXPECT_EQ(seen.directory + "/" + seen.fileName, "/tmp/start/name");
    EXPECT_TRUE(seen.defaultExtension.empty());
    EXPECT_FALSE(seen.overwritePrompt);
    EXPECT_EQ(Text(dialog, IDC_RENDER_FILENAME), "/tmp/chosen/picture") << "no extension added";
    DestroyWindow(dialog);
}

TEST_F(RenderToFileTest, ItsCommandRunsItModalOverTheFrameUntilEscape) {
    // The modal loop runs inside the command; the test acts from a Qt timer,
    // which that loop serves while it waits. Enter in a field does not close
    // it; the bound ends a dialog the keys failed to close.
    HWND seen = nullptr;
    bool frameDisabled = false;
    bool bounded = false;
    QObject timers;
    QTimer::singleShot(0, &timers, [&] {
        seen = GetActiveWindow();
        frameDisabled = !IsWindowEnabled(FrameWindow());
        TypeKey(GetDlgItem(seen, IDC_RENDER_X1), Qt::Key_Return, "\r");
        TypeKey(GetDlgItem(seen, IDC_RENDER_X1), Qt::Key_Escape, "\x1b");
    });
    QTimer::singleShot(10000, &timers, [&] {
        bounded = true;
        EndDialog(GetActiveWindow(), 0);
    });
    SendMessageA(FrameWindow(), WM_COMMAND, IDM_FILE_RENDERTOFILE, 0);
    EXPECT_FALSE(bounded);
    ASSERT_NE(seen, nullptr);
    EXPECT_FALSE(IsWindow(seen));
    EXPECT_TRUE(frameDisabled);
    EXPECT_TRUE(IsWindowEnabled(FrameWindow()));
}

}  // namespace
