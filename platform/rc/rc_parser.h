// Parser of the .rc reader: the statements of a Win32 resource script that
// this program's resources use, checked as a resource compiler checks them.
//
// Resources: DIALOG and DIALOGEX (STYLE, EXSTYLE, CAPTION, FONT; CLASS and
// MENU are recognised and refused, since the tables have no place for them),
// with LTEXT, RTEXT, CTEXT, EDITTEXT, PUSHBUTTON, DEFPUSHBUTTON, GROUPBOX and
// CONTROL; MENU with POPUP, MENUITEM and SEPARATOR; ACCELERATORS; BITMAP;
// VERSIONINFO (checked and kept apart, since the tables do not carry it).
// Styles are what windres and rc store: the implied WS_CHILD | WS_VISIBLE of
// controls, each statement's own default style, WS_CAPTION from CAPTION,
// DS_SETFONT from FONT, NOT clearing bits.
//
// Left out: string tables, icons, cursors, MENUEX, user-defined resources,
// LANGUAGE, named (non-numeric) resources, control data blocks.
#pragma once

#include <string>
#include <vector>

#include "platform/rc/rc_error.h"
#include "platform/rc/rc_model.h"
#include "platform/rc/rc_source.h"

namespace platform::rc::reader {

struct ParseResult {
    bool ok = false;
    ResourceFile resources;  // complete when ok
    RcError error;           // the first problem when not ok
};

// Reads the resource file at path and everything it includes. Never throws
// (except std::bad_alloc) and never crashes on any input.
ParseResult ParseResourceFile(const std::string& path, SourceLoader& loader,
                              const std::vector<std::string>& includeDirectories = {});

}  // namespace platform::rc::reader
