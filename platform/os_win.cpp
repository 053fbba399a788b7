// Windows backend of the platform seam: each operation is the real kernel32,
// msvcrt or winspool call.
#include <windows.h>
#include <winspool.h>

#include <stddef.h>
#include <stdlib.h>
#include <string.h>

#include "platform/os.h"
#include "platform/path.h"

static_assert(sizeof(OsDriverInfo2) == sizeof(DRIVER_INFO_2A), "driver information layout");
static_assert(offsetof(OsDriverInfo2, pDriverPath) == offsetof(DRIVER_INFO_2A, pDriverPath),
              "driver path offset");

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

int OsOpenPrinter(const char* name, OsPrinter* printer) {
  HANDLE handle = nullptr;
  BOOL ok = OpenPrinterA(const_cast<char*>(name), &handle, nullptr);
  *printer = handle;
  return ok ? 1 : 0;
}

int OsGetPrinterDriver2(OsPrinter printer, void* buffer, uint32_t size, uint32_t* needed) {
  DWORD want = *needed;
  BOOL ok = GetPrinterDriverA(printer, nullptr, 2, static_cast<BYTE*>(buffer), size, &want);
  *needed = want;
  return ok ? 1 : 0;
}

void OsClosePrinter(OsPrinter printer) { ClosePrinter(printer); }

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
