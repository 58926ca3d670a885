// The Linux entry point: starts Qt (silently), puts LC_NUMERIC back to "C"
// and calls the program's WinMain with the command line and SW_SHOWDEFAULT.
// A machine without a display ends the start with one line and exit code -1
// (see the message handler in app.cpp).
#include <clocale>
#include <string>

#include "platform/user/app.h"
#include "platform/win32/kernel.h"
#include "platform/win32/user.h"

int WINAPI WinMain(HINSTANCE instance, HINSTANCE previous, LPSTR commandLine, int show);

int main(int argc, char** argv) {
    static int qtArgc = argc;
    platform::user::StartApplication(qtArgc, argv);
    // Qt sets the user's locale; numbers are formatted and read with a point.
    setlocale(LC_NUMERIC, "C");
    std::string commandLine;
    for (int i = 1; i < qtArgc; ++i) {
        if (i > 1) {
            commandLine += ' ';
        }
        commandLine += argv[i];
    }
    return WinMain(GetModuleHandleA(nullptr), nullptr, commandLine.data(), SW_SHOWDEFAULT);
}
