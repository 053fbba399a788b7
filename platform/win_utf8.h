// UTF-8 <-> UTF-16 for the Windows backend: paths cross the seam as UTF-8
// and reach the system's wide calls, so no code page changes which file opens.
#pragma once
#include <windows.h>

#include <stdint.h>

#include "platform/os.h"

// A UTF-8 path the library built, as UTF-16 in `wide` (OS_MAX_PATH units);
// 0 when it is not valid UTF-8 or longer than the system's limit.
static inline int WidePath(const char* path, WCHAR* wide) {
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, wide, OS_MAX_PATH) > 0;
}

// `count` units of UTF-16 as terminated UTF-8 in `out` (`room` bytes); 0
// when they hold an unpaired surrogate or do not fit.
static inline int Utf8Text(const WCHAR* wide, int count, char* out, uint32_t room) {
  if (room == 0 || room > 0x7FFFFFFF) return 0;
  int n = count == 0 ? 0
                     : WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, count, out,
                                           (int)room - 1, nullptr, nullptr);
  if (count != 0 && n <= 0) return 0;
  out[n] = '\0';
  return 1;
}
