// Paths in several scripts and of chosen lengths, measured the way the
// system measures them (UTF-16 units).
#ifndef TRAMOLE_TESTS_SUPPORT_PATHS_H
#define TRAMOLE_TESTS_SUPPORT_PATHS_H

#include <filesystem>
#include <string>

#include "platform/path.h"

// One character of each script the path tests use, in UTF-8 (each one unit).
#define PATH_LATIN "\xC4\x88"     // Ĉ
#define PATH_CYRILLIC "\xD0\x96"  // Ж
#define PATH_CJK "\xE6\x95\xB0"   // 数
// 数据: a directory name no Western ANSI code page can hold.
#define PATH_CJK_DIR "\xE6\x95\xB0\xE6\x8D\xAE"

inline size_t Utf16Units(const std::string& text) { return PathUnits(text.data(), text.size()); }

// `character` (one unit) repeated `units` times.
inline std::string Repeat(const char* character, size_t units) {
  std::string out;
  for (size_t i = 0; i < units; ++i) out += character;
  return out;
}

// A path under `root` of exactly `units` units that ends in `fileName`, with
// directories named in `character` (at most 60 a name, so every name fits a
// POSIX file system); the directories are created.
inline std::string PathOfUnits(const std::string& root, const char* character, size_t units,
                               const std::string& fileName) {
  std::string path = root;
  for (;;) {
    size_t left = units - Utf16Units(path) - 1 - Utf16Units(fileName) - 1;  // two separators
    if (left <= 60) {
      path += "/" + Repeat(character, left);
      std::filesystem::create_directories(path);
      return path + "/" + fileName;
    }
    path += "/" + Repeat(character, 60);
  }
}

#endif
