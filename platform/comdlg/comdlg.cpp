// The common dialogs on Qt: GetSaveFileNameA on a QFileDialog and ChooseColorA
// on a QColorDialog, both Qt's own widget dialogs (never a desktop portal),
// and CommDlgExtendedError.
//
// A box is modal to its owner only: it has no Qt modality (Qt's would block
// other windows of the program too); the window layer disables the owner's
// window for the duration, and the box runs its own event loop. It has no Qt
// parent either, so destroying the owner while the box is up cannot delete it
// from under its loop; it is placed over the owner and kept above it as a
// transient window.
//
// Filters: each pair becomes a Qt name filter; "*.*" means every file, as on
// Windows, and so does an entry without a pattern. The default extension is
// appended to a name given without one. Left out: see platform/win32/comdlg.h.
// Qt's dialogs would keep their history, last folder and custom colours in
// the user's Qt settings file (QtProject.conf) and read them back; the program
// keeps no settings, so the boxes get settings that are always empty and are
// never written (see KeepNoSettings).
#include <QApplication>
#include <QColor>
#include <QColorDialog>
#include <QEventLoop>
#include <QFile>
#include <QFileDialog>
#include <QScreen>
#include <QSettings>
#include <QStringList>
#include <QWidget>
#include <QWindow>
#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <utility>

#include "platform/internal/dialog_hooks.h"
#include "platform/internal/no_destructor.h"
#include "platform/internal/window_bridge.h"
#include "platform/win32.h"

