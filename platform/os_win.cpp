// Windows backend of the platform seam: each operation is the real kernel32
// or msvcrt call, paths converted between UTF-8 and UTF-16. The spooler
// calls live in os_win_spooler.cpp, so that a program without printers
// imports no WINSPOOL.DRV.
#include <windows.h>

#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#include "platform/os.h"
#include "platform/os_win_text.h"

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

int OsStrnicmp(const char* a, const char* b, size_t count) { return _strnicmp(a, b, count); }
