// Path splitting and joining on UTF-8 bytes, bounded and without OS calls.
#include "platform/path.h"

#include <string.h>

static int IsSeparator(char c) { return c == '\\' || c == '/'; }

static int IsAsciiLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

int SplitPath(const char* path, size_t limit, PathParts* parts) {
  parts->drive = parts->dir = parts->name = 0;
  size_t length = 0;
  while (length < limit && path[length] != '\0') ++length;
  if (length == limit) return 0;
  size_t drive = length >= 2 && IsAsciiLetter(path[0]) && path[1] == ':' ? 2 : 0;
  size_t dirEnd = drive;
  for (size_t i = drive; i < length; ++i)
    if (IsSeparator(path[i])) dirEnd = i + 1;
  parts->drive = drive;
  parts->dir = dirEnd - drive;
  parts->name = length - dirEnd;
  return 1;
}

size_t PathUnits(const char* path, size_t bytes) {
  size_t units = 0;
  for (size_t i = 0; i < bytes; ++i) {
    unsigned char b = (unsigned char)path[i];
    if ((b & 0xC0) != 0x80) ++units;  // each lead byte starts a character
    if (b >= 0xF0) ++units;           // four-byte characters need a surrogate pair
  }
  return units;
}

int Utf8IsValid(const char* text, size_t bytes) {
  const unsigned char* s = (const unsigned char*)text;
  size_t i = 0;
  while (i < bytes) {
    unsigned char b = s[i];
    size_t n;
    unsigned long c;
    if (b < 0x80) { ++i; continue; }
    if (b >= 0xC2 && b <= 0xDF) { n = 1; c = b & 0x1F; }
    else if (b >= 0xE0 && b <= 0xEF) { n = 2; c = b & 0x0F; }
    else if (b >= 0xF0 && b <= 0xF4) { n = 3; c = b & 0x07; }
    else return 0;
    if (bytes - i - 1 < n) return 0;
    for (size_t k = 1; k <= n; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) return 0;
      c = (c << 6) | (s[i + k] & 0x3F);
    }
    if ((n == 2 && c < 0x800) || (n == 3 && (c < 0x10000 || c > 0x10FFFF))) return 0;
    if (c >= 0xD800 && c <= 0xDFFF) return 0;
    i += n + 1;
  }
  return 1;
}

// Joins drive + directory of `path` and `fileName` in `out` when the result
// keeps within the system's limit in units and within the buffer in bytes.
static PathVerdict Join(const char* path, const PathParts& parts, const char* fileName, char* out) {
  size_t head = parts.drive + parts.dir;
  size_t nameBytes = strlen(fileName);
  if (head + nameBytes >= OS_PATH_BYTES) return PATH_TOO_LONG;
  if (PathUnits(path, head) + PathUnits(fileName, nameBytes) >= OS_MAX_PATH) return PATH_TOO_LONG;
  memcpy(out, path, head);
  memcpy(out + head, fileName, nameBytes + 1);
  return PATH_BUILT;
}

PathVerdict BuildSiblingPath(const char* path, const char* fileName, char* out) {
  memset(out, 0, OS_PATH_BYTES);
  PathParts parts;
  if (!SplitPath(path, OS_LONG_PATH_BYTES, &parts)) return PATH_TOO_LONG;
  return Join(path, parts, fileName, out);
}

PathVerdict BuildRootedSiblingPath(const char* path, const char* fileName, char* out) {
  memset(out, 0, OS_PATH_BYTES);
  if (!path || path[0] == '\0') return PATH_NO_PATH;
  PathParts parts;
  if (!SplitPath(path, OS_LONG_PATH_BYTES, &parts)) return PATH_TOO_LONG;
  if (parts.dir == 0 || !IsSeparator(path[parts.drive])) return PATH_NOT_ROOTED;
  return Join(path, parts, fileName, out);
}
