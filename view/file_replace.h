// Writing a whole file so that an existing one is never lost: the bytes go to
// a new temporary file in the target's folder, which replaces the target only
// once every byte is on the disk.
#pragma once

#include <cstdint>
#include <span>

// Writes `bytes` as the file `path`. A symbolic link is followed, a dangling
// one included: the file it points to gets the picture, in its own folder.
// An existing file that this process may not write (its permissions, a
// read-only mount, an immutable file) is left alone and nothing is made.
// The bytes go to a private temporary file of an unpredictable name, are
// flushed to the disk, and the file then takes the target's name, its
// permissions and, where this process may set them, its owner and group; the
// rename and its folder are flushed too. On any failure an existing file
// stays untouched and no file is left behind. Only when the folder refuses
// new files to this user while the target is writable is the target
// rewritten in place: the room a longer picture needs is reserved first, so
// that a full disk still leaves the old picture, but an interruption while
// the bytes are written leaves part of each. False on any failure.
bool ReplaceFileContents(const char* path, std::span<const std::uint8_t> bytes);
