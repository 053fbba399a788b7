// Windows backend of the platform seam: each operation is the real kernel32,
// msvcrt or winspool call, paths converted between UTF-8 and UTF-16.
#include <windows.h>
#include <winspool.h>

#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#include "platform/os.h"

static_assert(sizeof(OsDriverInfo2) == sizeof(DRIVER_INFO_2W), "driver information layout");
static_assert(offsetof(OsDriverInfo2, pDriverPath) == offsetof(DRIVER_INFO_2W, pDriverPath),
              "driver path offset");

// A UTF-8 path the library built, as UTF-16 in `wide` (OS_MAX_PATH units);
// 0 when it is not valid UTF-8 or longer than the system's limit.
static int WidePath(const char* path, WCHAR* wide) {
  return MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, path, -1, wide, OS_MAX_PATH) > 0;
}

// `count` units of UTF-16 as terminated UTF-8 in `out` (`room` bytes); 0
// when they hold an unpaired surrogate or do not fit.
static int Utf8Text(const WCHAR* wide, int count, char* out, uint32_t room) {
  if (room == 0 || room > 0x7FFFFFFF) return 0;
  int n = count == 0 ? 0
                     : WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, wide, count, out,
                                           (int)room - 1, nullptr, nullptr);
  if (count != 0 && n <= 0) return 0;
  out[n] = '\0';
  return 1;
}

OsModulePath OsGetModuleFileName(void* module, char* buffer, uint32_t room) {
  if (room == 0) return OS_MODULE_PATH_UNUSABLE;
  buffer[0] = '\0';
  // Room for the longest path the system has; a result that fills it was cut off.
  WCHAR wide[OS_LONG_PATH_UNITS];
  DWORD units = GetModuleFileNameW(static_cast<HMODULE>(module), wide, OS_LONG_PATH_UNITS);
  if (units == 0) return OS_MODULE_PATH_NONE;
  if (units >= OS_LONG_PATH_UNITS) return OS_MODULE_PATH_UNUSABLE;
  if (!Utf8Text(wide, (int)units, buffer, room)) {
    buffer[0] = '\0';
    return OS_MODULE_PATH_UNUSABLE;
  }
  return OS_MODULE_PATH_FOUND;
}

OsFile OsOpenFileForRead(const char* path) {
  WCHAR wide[OS_MAX_PATH];
  if (!WidePath(path, wide)) return OS_NO_FILE;
  return CreateFileW(wide, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                     FILE_ATTRIBUTE_NORMAL, nullptr);
}

uint32_t OsGetFileSize(OsFile file) { return GetFileSize(file, nullptr); }

int OsReadFile(OsFile file, void* destination, uint32_t count, uint32_t* read) {
  DWORD got = 0;
  BOOL ok = ReadFile(file, destination, count, &got, nullptr);
  *read = got;
  return ok ? 1 : 0;
}

uint32_t OsSetFilePointer(OsFile file, int32_t distance) {
  return SetFilePointer(file, distance, nullptr, FILE_BEGIN);
}

void OsCloseFile(OsFile file) { CloseHandle(file); }

void* OsGlobalAlloc(size_t size) { return GlobalAlloc(GMEM_ZEROINIT, size); }

void* OsGlobalLock(void* memory) { return GlobalLock(memory); }

void OsGlobalFreeLocked(void* pointer) {
  HGLOBAL handle = GlobalHandle(pointer);
  GlobalUnlock(handle);
  GlobalFree(handle);
}

void OsGlobalFree(void* memory) { GlobalFree(memory); }

OsModule OsLoadLibrary(const char* path) {
  WCHAR wide[OS_MAX_PATH];
  if (!WidePath(path, wide)) return nullptr;
  return LoadLibraryW(wide);
}

void* OsGetProcAddress(OsModule module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void OsFreeLibrary(OsModule module) { FreeLibrary(static_cast<HMODULE>(module)); }

int OsOpenPrinter(const char* name, OsPrinter* printer) {
  HANDLE handle = nullptr;
  BOOL ok = OpenPrinterA(const_cast<char*>(name), &handle, nullptr);
  *printer = handle;
  return ok ? 1 : 0;
}

// The caller's block holds the wide driver information first and the UTF-8
// driver path after it: the needed size reported is the spooler's own plus
// twice as much again for that path (UTF-8 takes at most three bytes for
// each two-byte unit, and the terminator fits in what is left).
static uint32_t BlockFor(DWORD wideBytes) { return wideBytes > 0x20000000 ? 0 : wideBytes * 3; }

int OsGetPrinterDriver2(OsPrinter printer, void* buffer, uint32_t size, uint32_t* needed) {
  DWORD wideNeeded = 0;
  if (!buffer) {
    BOOL ok = GetPrinterDriverW(printer, nullptr, 2, nullptr, 0, &wideNeeded);
    *needed = BlockFor(wideNeeded);
    return ok ? 1 : 0;
  }
  // Keep room for the UTF-8 path behind what the spooler may fill.
  DWORD wideRoom = size / 3;
  BYTE* block = static_cast<BYTE*>(buffer);
  if (!GetPrinterDriverW(printer, nullptr, 2, block, wideRoom, &wideNeeded)) {
    *needed = BlockFor(wideNeeded);
    return 0;
  }
  DRIVER_INFO_2W* wide = reinterpret_cast<DRIVER_INFO_2W*>(block);
  OsDriverInfo2* info = static_cast<OsDriverInfo2*>(buffer);
  char* text = reinterpret_cast<char*>(block + wideRoom);
  const WCHAR* driverPath = wide->pDriverPath;
  int ok = 1;
  if (driverPath) ok = Utf8Text(driverPath, lstrlenW(driverPath), text, size - wideRoom);
  info->pName = info->pEnvironment = info->pDataFile = info->pConfigFile = nullptr;
  info->pDriverPath = driverPath && ok ? text : nullptr;
  return ok;
}

void OsClosePrinter(OsPrinter printer) { ClosePrinter(printer); }

int OsStrnicmp(const char* a, const char* b, size_t count) { return _strnicmp(a, b, count); }
