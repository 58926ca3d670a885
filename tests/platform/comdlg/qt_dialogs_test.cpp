// The real QFileDialog and QColorDialog behind GetSaveFileNameA and
// ChooseColorA, driven with key and button events on Qt's offscreen
// platform: what the boxes show, that only their owner is disabled, and what
// comes back. (Typed into under a window manager end to end: the save box by
// e2e_save_image, the colour box by e2e_soak.)
#include <gtest/gtest.h>
#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QPushButton>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>
#include <array>
#include <cstring>
#include <functional>
#include <memory>

#include "platform/win32.h"
#include "tests/platform/comdlg/bridge_doubles.h"

namespace {

const HWND kOwner = reinterpret_cast<HWND>(0x7730);

void DropQtMessages(QtMsgType, const QMessageLogContext&, const QString&) {}

// Runs `act` on the first visible top-level dialog of type Box once it is
// up, polling every 10 ms; gives up after 10 s, rejecting every dialog so that
// the call under test returns.
class WhenShown {
public:
    template <class Box>
    static std::unique_ptr<WhenShown> Start(std::function<void(Box&)> act) {
        auto driver = std::make_unique<WhenShown>();
        WhenShown* self = driver.get();
        self->clock_.start();
        QObject::connect(&self->timer_, &QTimer::timeout, [self, act] {
            for (QWidget* widget : QApplication::topLevelWidgets()) {
                Box* box = qobject_cast<Box*>(widget);
                if (box != nullptr && box->isVisible()) {
                    self->timer_.stop();
                    self->acted = true;
                    act(*box);
                    return;
                }
            }
            if (self->clock_.elapsed() > 10000) {
                self->timer_.stop();
                for (QWidget* widget : QApplication::topLevelWidgets())
                    if (QDialog* dialog = qobject_cast<QDialog*>(widget))
                        dialog->reject();
            }
        });
        self->timer_.start(10);
        return driver;
    }
    bool acted = false;

private:
    QTimer timer_;
    QElapsedTimer clock_;
};

class QtDialogsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        qInstallMessageHandler(DropQtMessages);
        if (QApplication::instance() == nullptr) {
            static int argc = 1;
            static char name[] = "platform_comdlg_qt_tests";
            static char* argv[] = {name, nullptr};
            application = std::make_unique<QApplication>(argc, argv);
        }
    }
    static void TearDownTestSuite() { application.reset(); }

    QtDialogsTest() {
        owner.resize(400, 300);
        owner.show();
        other.show();
        zembrix::test::Bridge() = zembrix::test::BridgeRecord{};
        zembrix::test::Bridge().widgetWindow = kOwner;
        zembrix::test::Bridge().widget = &owner;
    }
    ~QtDialogsTest() override { zembrix::test::Bridge() = zembrix::test::BridgeRecord{}; }

    // While a box is up: its owner is disabled, another window is not, and
    // Qt blocks no window for it.
    void ExpectModalToOwnerOnly(QWidget& box) {
        EXPECT_FALSE(owner.isEnabled());
        EXPECT_TRUE(other.isEnabled());
        EXPECT_EQ(QGuiApplication::modalWindow(), nullptr);
        ASSERT_NE(box.windowHandle(), nullptr);
        EXPECT_EQ(box.windowHandle()->transientParent(), owner.windowHandle());
        other.clear();
        QTest::keyClicks(&other, "abc");
        EXPECT_EQ(other.text(), "abc") << "another window still takes keys";
    }

    static std::unique_ptr<QApplication> application;
    QWidget owner;
    QLineEdit other;
};

std::unique_ptr<QApplication> QtDialogsTest::application;

