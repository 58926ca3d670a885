// The real save and colour boxes on a virtual X display with a window
// manager, driven with keys typed through the X server (xdotool): a name
// typed into the save box, a colour chosen and a custom colour defined in the
// colour box, a cancel. While a box is up, keys typed into another window of
// the program reach it, and keys typed into the box's owner reach nothing.
// Run through under_xvfb.sh.
#include <gtest/gtest.h>
#include <QApplication>
#include <QColorDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QLineEdit>
#include <QProcess>
#include <QTemporaryDir>
#include <QTimer>
#include <QWindow>
#include <algorithm>
#include <array>
#include <functional>
#include <memory>
#include <vector>

#include "platform/win32.h"
#include "tests/platform/comdlg/bridge_doubles.h"

namespace {

const HWND kOwner = reinterpret_cast<HWND>(0x7740);

void DropQtMessages(QtMsgType, const QMessageLogContext&, const QString&) {}

// Steps run one after the other from the box's own event loop, each polled
// every 20 ms until it reports done. Past a minute every dialog is
// rejected so that the call under test returns, and `timedOut` tells.
class Script {
public:
    using Step = std::function<bool()>;

    Script& Then(Step step) {
        steps_.push_back(std::move(step));
        return *this;
    }
    // A step that runs xdotool with the arguments `arguments` gives when
    // the step begins, and is done when xdotool has exited.
    Script& Xdotool(std::function<QStringList()> arguments) {
        struct Command {
            QProcess process;
            bool started = false;
        };
        auto command = std::make_shared<Command>();
        return Then([command, arguments]() {
            if (!command->started) {
                command->started = true;
                command->process.start("xdotool", arguments());
                return false;
            }
            return command->process.state() == QProcess::NotRunning;
        });
    }
    Script& Xdotool(QStringList arguments) {
        return Xdotool([arguments] { return arguments; });
    }
    void Start() {
        clock_.start();
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            if (next_ < steps_.size() && steps_[next_]())
                ++next_;
            if (next_ == steps_.size()) {
                timer_.stop();
                return;
            }
            if (clock_.elapsed() > 60000) {
                timer_.stop();
                timedOut = true;
                for (QWidget* widget : QApplication::topLevelWidgets())
                    if (QDialog* dialog = qobject_cast<QDialog*>(widget))
                        dialog->reject();
            }
        });
        timer_.start(20);
    }
    bool Done() const { return next_ == steps_.size(); }
    bool timedOut = false;

private:
    std::vector<Step> steps_;
    std::size_t next_ = 0;
    QTimer timer_;
    QElapsedTimer clock_;
};

QString WindowId(QWidget& widget) {
    return QString::number(widget.winId());
}

template <class Box>
Box* VisibleBox() {
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        Box* box = qobject_cast<Box*>(widget);
        if (box != nullptr && box->isVisible() && box->windowHandle() != nullptr &&
            box->windowHandle()->isExposed())
            return box;
    }
    return nullptr;
}

class XvfbDialogsTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        qInstallMessageHandler(DropQtMessages);
        static int argc = 1;
        static char name[] = "platform_comdlg_xvfb_tests";
        static char* argv[] = {name, nullptr};
        application = std::make_unique<QApplication>(argc, argv);
    }
    static void TearDownTestSuite() { application.reset(); }

    XvfbDialogsTest() {
        owner.setWindowTitle("owner");
        owner.resize(500, 400);
        owner.move(0, 0);
        other.setWindowTitle("another window");
        other.move(600, 0);
        owner.show();
        other.show();
        zembrix::test::Bridge() = zembrix::test::BridgeRecord{};
        zembrix::test::Bridge().widgetWindow = kOwner;
        zembrix::test::Bridge().widget = &owner;
    }
    ~XvfbDialogsTest() override { zembrix::test::Bridge() = zembrix::test::BridgeRecord{}; }

    // Types into the other window and into the owner while the box is up,
    // then gives the box the focus again.
    void CheckModalToOwnerOnly(Script& script, std::function<QWidget*()> box) {
        script.Xdotool({"windowactivate", "--sync", WindowId(other)})
            .Xdotool({"type", "--delay", "20", "xyz"})
            .Then([this] { return other.text() == "xyz"; })
            .Xdotool({"windowactivate", "--sync", WindowId(owner)})
            .Xdotool({"type", "--delay", "20", "q"})
            .Xdotool([box] {
                return QStringList{"windowactivate", "--sync", WindowId(*box())};
            })
            .Then([box] { return box()->isActiveWindow(); });
    }

    static std::unique_ptr<QApplication> application;
    QWidget owner;
    QLineEdit ownerEdit{&owner};
    QLineEdit other;
};

std::unique_ptr<QApplication> XvfbDialogsTest::application;

