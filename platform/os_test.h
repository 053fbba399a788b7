// Test controls of the POSIX stand-in (native builds only).
//
// Faults: arm a kind to fail its n-th call from now (1-based), for `count`
// calls in a row (OS_FAULT_ALWAYS: every call from then on). Each kind
// counts its calls and the faults it fired, so a test can prove that the
// fault it set up really happened.
#ifndef TRAMOLE_PLATFORM_OS_TEST_H
#define TRAMOLE_PLATFORM_OS_TEST_H

#include <stdint.h>

enum OsFaultKind {
  OS_FAULT_ALLOC,         // OsGlobalAlloc gives none
  OS_FAULT_OPEN_FILE,     // OsOpenFileForRead gives OS_NO_FILE
  OS_FAULT_FILE_SIZE,     // OsGetFileSize reports failure
  OS_FAULT_READ,          // OsReadFile fails
  OS_FAULT_SHORT_READ,    // OsReadFile delivers half of what was asked
  OS_FAULT_SEEK,          // OsSetFilePointer fails
  OS_FAULT_MODULE_PATH,   // OsGetModuleFileName gives no path (the call failed)
  OS_FAULT_OPEN_PRINTER,  // OsOpenPrinter fails
  OS_FAULT_GET_DRIVER,    // OsGetPrinterDriver2 fails, storing no size
  OS_FAULT_LOAD_LIBRARY,  // OsLoadLibrary gives none
  OS_FAULT_GET_PROC,      // OsGetProcAddress gives none
  OS_FAULT_KINDS
};

#define OS_FAULT_ALWAYS 0xFFFFFFFFu

const char* OsFaultName(OsFaultKind kind);
void OsFaultArm(OsFaultKind kind, uint32_t nth, uint32_t count = 1);
uint32_t OsFaultCalls(OsFaultKind kind);  // calls since the last reset
uint32_t OsFaultFired(OsFaultKind kind);  // faults fired since the last reset

// Clears every fault, counter, printer and the chosen module path. Live
// counts of what is still allocated or open are kept: they are the leaks.
void OsTestReset();

// What is still held: allocations, files, printers, modules.
int64_t OsLiveAllocations();
int64_t OsOpenFiles();
int64_t OsOpenPrinters();
int64_t OsLoadedModules();

// Own module path: the chosen UTF-8 text stands in for the real path (0
// restores the real one). A text of OS_LONG_PATH_UNITS UTF-16 units or more
// is a path cut off; a text that is not valid UTF-8 stands for a wide path
// the backend cannot convert. Both give OS_MODULE_PATH_UNUSABLE.
void OsTestSetModulePath(const char* path);

// Printer table. Each printer maps a name to its driver's main file, or
// scripts a failure at one step of the driver query.
enum OsPrinterScript {
  OS_PRINTER_OK,
  OS_PRINTER_OPEN_FAILS,          // OsOpenPrinter fails
  OS_PRINTER_NO_SIZE,             // the size query leaves the needed size 0
  OS_PRINTER_SECOND_QUERY_FAILS,  // the query into the block fails
  OS_PRINTER_NO_PATH,             // the driver information has no path
};
void OsTestAddPrinter(const char* name, const char* driverPath, OsPrinterScript script = OS_PRINTER_OK);
// The name that last reached OsOpenPrinter on this thread.
const char* OsTestLastPrinterName();

#endif
