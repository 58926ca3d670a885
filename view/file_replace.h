// Writing a whole file so that an existing one is never lost: the bytes go to
// a new temporary file in the target's folder, which replaces the target only
// once every byte is written.
#pragma once

#include <cstdint>
#include <span>

// Writes `bytes` as the file `path`. A symbolic link is followed: its target
// is replaced, in its target's folder. An existing file that this process may
// not write (its permissions, a read-only mount, an immutable file) is left
// alone and nothing is made. A replaced file keeps its permissions and, where
// this process may set them, its owner and group; an existing file stays
// untouched on any failure, and no temporary file is left behind. When the
// folder cannot take a new file but the target exists and is writable, the
// target itself is rewritten. False on any failure.
bool ReplaceFileContents(const char* path, std::span<const std::uint8_t> bytes);
