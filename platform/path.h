// Splitting and joining of UTF-8 paths, shared by both platform backends and
// by the library. Pure code: nothing here calls the OS.
#ifndef TRAMOLE_PLATFORM_PATH_H
#define TRAMOLE_PLATFORM_PATH_H

#include <stddef.h>

#include "platform/os.h"

// Byte lengths of a path's parts, which follow one another: the drive (an
// ASCII letter and a colon, or nothing), the directory up to and with its
// last separator ('\' or '/'), and the file name after it. A share path
// ("\\server\share\dir\x.dll") has no drive; its directory holds the share.
// UTF-8 never uses the bytes of '\', '/' or ':' inside a character, so the
// parts are exact for every path the system can give.
struct PathParts {
  size_t drive;
  size_t dir;
  size_t name;
};
// Splits `path`, reading at most `limit` bytes; 0 when no terminator lies
// within them (the path is then too long for anything the library builds).
int SplitPath(const char* path, size_t limit, PathParts* parts);

// UTF-16 units that the first `bytes` bytes of UTF-8 take: the measure of
// the system's path limit, whatever the script.
size_t PathUnits(const char* path, size_t bytes);

// 1 when the `bytes` bytes are well-formed UTF-8 (no overlong forms, no
// surrogates, nothing above U+10FFFF): what the system converts to UTF-16.
int Utf8IsValid(const char* text, size_t bytes);

// Why a sibling path was or was not built.
enum PathVerdict {
  PATH_BUILT = 0,
  PATH_NO_PATH,     // no path was given (null or empty)
  PATH_TOO_LONG,    // the joined path would exceed OS_MAX_PATH - 1 units
  PATH_NOT_ROOTED,  // the directory does not start at a separator
};

// Builds drive + directory of `path` + `fileName` in `out` (OS_PATH_BYTES
// bytes, zero-filled first). An empty `path` gives the bare `fileName`.
// PATH_BUILT, or PATH_TOO_LONG with `out` empty when the joined path would
// be longer than OS_MAX_PATH - 1 UTF-16 units or OS_PATH_BYTES - 1 bytes.
PathVerdict BuildSiblingPath(const char* path, const char* fileName, char* out);

// The same for a file that must be found by full path alone: a null or
// empty `path` is PATH_NO_PATH and a directory that is not rooted (bare,
// relative or drive-relative, which the loader would search for) is
// PATH_NOT_ROOTED, each with `out` empty.
PathVerdict BuildRootedSiblingPath(const char* path, const char* fileName, char* out);

#endif