TEST_F(XvfbDialogsTest, ANameTypedIntoTheSaveBoxComesBackWithTheExtension) {
    QTemporaryDir folder;
    ASSERT_TRUE(folder.isValid());
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
    ofn.Flags = OFN_ENABLESIZING;
    ofn.lpstrDefExt = "bmp";

    Script script;
    script.Then([] { return VisibleBox<QFileDialog>() != nullptr; });
    CheckModalToOwnerOnly(script, [] { return VisibleBox<QFileDialog>(); });
    script
        .Then([] {
            QLineEdit* name = VisibleBox<QFileDialog>()->findChild<QLineEdit*>("fileNameEdit");
            return name != nullptr && name->hasFocus();
        })
        .Xdotool({"type", "--delay", "20", "typed"})
        .Xdotool({"key", "Return"});
    script.Start();
    const BOOL saved = GetSaveFileNameA(&ofn);
    EXPECT_FALSE(script.timedOut);
    ASSERT_TRUE(saved);
    EXPECT_EQ(QFileInfo(QFile::decodeName(buffer)).fileName(), "typed.bmp");
    EXPECT_EQ(QDir(QFileInfo(QFile::decodeName(buffer)).path()).canonicalPath(),
              QDir(folder.path()).canonicalPath());
    EXPECT_EQ(other.text(), "xyz") << "another window took keys while the box was up";
    EXPECT_EQ(ownerEdit.text(), "") << "the owner took none";
    EXPECT_TRUE(owner.isEnabled());
}

// The colour box's "HTML:" field, which holds the current colour as "#rrggbb".
QLineEdit* HtmlField(QColorDialog& box) {
    for (QLineEdit* edit : box.findChildren<QLineEdit*>())
        if (edit->text().startsWith('#'))
            return edit;
    return nullptr;
}

// Focuses the HTML field with its text selected, so that typing replaces it.
bool FocusHtmlField() {
    QColorDialog* box = VisibleBox<QColorDialog>();
    if (box == nullptr || !box->isActiveWindow())
        return false;
    QLineEdit* field = HtmlField(*box);
    if (field == nullptr)
        return false;
    field->setFocus();
    field->selectAll();
    return field->hasFocus();
}

bool CustomColorsHold(const QColor& color) {
    for (int i = 0; i < QColorDialog::customCount(); ++i)
        if (QColorDialog::customColor(i) == color)
            return true;
    return false;
}

TEST_F(XvfbDialogsTest, AColourChosenAndACustomColourDefinedInTheColourBoxComeBack) {
    std::array<COLORREF, 16> custom;
    custom.fill(0xFFFFFF);
    CHOOSECOLORA cc{};
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = kOwner;
    cc.rgbResult = RGB(0, 0, 255);
    cc.lpCustColors = custom.data();
    cc.Flags = CC_RGBINIT | CC_ANYCOLOR;

    const QColor chosen(0x10, 0x20, 0x30);
    Script script;
    script.Then([] { return VisibleBox<QColorDialog>() != nullptr; });
    CheckModalToOwnerOnly(script, [] { return VisibleBox<QColorDialog>(); });
    script.Then(FocusHtmlField)
        .Xdotool({"type", "--delay", "20", "#102030"})
        .Then([chosen] { return VisibleBox<QColorDialog>()->currentColor() == chosen; })
        .Xdotool({"key", "alt+a"})  // "&Add to Custom Colors"
        .Then([chosen] { return CustomColorsHold(chosen); })
        .Then(FocusHtmlField)
        .Xdotool({"key", "Return"});
    script.Start();
    const BOOL chose = ChooseColorA(&cc);
    EXPECT_FALSE(script.timedOut);
    ASSERT_TRUE(chose);
    EXPECT_EQ(cc.rgbResult, RGB(0x10, 0x20, 0x30));
    EXPECT_NE(std::find(custom.begin(), custom.end(), RGB(0x10, 0x20, 0x30)), custom.end());
    EXPECT_EQ(other.text(), "xyz");
    EXPECT_EQ(ownerEdit.text(), "");
}

TEST_F(XvfbDialogsTest, ACancelledColourBoxKeepsTheColourAndWritesBackTheCustomColours) {
    std::array<COLORREF, 16> custom;
    custom.fill(0xFFFFFF);
    CHOOSECOLORA cc{};
    cc.lStructSize = sizeof cc;
    cc.hwndOwner = kOwner;
    cc.rgbResult = RGB(0, 0, 255);
    cc.lpCustColors = custom.data();
    cc.Flags = CC_RGBINIT;

    const QColor defined(0xAA, 0xBB, 0xCC);
    Script script;
    script.Then([] { return VisibleBox<QColorDialog>() != nullptr; });
    CheckModalToOwnerOnly(script, [] { return VisibleBox<QColorDialog>(); });
    script.Then(FocusHtmlField)
        .Xdotool({"type", "--delay", "20", "#aabbcc"})
        .Then([defined] { return VisibleBox<QColorDialog>()->currentColor() == defined; })
        .Xdotool({"key", "alt+a"})
        .Then([defined] { return CustomColorsHold(defined); })
        .Xdotool({"key", "Escape"});
    script.Start();
    const BOOL chose = ChooseColorA(&cc);
    EXPECT_FALSE(script.timedOut);
    EXPECT_FALSE(chose);
    EXPECT_EQ(cc.rgbResult, RGB(0, 0, 255));
    EXPECT_NE(std::find(custom.begin(), custom.end(), RGB(0xAA, 0xBB, 0xCC)), custom.end())
        << "the custom colour defined before the cancel is written back";
    EXPECT_EQ(other.text(), "xyz");
    EXPECT_EQ(ownerEdit.text(), "");
}

}  // namespace
