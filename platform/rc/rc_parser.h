// Parser of the .rc reader: the statements of a Win32 resource script that
// this program's resources use, checked as a resource compiler checks them.
//
// Resources: DIALOG and DIALOGEX (STYLE, EXSTYLE, CAPTION, FONT; CLASS and
// MENU are recognised and refused, since the tables have no place for them),
// with LTEXT, RTEXT, CTEXT, EDITTEXT, PUSHBUTTON, DEFPUSHBUTTON, GROUPBOX and
// CONTROL; MENU with POPUP, MENUITEM and SEPARATOR; ACCELERATORS; BITMAP;
// VERSIONINFO, ICON and the application manifest (a resource of type 24,
// RT_MANIFEST): these three are checked and kept apart, since the tables do
// not carry them and the layer has no use for them (no version queries, no
// window icon, no visual styles or code page to choose). Styles are what
// windres and rc store: the implied WS_CHILD | WS_VISIBLE of controls, each
// statement's own default style, WS_CAPTION from CAPTION, DS_SETFONT from
// FONT, NOT clearing bits. The files that BITMAP, ICON and the manifest name
// are looked up beside the .rc file, then in the -I directories, as windres
// does.
//
// Left out: string tables, cursors, MENUEX, other user-defined resources,
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
