#include "platform/path.h"

#include <string.h>

#include "platform/os.h"

static int IsSeparator(char c) { return c == '\\' || c == '/'; }

static int IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

static size_t DriveLength(const char* path) {
  return IsDriveLetter(path[0]) && path[1] == ':' ? 2 : 0;
}

void MeasurePathParts(const char* path, PathPartLengths* lengths) {
  size_t drive = DriveLength(path);
  const char* rest = path + drive;
  size_t dir = 0;
  size_t dot = 0;  // position of the extension's dot within the file name, or 0
  size_t i = 0;
  for (; rest[i] != '\0'; ++i) {
    if (IsSeparator(rest[i])) {
      dir = i + 1;
      dot = 0;
    } else if (rest[i] == '.') {
      dot = i;
    }
  }
  size_t end = dot > dir ? dot : i;
  // A name that starts with its only dot ("\.profile") is all extension.
  if (dot == dir && dot < i && rest[dot] == '.') end = dir;
  lengths->drive = drive;
  lengths->dir = dir;
  lengths->fname = end - dir;
}

int BuildSiblingPath(const char* path, const char* fileName, char* out) {
  char drive[OS_MAX_DRIVE];
  char dir[OS_MAX_DIR];
  char fname[OS_MAX_FNAME];
  memset(out, 0, OS_MAX_PATH);
  if (!OsSplitPath(path, drive, dir, fname)) return 0;
  size_t driveLength = strlen(drive);
  size_t dirLength = strlen(dir);
  size_t nameLength = strlen(fileName);
  if (driveLength + dirLength + nameLength >= OS_MAX_PATH) return 0;
  memcpy(out, drive, driveLength + 1);
  memcpy(out + driveLength, dir, dirLength);
  memcpy(out + driveLength + dirLength, fileName, nameLength + 1);
  return 1;
}

int PathHasRootedDirectory(const char* path) { return IsSeparator(path[DriveLength(path)]); }
