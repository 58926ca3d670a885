// Owners for the Win32 acquire/release pairs the window code uses: a block of
// the process heap, a window DC obtained outside painting, and an object
// selected into a DC. Each releases on every path out.
#pragma once

#include "platform/win32.h"

class HeapBlock {
public:
    explicit HeapBlock(SIZE_T bytes) : p_(HeapAlloc(GetProcessHeap(), 0, bytes)) {}
    HeapBlock(const HeapBlock&) = delete;
    HeapBlock& operator=(const HeapBlock&) = delete;
    ~HeapBlock() { HeapFree(GetProcessHeap(), 0, p_); }  // a null block is harmless
    void* get() const { return p_; }

private:
    void* p_;
};

class WindowDC {
public:
    explicit WindowDC(HWND window) : window_(window), dc_(GetDC(window)) {}
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    ~WindowDC() {
        if (dc_ != nullptr) {
            ReleaseDC(window_, dc_);
        }
    }
    HDC get() const { return dc_; }

private:
    HWND window_;
    HDC dc_;
};

class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ object) : dc_(dc), previous_(SelectObject(dc, object)) {}
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;
    ~SelectedObject() {
        if (previous_ != nullptr) {
            SelectObject(dc_, previous_);
        }
    }

private:
    HDC dc_;
    HGDIOBJ previous_;
};