TEST_F(QtDialogsTest,
       SaveBoxShowsTheFiltersAndReturnsATypedNameWithTheExtensionAndTheFilterChosen) {
    QTemporaryDir folder;
    char buffer[MAX_PATH] = {};
    OPENFILENAMEA ofn{};
    ofn.lStructSize = OPENFILENAME_SIZE_VERSION_400;
    ofn.hwndOwner = kOwner;
    ofn.lpstrFilter = "Bitmap Files\0*.bmp\0All Files\0*.*\0\0";
    ofn.lpstrFile = buffer;
    ofn.nMaxFile = sizeof buffer;
    const QByteArray initialDir = QFile::encodeName(folder.path());
    ofn.lpstrInitialDir = initialDir.constData();
    ofn.lpstrTitle = "Save Image As...";
    ofn.lpstrDefExt = "bmp";

    auto driver = WhenShown::Start<QFileDialog>([&](QFileDialog& box) {
        EXPECT_EQ(box.windowTitle(), "Save Image As...");
        EXPECT_EQ(box.nameFilters(), QStringList({"Bitmap Files (*.bmp)", "All Files (*)"}));
        EXPECT_EQ(box.selectedNameFilter(), "Bitmap Files") << "shown as Windows shows it";
        EXPECT_EQ(QDir(box.directory()).canonicalPath(), QDir(folder.path()).canonicalPath());
        EXPECT_TRUE(box.testOption(QFileDialog::DontConfirmOverwrite));
        ExpectModalToOwnerOnly(box);
        QLineEdit* name = box.findChild<QLineEdit*>("fileNameEdit");
        ASSERT_NE(name, nullptr);
        box.selectNameFilter("All Files (*)");
        QTest::keyClicks(name, "typed");
        QTest::keyClick(name, Qt::Key_Return);
    });
    ASSERT_TRUE(GetSaveFileNameA(&ofn));
    EXPECT_TRUE(driver->acted);
    EXPECT_TRUE(owner.isEnabled());
    EXPECT_EQ(QFileInfo(QFile::decodeName(buffer)).fileName(), "typed.bmp");
    EXPECT_EQ(ofn.nFilterIndex, 2u) << "the filter chosen in the box";
}

QPushButton* ButtonWithText(QWidget& box, const QString& part) {
    for (QPushButton* button : box.findChildren<QPushButton*>())
        if (button->text().remove('&').contains(part, Qt::CaseInsensitive))
            return button;
    return nullptr;
}

// The program keeps one colour box (Qt's leave memory behind when destroyed):
// each call still starts from its own request, over a small owner in the
// screen's corner it stays on the screen, and the custom colours defined in
// it come back also when it is cancelled.
TEST_F(QtDialogsTest, EachColourBoxStartsFromItsRequestStaysOnTheScreenAndKeepsCustomColours) {
    owner.setGeometry(0, 0, 150, 100);
    const QRect area = owner.screen()->availableGeometry();
    std::array<COLORREF, 16> custom;
    custom.fill(0xFFFFFF);
    custom[3] = RGB(1, 2, 3);
    const struct {
        COLORREF initial;
        QColor chosen;
        bool accept;
    } calls[] = {{RGB(0, 0, 255), QColor(16, 32, 48), true},
                 {RGB(9, 8, 7), QColor(200, 100, 0), false}};
    for (const auto& call : calls) {
        CHOOSECOLORA cc{};
        cc.lStructSize = sizeof cc;
        cc.hwndOwner = kOwner;
        cc.rgbResult = call.initial;
        cc.lpCustColors = custom.data();
        cc.Flags = CC_RGBINIT | CC_ANYCOLOR;
        auto driver = WhenShown::Start<QColorDialog>([&](QColorDialog& box) {
            // A mark rather than the address: a fresh box may well be made
            // where the last one was.
            EXPECT_EQ(box.property("seen").toBool(), !call.accept) << "the box is kept";
            box.setProperty("seen", true);
            EXPECT_EQ(box.currentColor(), QColor(GetRValue(call.initial), GetGValue(call.initial),
                                                 GetBValue(call.initial)));
            EXPECT_EQ(QColorDialog::customColor(3), QColor(1, 2, 3));
            EXPECT_TRUE(area.contains(box.frameGeometry().topLeft()));
            EXPECT_TRUE(box.width() > area.width() || area.contains(box.geometry().bottomRight()));
            ExpectModalToOwnerOnly(box);
            box.setCurrentColor(call.chosen);
            QPushButton* add = ButtonWithText(box, "Custom");
            ASSERT_NE(add, nullptr);
            add->click();
            if (call.accept) {
                QPushButton* ok = ButtonWithText(box, "OK");
                ASSERT_NE(ok, nullptr);
                ok->click();
            } else {
                box.reject();
            }
        });
        EXPECT_EQ(ChooseColorA(&cc) != FALSE, call.accept);
        EXPECT_TRUE(driver->acted);
        EXPECT_EQ(cc.rgbResult, call.accept ? RGB(16, 32, 48) : call.initial);
        const COLORREF defined = RGB(call.chosen.red(), call.chosen.green(), call.chosen.blue());
        EXPECT_NE(std::find(custom.begin(), custom.end(), defined), custom.end())
            << "the custom colour defined in the box comes back";
        EXPECT_EQ(custom[3], RGB(1, 2, 3));
        EXPECT_TRUE(owner.isEnabled());
    }
}

}  // namespace
