// A seam for tests of failure handling: before each step that can fail for
// reasons outside the program (memory, the disk), the platform asks the
// installed injector whether that step should fail this time. Without an
// injector nothing is injected. Not for use by the program itself.
#pragma once

#include <functional>

namespace platform {

enum class FaultSite {
    HeapAlloc,          // HeapAlloc returns null, last error ERROR_NOT_ENOUGH_MEMORY
    DibSectionAlloc,    // CreateDIBSection returns null
    BrushCreate,        // CreateSolidBrush returns null
    FileCreate,         // CreateFileA fails with ERROR_ACCESS_DENIED
    FileCreateFull,     // CreateFileA fails with ERROR_DISK_FULL (no space or no inode left)
    FileCreateTooMany,  // CreateFileA fails with ERROR_TOO_MANY_OPEN_FILES
    FileWrite,          // the next POSIX write of WriteFile fails with ERROR_DISK_FULL
    FileShortWrite,     // the next POSIX write of WriteFile writes at most one byte
    FileFlush,          // FlushFileBuffers, or the flush of the file that a write-through
                        // MoveFileExA or ReplaceFileA makes before its rename, fails with
                        // ERROR_WRITE_FAULT
    FileClose,          // CloseHandle releases the file but reports ERROR_WRITE_FAULT
    FileDelete,         // DeleteFileA fails with ERROR_ACCESS_DENIED
    FileMove,           // the rename of MoveFileExA or ReplaceFileA fails with
                        // ERROR_ACCESS_DENIED (asked just before it)
    FolderFlush,        // the flush of the folder that a write-through MoveFileExA or
                        // ReplaceFileA makes after its rename fails with ERROR_WRITE_FAULT
    ClassRegister,      // RegisterClassExA returns 0
    WindowCreate,       // CreateWindowExA returns null (the controls of a dialog are not asked)
    DialogCreate,       // CreateDialogParamA returns null before WM_INITDIALOG is sent
};

// Returns true to make the step at `site` fail. An empty function removes it.
using FaultInjector = std::function<bool(FaultSite site)>;
void SetFaultInjector(FaultInjector injector);

// Asked by the implementation before each step; false without an injector.
bool ShouldInjectFault(FaultSite site);

}  // namespace platform
