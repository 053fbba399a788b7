// Path helpers shared by both platform backends and by the library.
#ifndef TRAMOLE_PLATFORM_PATH_H
#define TRAMOLE_PLATFORM_PATH_H

#include <stddef.h>

// Lengths of the parts _splitpath would give for a path: the drive (a
// letter and a colon), the directory up to its last separator, and the file
// name without its extension.
struct PathPartLengths {
  size_t drive;
  size_t dir;
  size_t fname;
};
void MeasurePathParts(const char* path, PathPartLengths* lengths);

// Builds drive + directory of `path` + `fileName` in `out` (OS_MAX_PATH
// bytes, zero-filled first). Returns 1 when built; 0, with `out` empty,
// when a part or the joined path would not fit.
int BuildSiblingPath(const char* path, const char* fileName, char* out);

// 1 when the directory part of `path` starts at a separator, so that the
// platform resolves it without a search (no current directory involved).
int PathHasRootedDirectory(const char* path);

#endif
