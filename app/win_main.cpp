// The entry point. Only the instance is used: Zembrix takes nothing from its
// command line and ignores the show command.
#include "app/main_window.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    return RunZembrix(instance);
}
