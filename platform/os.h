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

// CreateFileW reports "no file" with the all-ones handle, not with 0.
#define OS_NO_FILE ((OsFile)(intptr_t)-1)

// Result of the 32-bit file queries when they fail.
#define OS_FAILED_U32 0xFFFFFFFFu

// Paths cross this seam as UTF-8. The Windows backend converts them to and
// from UTF-16 and calls the wide functions, so no code page ever changes
// which file a path names.
//
// Longest path the library builds, in UTF-16 units with the terminator: the
// system's limit, in any script.
#define OS_MAX_PATH 260
// Bytes of a UTF-8 path buffer that holds OS_MAX_PATH - 1 units: each unit
// takes at most three bytes (a surrogate pair, two units, takes four).
#define OS_PATH_BYTES (3 * (OS_MAX_PATH - 1) + 1)
// Longest path the system gives at all (long-path form), in UTF-16 units
// with the terminator, and the bytes of its UTF-8 form.
#define OS_LONG_PATH_UNITS 32768
#define OS_LONG_PATH_BYTES (3 * (OS_LONG_PATH_UNITS - 1) + 1)

// Level-2 driver information as the spooler lays it out. OsGetPrinterDriver2
// gives pDriverPath in UTF-8 and no other name (the rest are 0).
struct OsDriverInfo2 {
  uint32_t cVersion;
  char* pName;
  char* pEnvironment;
  char* pDriverPath;
  char* pDataFile;
  char* pConfigFile;
};

// Own module: GetModuleFileNameW into a buffer for the longest path, then
// the path in UTF-8 into `buffer` (`room` bytes), which is left empty unless
// the result is OS_MODULE_PATH_FOUND.
enum OsModulePath {
  OS_MODULE_PATH_FOUND,     // the whole path, terminated
  OS_MODULE_PATH_NONE,      // the system gives no path at all (the call failed)
  OS_MODULE_PATH_UNUSABLE,  // the path was cut off, or its UTF-8 form is invalid or does not fit
};
OsModulePath OsGetModuleFileName(void* module, char* buffer, uint32_t room);

// Files: CreateFileW for reading (share read, open existing), GetFileSize
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

// Loader: LoadLibraryW, GetProcAddress, FreeLibrary.
OsModule OsLoadLibrary(const char* path);
void* OsGetProcAddress(OsModule module, const char* name);
void OsFreeLibrary(OsModule module);

// OsOpenFileForRead and OsLoadLibrary take a UTF-8 path of at most
// OS_MAX_PATH - 1 units; one that is longer or not valid UTF-8 opens nothing.

// Spooler: OpenPrinterA with the host's 8-bit name and no defaults,
// GetPrinterDriverW for level 2 of the caller's own environment (its driver
// path converted to UTF-8 inside the caller's block; a path that cannot be
// converted fails the call), ClosePrinter.
int OsOpenPrinter(const char* name, OsPrinter* printer);
int OsGetPrinterDriver2(OsPrinter printer, void* buffer, uint32_t size, uint32_t* needed);
void OsClosePrinter(OsPrinter printer);

// Run-time library: _strnicmp (ASCII case).
int OsStrnicmp(const char* a, const char* b, size_t count);

#endif
