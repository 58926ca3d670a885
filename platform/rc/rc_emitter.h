// Emitter of the .rc reader: the C++ source that defines the tables of
// resource_tables.h (every dialog, menu, accelerator table and bitmap of the
// resource file), and the depfile that tells the build what it was made from.
// The version resource is not emitted: the Linux layer has no use for it.
#pragma once

#include <string>
#include <vector>

#include "platform/rc/rc_model.h"

namespace platform::rc::reader {

// sourceName appears only in the generated file's header comment.
std::string EmitTablesSource(const ResourceFile& resources, const std::string& sourceName);

// "target: dep dep ..." in make syntax, spaces escaped.
std::string EmitDepfile(const std::string& target, const std::vector<std::string>& dependencies);

// A C++ string literal, quotes included, for any bytes.
std::string CppStringLiteral(const std::string& bytes);

}  // namespace platform::rc::reader
