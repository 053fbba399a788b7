// UTF-8 <-> UTF-16 conversion of paths for the Windows backend (os_win.cpp
// and os_win_spooler.cpp): never best fit, so a path converts exactly or not at all.
#ifndef TRAMOLE_PLATFORM_OS_WIN_TEXT_H
#define TRAMOLE_PLATFORM_OS_WIN_TEXT_H

#include <windows.h>

#include <stdint.h>

#include "platform/os.h"

// A UTF-8 path the library built, as UTF-16 in `wide` (OS_MAX_PATH units);
// 0 when it is not valid UTF-8 or longer than the system's limit.
inline int WidePath(const char* path, WCHAR* wide) {
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, wide, OS_MAX_PATH) > 0;
}

// `count` units of UTF-16 as terminated UTF-8 in `out` (`room` bytes); 0
// when they hold an unpaired surrogate or do not fit.
inline int Utf8Text(const WCHAR* wide, int count, char* out, uint32_t room) {
  if (room == 0 || room > 0x7FFFFFFF) return 0;
  int n = count == 0 ? 0
                     : WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, count, out,
                                           (int)room - 1, nullptr, nullptr);
  if (count != 0 && n <= 0) return 0;
  out[n] = '\0';
  return 1;
}

#endif
