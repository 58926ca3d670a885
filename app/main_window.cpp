#include "app/main_window.h"

#include "app/sizing.h"
#include "engine/geometry.h"
#include "resources/resource.h"
#include "tools/colors_window.h"
#include "tools/coordinates_window.h"
#include "tools/modal_dialogs.h"
#include "tools/progress_window.h"
#include "view/bitmap_export.h"
#include "view/fractal_view.h"

namespace {

constexpr char kFrameClassName[] = "ZembrixMainWndClass";
constexpr char kFrameTitle[] = "Zembrix";
constexpr int kFrameWidth = 550;
constexpr int kFrameHeight = 300;
constexpr std::uint32_t kDefaultIterationLimit = 500;

HWND g_frame = nullptr;
bool g_computing = false;
SizingMachine g_sizing;

FractalEngine* EngineOfFrame() {
    if (g_frame == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<FractalEngine*>(GetWindowLongPtrA(g_frame, GWLP_USERDATA));
}

void ToggleToolWindow(HWND tool) {
    if (tool == nullptr) {
        return;
    }
    ShowWindow(tool, IsWindowVisible(tool) ? SW_HIDE : SW_SHOW);
}

void OnInitMenu(HMENU menu) {
    auto check = [menu](UINT id, HWND tool) {
        const bool visible = tool != nullptr && IsWindowVisible(tool);
        CheckMenuItem(menu, id, MF_BYCOMMAND | (visible ? MF_CHECKED : MF_UNCHECKED));
    };
    check(IDM_VIEW_COORDINATES, TheCoordinatesWindow().Window());
    check(IDM_VIEW_COLORS, TheColorsWindow().Window());
}

// Returns false for a command that is not the frame's.
bool OnCommand(HWND frame, int id) {
    switch (id) {
        case IDM_FILE_EXIT:
            DestroyWindow(frame);
            return true;
        case IDM_FILE_RENDERTOFILE:
            // Its menu item is always grayed; the command works all the same.
            RunRenderToFileDialog(frame, GetEngine());
            return true;
        case IDM_FILE_SAVEIMAGE:
            SaveImage(frame);
            return true;
        case IDM_HELP_ABOUT:
            RunAboutDialog(frame);
            return true;
        case IDM_VIEW_COORDINATES:
            ToggleToolWindow(TheCoordinatesWindow().Window());
            return true;
        case IDM_VIEW_COLORS:
            ToggleToolWindow(TheColorsWindow().Window());
            return true;
        case IDM_VIEW_REFRESH:
            RecomputeAndShow(true);
            return true;
        default:
            return false;
    }
}

ViewSize ViewClientSize() {
    const SIZE size = TheFractalView().ClientSize();
    return ViewSize{size.cx, size.cy};
}

// The resize handling: the machine decides, from what is read now (before
// anything moves), and the frame carries its decisions out in order.
void OnSizingEvent(HWND frame, SizingEvent event, LPARAM lParam) {
    FractalEngine* engine = GetEngine();
    SizingFacts facts;
    facts.engineAttached = engine != nullptr;
    if (engine != nullptr) {
        facts.engineRegion = engine->region;
    }
    facts.viewSize = ViewClientSize();
    const SizingDecision decision = g_sizing.Handle(event, facts);
    if (decision.placeView) {
        const ViewSize client = ClientSizeFromLParam(lParam);
        SizeViewToClient(frame, SIZE{client.width, client.height});
    }
    if (decision.updateEngine && engine != nullptr) {
        const EngineUpdate update = g_sizing.EngineUpdateFor(ViewClientSize());
        if (update.region) {
            engine->SetRegion(*update.region);
        }
        engine->SetSize(update.size.width, update.size.height);
        if (update.region) {
            ShowRegion(*update.region);
        }
    }
    if (decision.recompute) {
        RecomputeAndShow(false);
    }
}

}  // namespace

void TearDown(HACCEL accelerators, FractalEngine& engine) {
    if (g_frame != nullptr) {
        HWND frame = g_frame;
        DestroyWindow(frame);
    }
    g_frame = nullptr;
    if (accelerators != nullptr) {
        DestroyAcceleratorTable(accelerators);
    }
    TheColorsWindow().Destroy();
    TheCoordinatesWindow().Destroy();
    engine.Reset();
}

HWND FrameWindow() {
    return g_frame;
}

bool RegisterWindowClasses(HINSTANCE instance) {
    WNDCLASSEXA wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = MainWindowProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_MENU + 1));
    wc.lpszMenuName = MAKEINTRESOURCEA(IDR_MAINMENU);
    wc.lpszClassName = kFrameClassName;
    if (RegisterClassExA(&wc) == 0) {
        return false;
    }
    return TheFractalView().RegisterViewClass(instance);
}

void SizeViewToClient(HWND frame, SIZE size) {
    if (size.cx == -1) {
        RECT client{};
        GetClientRect(frame, &client);
        size = SIZE{client.right, client.bottom};
    }
    HWND view = TheFractalView().window;
    if (view != nullptr) {
        SetWindowPos(view, nullptr, 0, 0, size.cx, size.cy, SWP_NOZORDER);
    }
}

