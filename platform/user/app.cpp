// The layer's start: the Qt application (on the display system chosen
// first), the silent message handler, the state that is never destroyed, and
// what is installed once (GDI's surface hooks, the key filter, the screen
// watch, the system classes).
//
// Leaves out: a second QApplication, and starting anywhere but on the GUI
// thread.
#include <unistd.h>
#include <QApplication>
#include <clocale>
#include <cstdlib>
#include <memory>

#include "platform/user/app.h"
#include "platform/user/controls.h"
#include "platform/user/display/display.h"
#include "platform/user/input.h"
#include "platform/user/paint.h"
#include "platform/user/sysparams.h"

namespace platform::user {
namespace {

// Storage that is constructed on first use and never destroyed.
template <class T>
class Immortal {
public:
    template <class... Args>
    T* Construct(Args&&... args) {
        return std::construct_at(reinterpret_cast<T*>(storage_), std::forward<Args>(args)...);
    }

private:
    alignas(T) unsigned char storage_[sizeof(T)];
};

bool constructingApplication = false;

void DropMessage(QtMsgType type, const QMessageLogContext&, const QString&) {
    if (type == QtFatalMsg && constructingApplication) {
        // Qt gives up when no platform (no display) can be opened; say so
        // once and end as a failed start, instead of Qt's abort.
        static const char line[] = "zembrix: cannot open a display\n";
        ssize_t written = ::write(STDERR_FILENO, line, sizeof line - 1);
        (void)written;
        std::_Exit(-1);
    }
}

void Initialise() {
    setlocale(LC_NUMERIC, "C");
    InstallSurfaceHooks();
    InstallInputFilter();
    WatchScreens();
    RegisterSystemClasses();
}

Immortal<QApplication> applicationStorage;

}  // namespace

void StartApplication(int& argc, char** argv) {
    if (QCoreApplication::instance()) {
        return;
    }
    qInstallMessageHandler(DropMessage);
    // Qt's own high-DPI scaling stays on. On a desktop that asks for 200 %
    // (Xft.dpi 192, or QT_SCALE_FACTOR) a Win32 pixel is a logical pixel of
    // 2 x 2 device pixels, as Windows scales a program that does not declare
    // itself DPI-aware: windows, menus and dialog fonts grow with the scale,
    // and each window's surface is drawn enlarged without smoothing. At 100 %
    // one Win32 pixel is one device pixel.
    ChooseDisplaySystem();
    constructingApplication = true;
    applicationStorage.Construct(argc, argv);
    constructingApplication = false;
    IdentifyApplication();
    S();
}

void EnsureApplication() {
    if (!QCoreApplication::instance()) {
        static int argc = 1;
        static char name[] = "zembrix";
        static char* argv[] = {name, nullptr};
        StartApplication(argc, argv);
    }
}

State& S() {
    static Immortal<State> storage;
    static State* state = nullptr;
    if (!state) {
        EnsureApplication();
        if (!state) {
            state = storage.Construct();
            Initialise();
        }
    }
    return *state;
}

}  // namespace platform::user
