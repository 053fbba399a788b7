// Windows backend of the platform seam: each operation is the real kernel32
// or msvcrt call. The spooler calls live in os_win_spooler.cpp, so that a
// program without printers imports no WINSPOOL.DRV.
#include <windows.h>

#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#include "platform/os.h"
#include "platform/path.h"

uint32_t OsGetModuleFileName(void* module, char* buffer, uint32_t room) {
  return GetModuleFileNameA(static_cast<HMODULE>(module), buffer, room);
}

OsFile OsOpenFileForRead(const char* path) {
  return CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
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

OsModule OsLoadLibrary(const char* path) { return LoadLibraryA(path); }

void* OsGetProcAddress(OsModule module, const char* name) {
  return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(module), name));
}

void OsFreeLibrary(OsModule module) { FreeLibrary(static_cast<HMODULE>(module)); }

int OsSplitPath(const char* path, char drive[OS_MAX_DRIVE], char dir[OS_MAX_DIR],
                char fname[OS_MAX_FNAME]) {
  drive[0] = dir[0] = fname[0] = '\0';
  // _splitpath does not know the size of our buffers: measure first.
  PathPartLengths n;
  MeasurePathParts(path, &n);
  if (n.drive >= OS_MAX_DRIVE || n.dir >= OS_MAX_DIR || n.fname >= OS_MAX_FNAME) return 0;
  _splitpath(path, drive, dir, fname, nullptr);
  return 1;
}

int OsStrnicmp(const char* a, const char* b, size_t count) { return _strnicmp(a, b, count); }