bool RecomputeAndShow(bool force) {
    FractalEngine* engine = GetEngine();
    // A computation runs to its end before anything else is handled; a request
    // that reaches here during one has nothing to add to it.
    if (engine == nullptr || g_computing) {
        return true;
    }
    g_computing = true;
    const int result = engine->Render(g_frame, force);
    g_computing = false;
    if (result == kRenderComputed) {
        TheFractalView().RequestRecolor();
    }
    return true;
}

bool CreateMainWindow(HINSTANCE instance, FractalEngine& engine) {
    g_frame = CreateWindowExA(WS_EX_CONTROLPARENT, kFrameClassName, kFrameTitle,
                              WS_POPUP | WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                              kFrameWidth, kFrameHeight, nullptr, nullptr, instance, &engine);
    if (g_frame == nullptr) {
        return false;
    }
    FractalView& view = TheFractalView();
    if (!view.CreateViewWindow(g_frame, IDC_FRACTAL_VIEW, 0, 0, 100, 100)) {
        // No window may keep a pointer to the engine once start-up gives up.
        HWND frame = g_frame;
        g_frame = nullptr;
        DestroyWindow(frame);
        return false;
    }
    SizeViewToClient(g_frame, SIZE{-1, -1});
    // Showing can change the client size, so the view is measured after it.
    ShowWindow(g_frame, SW_SHOW);
    const SIZE size = view.ClientSize();
    Region region = kDefaultRegion;
    FitRegionToAspect(size.cx, size.cy, region);
    engine.SetRegion(region);
    engine.SetSize(size.cx, size.cy);
    engine.SetIterationLimit(kDefaultIterationLimit);
    RecomputeAndShow(false);
    return true;
}

LRESULT CALLBACK MainWindowProc(HWND frame, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
        case WM_CREATE: {
            const auto* create = reinterpret_cast<const CREATESTRUCTA*>(lParam);
            SetWindowLongPtrA(frame, GWLP_USERDATA,
                              reinterpret_cast<LONG_PTR>(create->lpCreateParams));
            return 1;
        }
        case WM_DESTROY:
            PostQuitMessage(0);
            return 0;
        case WM_NCDESTROY:
            // Nothing may act on the dead frame, nor find the engine through it.
            if (frame == g_frame) {
                g_frame = nullptr;
            }
            break;
        case WM_COMMAND:
            if (OnCommand(frame, LOWORD(wParam))) {
                return 0;
            }
            break;
        case WM_INITMENU:
            OnInitMenu(reinterpret_cast<HMENU>(wParam));
            break;
        case WM_DISPLAYCHANGE:
            TheFractalView().RequestRecolor();
            break;
        case WM_GETMINMAXINFO: {
            auto* info = reinterpret_cast<MINMAXINFO*>(lParam);
            info->ptMinTrackSize.x = kMinTrackWidth;
            info->ptMinTrackSize.y = kMinTrackHeight;
            break;
        }
        default:
            if (const std::optional<SizingEvent> event = SizingEventForMessage(message, wParam)) {
                OnSizingEvent(frame, *event, lParam);
            }
            break;
    }
    return DefWindowProcA(frame, message, wParam, lParam);
}

bool StartUp(HINSTANCE instance, FractalEngine& engine, HACCEL& accelerators) {
    accelerators = nullptr;
    SetEngineLocator(EngineOfFrame);
    RenderServices services;
    services.makeProgress = [] { return std::make_unique<ProgressWindow>(); };
    services.tickCount = [] { return static_cast<std::uint32_t>(GetTickCount()); };
    SetRenderServices(services);

    if (!RegisterWindowClasses(instance)) {
        return false;
    }
    if (!CreateMainWindow(instance, engine)) {
        engine.Reset();
        return false;
    }
    TheColorsWindow().Create(g_frame);
    TheCoordinatesWindow().Create(g_frame, engine.region, engine.iterationLimit);
    accelerators = LoadAcceleratorsA(instance, MAKEINTRESOURCEA(IDR_ACCELERATORS));
    return true;
}

void HandleMessage(HACCEL accelerators, MSG& msg) {
    if (accelerators != nullptr && g_frame != nullptr &&
        TranslateAcceleratorA(g_frame, accelerators, &msg)) {
        return;
    }
    HWND active = GetActiveWindow();
    if (active != nullptr && IsDialogMessageA(active, &msg)) {
        return;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
}

void RunMessageLoop(HACCEL accelerators) {
    MSG msg;
    while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
        HandleMessage(accelerators, msg);
    }
}

int RunZembrix(HINSTANCE instance) {
    FractalEngine engine;
    HACCEL accelerators = nullptr;
    if (!StartUp(instance, engine, accelerators)) {
        return -1;
    }
    RunMessageLoop(accelerators);
    TearDown(accelerators, engine);
    return 0;
}
