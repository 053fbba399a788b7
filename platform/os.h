// The one seam between this library and the operating system.
//
// Every kernel, run-time library, loader and spooler operation the library
// uses is declared here. os_win.cpp forwards each one to the real Windows
// call; os_posix.cpp is our stand-in for native builds and tests. Nothing
// outside platform/ includes an OS header or calls the OS directly.
#ifndef TRAMOLE_PLATFORM_OS_H
#define TRAMOLE_PLATFORM_OS_H

#include <stddef.h>
#include <stdint.h>

#if defined(_WIN32)
#define TRAMOLE_CALL __stdcall
#else
#define TRAMOLE_CALL
#endif

typedef void* OsFile;     // open file, or OS_NO_FILE
typedef void* OsModule;   // loaded library, or 0
typedef void* OsPrinter;  // open printer, or 0

// CreateFileA reports "no file" with the all-ones handle, not with 0.
#define OS_NO_FILE ((OsFile)(intptr_t)-1)

// Result of the 32-bit file queries when they fail.
#define OS_FAILED_U32 0xFFFFFFFFu

// Room of every path buffer, terminator included.
#define OS_MAX_PATH 260
// Room of the path parts that OsSplitPath fills.
#define OS_MAX_DRIVE 3
#define OS_MAX_DIR 256
#define OS_MAX_FNAME 256

// Level-2 driver information as the spooler lays it out (DRIVER_INFO_2A).
struct OsDriverInfo2 {
  uint32_t cVersion;
  char* pName;
  char* pEnvironment;
  char* pDriverPath;
  char* pDataFile;
  char* pConfigFile;
};

// Own module: GetModuleFileNameA(module, buffer, room). Returns the number
// of characters stored without the terminator; 0 on failure. A result equal
// to room means the path was cut off.
uint32_t OsGetModuleFileName(void* module, char* buffer, uint32_t room);

// Files: CreateFileA for reading (share read, open existing), GetFileSize
// (low word), ReadFile, SetFilePointer from the start, CloseHandle.
OsFile OsOpenFileForRead(const char* path);
uint32_t OsGetFileSize(OsFile file);
int OsReadFile(OsFile file, void* destination, uint32_t count, uint32_t* read);
uint32_t OsSetFilePointer(OsFile file, int32_t distance);
void OsCloseFile(OsFile file);

// Memory: GlobalAlloc(GMEM_ZEROINIT, size); GlobalLock; release of a locked
// block through GlobalHandle, GlobalUnlock and GlobalFree; GlobalFree.
void* OsGlobalAlloc(size_t size);
void* OsGlobalLock(void* memory);
void OsGlobalFreeLocked(void* pointer);
void OsGlobalFree(void* memory);

// Loader: LoadLibraryA, GetProcAddress, FreeLibrary.
OsModule OsLoadLibrary(const char* path);
void* OsGetProcAddress(OsModule module, const char* name);
void OsFreeLibrary(OsModule module);

// Spooler: OpenPrinterA with no defaults, GetPrinterDriverA for level 2 of
// the caller's own environment, ClosePrinter.
int OsOpenPrinter(const char* name, OsPrinter* printer);
int OsGetPrinterDriver2(OsPrinter printer, void* buffer, uint32_t size, uint32_t* needed);
void OsClosePrinter(OsPrinter printer);

// Run-time library: _splitpath with msvcrt's meaning (both '\' and '/'
// separate; a drive is a letter and a colon) and _strnicmp (ASCII case).
// OsSplitPath first measures the parts and, when one would not fit its
// buffer, fills nothing but empty parts and returns 0; else it returns 1.
int OsSplitPath(const char* path, char drive[OS_MAX_DRIVE], char dir[OS_MAX_DIR],
                char fname[OS_MAX_FNAME]);
int OsStrnicmp(const char* a, const char* b, size_t count);

#endif
