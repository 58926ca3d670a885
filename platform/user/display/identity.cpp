// The program's identity and its display system: X11 whenever a server is
// reachable, Wayland only without one; the desktop entry's id, the class and
// the icon every window carries, so that a desktop groups the windows under
// the installed entry.
//
// Leaves out: startup notification, and icons other than the installed
// hicolor PNGs.
#include <xcb/xcb.h>
#include <QApplication>
#include <QFile>
#include <QIcon>
#include <QStandardPaths>
#include <cstring>

#include "platform/user/display/display.h"
#include "platform/user/display/xcb.h"

namespace platform::user {
namespace {

// Names the installed desktop entry uses: its file (org.zembrix.Zembrix.desktop)
// and StartupWMClass=zembrix.
constexpr char kDesktopId[] = "org.zembrix.Zembrix";
constexpr char kWmClass[] = "zembrix\0Zembrix";  // instance, class: both terminated

// The icon the desktop entry installs (hicolor PNGs), looked up beside the
// program's prefix, in the data folders, and in a build tree.
QIcon ProgramIcon() {
    QIcon icon = QIcon::fromTheme(kDesktopId);
    if (!icon.isNull()) {
        return icon;
    }
    QStringList bases;
    QString dir = QCoreApplication::applicationDirPath();
    bases << dir + "/../share/icons/hicolor" << dir + "/../resources/linux/icons";
    for (const QString& data :
         QStandardPaths::standardLocations(QStandardPaths::GenericDataLocation)) {
        bases << data + "/icons/hicolor";
    }
    for (const QString& base : bases) {
        for (int side : {48, 128, 256}) {
            QString file = QString("%1/%2x%2/apps/%3.png").arg(base).arg(side).arg(kDesktopId);
            if (QFile::exists(file)) {
                icon.addFile(file, QSize(side, side));
            }
        }
        if (!icon.isNull()) {
            break;
        }
    }
    return icon;
}

}  // namespace

void IdentifyWindow(xcb_connection_t* c, xcb_window_t native) {
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, native, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        sizeof kWmClass, kWmClass);
    xcb_atom_t utf8 = Atom(c, "UTF8_STRING");
    for (const char* name : {"_KDE_NET_WM_DESKTOP_FILE", "_GTK_APPLICATION_ID"}) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, native, Atom(c, name), utf8, 8,
                            static_cast<uint32_t>(std::strlen(kDesktopId)), kDesktopId);
    }
}

// Of X11 and Wayland only X11 gives a Win32 program its window model: its own
// window positions, tool windows and dialogs placed relative to their owner,
// frame extents, activation and modality as Windows has them. So the layer
// runs on X11 whenever DISPLAY names a server it can reach, whatever the
// session type (Qt would take Wayland in a Wayland session), and on Wayland
// only without one. A platform the user names (QT_QPA_PLATFORM, or Qt's
// -platform option, which comes first) is kept.
void ChooseDisplaySystem() {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        return;
    }
    const QByteArray display = qgetenv("DISPLAY");
    if (!display.isEmpty()) {
        xcb_connection_t* c = xcb_connect(display.constData(), nullptr);
        const bool reachable = c && !xcb_connection_has_error(c);
        xcb_disconnect(c);
        if (reachable) {
            qputenv("QT_QPA_PLATFORM", "xcb");
            return;
        }
    }
    if (!qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        qputenv("QT_QPA_PLATFORM", "wayland");
    }
}

void IdentifyApplication() {
    // Before any window exists: Wayland takes the app id from it when a
    // window is first shown.
    QGuiApplication::setDesktopFileName(kDesktopId);
    QIcon icon = ProgramIcon();
    if (!icon.isNull()) {
        QApplication::setWindowIcon(icon);
    }
}

}  // namespace platform::user
