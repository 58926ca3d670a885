// Lets tests answer the common dialogs without a display: with a hook
// installed, GetSaveFileNameA and ChooseColorA hand the hook what the box
// would show and take its answer instead of showing a Qt dialog. Everything
// around the box stays the same (the owner is disabled for the duration,
// the answer goes through the same checks into the caller's structure).
#pragma once

#include <array>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "platform/win32/types.h"

namespace platform {

struct SaveFileDialogRequest {
    struct Filter {
        std::string text;                   // shown to the user
        std::vector<std::string> patterns;  // "*.bmp", ...; none: every file
    };
    HWND owner = nullptr;
    std::string title;  // empty: the box's own title
    std::vector<Filter> filters;
    std::size_t filterIndex = 0;   // 0-based into filters
    std::string directory;         // folder the box opens in; empty: the current one
    std::string fileName;          // name the box starts with, without a folder
    std::string defaultExtension;  // without the dot; empty: none
    bool overwritePrompt = false;
};

struct SaveFileDialogAnswer {
    bool accepted = false;
    std::string path;             // as chosen; the default extension is appended later
    std::size_t filterIndex = 0;  // 0-based, the filter in effect when the box closed
};

struct ColorDialogRequest {
    HWND owner = nullptr;
    COLORREF initial = 0;
    std::array<COLORREF, 16> customColors{};
};

struct ColorDialogAnswer {
    bool accepted = false;
    COLORREF color = 0;
    std::array<COLORREF, 16> customColors{};  // written back also on cancel
};

using SaveFileDialogHook = std::function<SaveFileDialogAnswer(const SaveFileDialogRequest&)>;
using ColorDialogHook = std::function<ColorDialogAnswer(const ColorDialogRequest&)>;

// An empty function removes the hook, and the Qt dialogs are shown again.
void SetSaveFileDialogHook(SaveFileDialogHook hook);
void SetColorDialogHook(ColorDialogHook hook);

}  // namespace platform