namespace {

thread_local DWORD extendedError = 0;

// A filter list longer than this is taken as unterminated and cut here.
constexpr std::size_t kMaxFilterChars = 32768;

struct Hooks {
    std::mutex lock;
    platform::SaveFileDialogHook saveFile;
    platform::ColorDialogHook color;
};

Hooks& DialogHooks() {
    static platform::NoDestructor<Hooks> hooks;
    return hooks.get();
}

// Disables the owner for the length of a box, also when the box throws.
class ForeignModal {
public:
    explicit ForeignModal(HWND owner) : owner_(owner) {
        if (owner_ != nullptr)
            platform::BeginForeignModal(owner_);
    }
    ~ForeignModal() {
        if (owner_ != nullptr)
            platform::EndForeignModal(owner_);
    }
    ForeignModal(const ForeignModal&) = delete;
    ForeignModal& operator=(const ForeignModal&) = delete;

private:
    HWND owner_;
};

std::vector<platform::SaveFileDialogRequest::Filter> ParseFilters(const char* list) {
    std::vector<platform::SaveFileDialogRequest::Filter> filters;
    if (list == nullptr)
        return filters;
    std::size_t used = 0;
    auto next = [&](std::string& out) {
        const std::size_t length = strnlen(list + used, kMaxFilterChars - used);
        out.assign(list + used, length);
        used = std::min(kMaxFilterChars, used + length + 1);
    };
    while (used < kMaxFilterChars) {
        std::string text;
        next(text);
        if (text.empty())
            break;
        std::string patterns;
        if (used < kMaxFilterChars)
            next(patterns);
        platform::SaveFileDialogRequest::Filter filter;
        filter.text = text;
        std::size_t begin = 0;
        while (begin <= patterns.size()) {
            std::size_t end = patterns.find(';', begin);
            if (end == std::string::npos)
                end = patterns.size();
            std::string pattern = patterns.substr(begin, end - begin);
            pattern.erase(0, pattern.find_first_not_of(' '));
            pattern.erase(pattern.find_last_not_of(' ') + 1);
            if (!pattern.empty())
                filter.patterns.push_back(pattern);
            begin = end + 1;
        }
        filters.push_back(std::move(filter));
        if (patterns.empty())
            break;  // the empty pattern was the list's end
    }
    return filters;
}

QString FromPath(const std::string& path) {
    return QFile::decodeName(QByteArray::fromStdString(path));
}

std::string ToPath(const QString& path) {
    return QFile::encodeName(path).toStdString();
}

// Places a parentless box over its owner's window, inside the screen's
// available area (a small owner near a screen edge would otherwise put the
// box's buttons out of reach), and keeps it above it.
void PlaceOver(QWidget& box, HWND owner) {
    if (box.windowHandle() != nullptr)
        box.windowHandle()->setTransientParent(nullptr);  // a kept box's last owner
    QWidget* widget = owner != nullptr ? platform::WidgetOfWindow(owner) : nullptr;
    if (widget == nullptr)
        return;
    QWidget* top = widget->window();
    box.adjustSize();
    const QRect frame = top->frameGeometry();
    const QSize outer = platform::OuterSizeOf(box);  // move() places the outer edge
    QPoint at = frame.center() - QPoint(outer.width() / 2, outer.height() / 2);
    if (const QScreen* screen = top->screen()) {
        const QRect area = screen->availableGeometry();
        // Right and bottom first, so a box larger than the area keeps its
        // top-left corner (title and first controls) on the screen.
        at.setX(
            std::max(area.left(), std::min(at.x(), area.left() + area.width() - outer.width())));
        at.setY(
            std::max(area.top(), std::min(at.y(), area.top() + area.height() - outer.height())));
    }
    box.move(at);
    box.winId();  // creates the native window, so that it has a handle
    if (box.windowHandle() != nullptr && top->windowHandle() != nullptr)
        box.windowHandle()->setTransientParent(top->windowHandle());
}

// Shows `box` and runs its loop until it closes; returns whether accepted.
bool RunBox(QDialog& box) {
    QEventLoop loop;
    QObject::connect(&box, &QDialog::finished, &loop, &QEventLoop::quit);
    box.setResult(QDialog::Rejected);  // a kept box holds its last answer
    box.show();
    if (box.isVisible())
        loop.exec(QEventLoop::DialogExec);
    return box.result() == QDialog::Accepted;
}

bool HaveWidgets() {
    return qobject_cast<QApplication*>(QCoreApplication::instance()) != nullptr;
}

// The colour box is made on first use and kept until the application object
// goes: Qt's colour box leaves about 4 kB behind each time one is destroyed
// (Qt 6.4), so a program that makes a new one for every call grows without
// bound. Every call sets the whole state a fresh box would have from the
// request; a call made while the kept box is up (from within its loop) gets a
// box of its own. (Qt's file box leaves about 20 kB, but is made afresh each
// time: a kept one has its file list and its name's completions ready at
// once, and in a long run of saves with one a typed name was once not taken,
// which fresh boxes never showed.)
// Qt's boxes take their settings from the user's and the system's Qt
// settings files and write the user's when they go. Both scopes are pointed
// at a path that is no folder: Qt reads nothing there and cannot make the
// folder to write into, so no file is read or written. Done before the first
// box, since Qt keeps a settings object's file once it is made.
void KeepNoSettings() {
    static std::once_flag once;
    std::call_once(once, [] {
        for (const QSettings::Format format : {QSettings::NativeFormat, QSettings::IniFormat}) {
            for (const QSettings::Scope scope : {QSettings::UserScope, QSettings::SystemScope})
                QSettings::setPath(format, scope, QStringLiteral("/dev/null"));
        }
    });
}

QColorDialog* keptColorBox = nullptr;
bool keptColorBoxInUse = false;

void DropKeptColorBox() {
    delete keptColorBox;
    keptColorBox = nullptr;
}

platform::SaveFileDialogAnswer RunFileDialog(const platform::SaveFileDialogRequest& request) {
    KeepNoSettings();
    QFileDialog box(nullptr,
                    request.title.empty() ? QStringLiteral("Save As") : FromPath(request.title));
    box.setOption(QFileDialog::DontUseNativeDialog, true);
    box.setAcceptMode(QFileDialog::AcceptSave);
    box.setFileMode(QFileDialog::AnyFile);
    box.setOption(QFileDialog::DontConfirmOverwrite, !request.overwritePrompt);
    // The list shows each filter's text alone, as Windows does.
    box.setOption(QFileDialog::HideNameFilterDetails, true);
    QStringList names;
    for (const auto& filter : request.filters) {
        QStringList patterns;
        for (const auto& pattern : filter.patterns)
            patterns << (pattern == "*.*" ? QStringLiteral("*") : FromPath(pattern));
        if (patterns.isEmpty())
            patterns << QStringLiteral("*");
        names << FromPath(filter.text) + QStringLiteral(" (") + patterns.join(u' ') +
                     QStringLiteral(")");
    }
    if (!names.isEmpty()) {
        box.setNameFilters(names);
        box.selectNameFilter(names.value(static_cast<int>(request.filterIndex)));
    }
    if (!request.directory.empty())
        box.setDirectory(FromPath(request.directory));
    if (!request.fileName.empty())
        box.selectFile(FromPath(request.fileName));
    box.setDefaultSuffix(FromPath(request.defaultExtension));
    PlaceOver(box, request.owner);

    platform::SaveFileDialogAnswer answer;
    answer.accepted = RunBox(box);
    if (answer.accepted && !box.selectedFiles().isEmpty())
        answer.path = ToPath(box.selectedFiles().first());
    // The box names the filter by its text alone, the details being hidden.
    const QString selected = box.selectedNameFilter();
    answer.filterIndex = request.filterIndex;
    for (int i = 0; i < names.size(); ++i) {
        if (names[i] == selected || names[i].startsWith(selected + QStringLiteral(" ("))) {
            answer.filterIndex = static_cast<std::size_t>(i);
            break;
        }
    }
    return answer;
}

QColor QColorOf(COLORREF color) {
    return QColor(GetRValue(color), GetGValue(color), GetBValue(color));
}

COLORREF ColorOf(const QColor& color) {
    const QColor rgb = color.toRgb();
    return RGB(rgb.red(), rgb.green(), rgb.blue());
}

platform::ColorDialogAnswer RunColorDialog(const platform::ColorDialogRequest& request) {
    KeepNoSettings();
    const int customSlots = std::min<int>(QColorDialog::customCount(), 16);
    for (int i = 0; i < customSlots; ++i)
        QColorDialog::setCustomColor(i, QColorOf(request.customColors[i]));
    std::unique_ptr<QColorDialog> own;
    if (keptColorBoxInUse) {
        own = std::make_unique<QColorDialog>();
    } else if (keptColorBox == nullptr) {
        keptColorBox = new QColorDialog;
        // Post routines run first thing in the application object's
        // destructor, while widgets can still be deleted; each runs once, so
        // it is added again for a later application object.
        qAddPostRoutine(DropKeptColorBox);
    }
    QColorDialog& box = own ? *own : *keptColorBox;
    const bool kept = own == nullptr;
    if (kept)
        keptColorBoxInUse = true;
    box.setCurrentColor(QColorOf(request.initial));
    box.setOption(QColorDialog::DontUseNativeDialog, true);
    box.setOption(QColorDialog::ShowAlphaChannel, false);
    PlaceOver(box, request.owner);

    platform::ColorDialogAnswer answer;
    answer.accepted = RunBox(box);
    if (kept)
        keptColorBoxInUse = false;
    answer.color = ColorOf(box.selectedColor());
    answer.customColors = request.customColors;
    for (int i = 0; i < customSlots; ++i)
        answer.customColors[i] = ColorOf(QColorDialog::customColor(i));
    return answer;
}

// The offset of the file name within `path`, and of its extension (after
// the dot; the end of the path when there is none).
std::size_t NameOffset(const std::string& path) {
    const std::size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? 0 : slash + 1;
}

std::size_t ExtensionOffset(const std::string& path) {
    const std::size_t dot = path.find_last_of('.');
    return dot == std::string::npos || dot < NameOffset(path) ? path.size() : dot + 1;
}

BOOL SaveFileName(LPOPENFILENAMEA ofn) {
    if (ofn == nullptr) {
        extendedError = CDERR_INITIALIZATION;
        return FALSE;
    }
    if (ofn->lStructSize != OPENFILENAME_SIZE_VERSION_400 &&
        ofn->lStructSize != sizeof(OPENFILENAMEA)) {
        extendedError = CDERR_STRUCTSIZE;
        return FALSE;
    }
    if (ofn->lpstrFile == nullptr || ofn->nMaxFile == 0) {
        extendedError = CDERR_INITIALIZATION;
        return FALSE;
    }
    platform::SaveFileDialogRequest request;
    request.owner = ofn->hwndOwner;
    if (ofn->lpstrTitle != nullptr)
        request.title = ofn->lpstrTitle;
    request.filters = ParseFilters(ofn->lpstrFilter);
    // Index 0 asks for the custom filter, which is not supported: the first
    // pair is used then, as for an index beyond the list.
    if (ofn->nFilterIndex >= 1 && ofn->nFilterIndex <= request.filters.size())
        request.filterIndex = ofn->nFilterIndex - 1;
    const std::string initial(ofn->lpstrFile, strnlen(ofn->lpstrFile, ofn->nMaxFile));
    const std::size_t nameAt = NameOffset(initial);
    request.fileName = initial.substr(nameAt);
    if (nameAt > 0)
        request.directory = initial.substr(0, nameAt == 1 ? 1 : nameAt - 1);
    else if (ofn->lpstrInitialDir != nullptr)
        request.directory = ofn->lpstrInitialDir;
    if (ofn->lpstrDefExt != nullptr) {
        request.defaultExtension = ofn->lpstrDefExt;
        request.defaultExtension.erase(0, request.defaultExtension.find_first_not_of('.'));
    }
    request.overwritePrompt = (ofn->Flags & OFN_OVERWRITEPROMPT) != 0;

    platform::SaveFileDialogHook hook;
    {
        std::lock_guard<std::mutex> guard(DialogHooks().lock);
        hook = DialogHooks().saveFile;
    }
    if (!hook && !HaveWidgets()) {
        extendedError = CDERR_DIALOGFAILURE;
        return FALSE;
    }
    platform::SaveFileDialogAnswer answer;
    {
        ForeignModal modal(ofn->hwndOwner);
        answer = hook ? hook(request) : RunFileDialog(request);
    }
    if (!answer.accepted)
        return FALSE;
    std::string path = answer.path;
    if (path.empty() || NameOffset(path) == path.size()) {
        extendedError = FNERR_INVALIDFILENAME;
        return FALSE;
    }
    if (!request.defaultExtension.empty() && ExtensionOffset(path) == path.size())
        path += "." + request.defaultExtension;
    const std::string title = path.substr(NameOffset(path));
    const bool titleFits = ofn->lpstrFileTitle == nullptr || title.size() < ofn->nMaxFileTitle;
    if (path.size() >= ofn->nMaxFile || !titleFits) {
        // As Windows does, the first two bytes tell the size that was needed.
        if (path.size() >= ofn->nMaxFile && ofn->nMaxFile >= 2) {
            const WORD needed = static_cast<WORD>(std::min<std::size_t>(path.size() + 1, 0xFFFF));
            std::memcpy(ofn->lpstrFile, &needed, sizeof needed);
        }
        extendedError = FNERR_BUFFERTOOSMALL;
        return FALSE;
    }
    std::memcpy(ofn->lpstrFile, path.c_str(), path.size() + 1);
    if (ofn->lpstrFileTitle != nullptr)
        std::memcpy(ofn->lpstrFileTitle, title.c_str(), title.size() + 1);
    ofn->nFileOffset = static_cast<WORD>(std::min<std::size_t>(NameOffset(path), 0xFFFF));
    ofn->nFileExtension = static_cast<WORD>(std::min<std::size_t>(ExtensionOffset(path), 0xFFFF));
    if (!request.filters.empty())
        ofn->nFilterIndex =
            static_cast<DWORD>(std::min(answer.filterIndex, request.filters.size() - 1) + 1);
    return TRUE;
}

BOOL ChooseColor(LPCHOOSECOLORA cc) {
    if (cc == nullptr) {
        extendedError = CDERR_INITIALIZATION;
        return FALSE;
    }
    if (cc->lStructSize != sizeof(CHOOSECOLORA)) {
        extendedError = CDERR_STRUCTSIZE;
        return FALSE;
    }
    if (cc->lpCustColors == nullptr) {
        extendedError = CDERR_INITIALIZATION;
        return FALSE;
    }
    platform::ColorDialogRequest request;
    request.owner = cc->hwndOwner;
    request.initial = (cc->Flags & CC_RGBINIT) != 0 ? (cc->rgbResult & 0x00FFFFFFu) : 0;
    std::copy(cc->lpCustColors, cc->lpCustColors + 16, request.customColors.begin());

    platform::ColorDialogHook hook;
    {
        std::lock_guard<std::mutex> guard(DialogHooks().lock);
        hook = DialogHooks().color;
    }
    if (!hook && !HaveWidgets()) {
        extendedError = CDERR_DIALOGFAILURE;
        return FALSE;
    }
    platform::ColorDialogAnswer answer;
    {
        ForeignModal modal(cc->hwndOwner);
        answer = hook ? hook(request) : RunColorDialog(request);
    }
    // The custom colours are the user's edits whether or not the box was
    // confirmed.
    std::copy(answer.customColors.begin(), answer.customColors.end(), cc->lpCustColors);
    if (!answer.accepted)
        return FALSE;
    cc->rgbResult = answer.color & 0x00FFFFFFu;
    return TRUE;
}

}  // namespace

namespace platform {

void SetSaveFileDialogHook(SaveFileDialogHook hook) {
    std::lock_guard<std::mutex> guard(DialogHooks().lock);
    DialogHooks().saveFile = std::move(hook);
}

void SetColorDialogHook(ColorDialogHook hook) {
    std::lock_guard<std::mutex> guard(DialogHooks().lock);
    DialogHooks().color = std::move(hook);
}

}  // namespace platform

BOOL WINAPI GetSaveFileNameA(LPOPENFILENAMEA lpofn) {
    extendedError = 0;
    try {
        return SaveFileName(lpofn);
    } catch (...) {
        extendedError = CDERR_DIALOGFAILURE;
        return FALSE;
    }
}

BOOL WINAPI ChooseColorA(LPCHOOSECOLORA lpcc) {
    extendedError = 0;
    try {
        return ChooseColor(lpcc);
    } catch (...) {
        extendedError = CDERR_DIALOGFAILURE;
        return FALSE;
    }
}

DWORD WINAPI CommDlgExtendedError(void) {
    return extendedError;
}
