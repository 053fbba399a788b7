#include <string.h>

#include "forward/forward.h"
#include "platform/path.h"

// Only a path whose directory is rooted is built: a bare or relative one
// would let the loader search for the companion, the current directory
// included.
CompanionPathResult BuildCompanionPath(const char* driverPath, char* out) {
  memset(out, 0, OS_MAX_PATH);
  if (!driverPath || driverPath[0] == '\0') return COMPANION_PATH_NO_DRIVER_PATH;
  if (!BuildSiblingPath(driverPath, COMPANION_FILE_NAME, out)) return COMPANION_PATH_TOO_LONG;
  if (!PathHasRootedDirectory(out)) {
    memset(out, 0, OS_MAX_PATH);
    return COMPANION_PATH_NOT_ROOTED;
  }
  return COMPANION_PATH_BUILT;
}

// Loads the companion beside the driver's main file, by its full path only.
static OsModule LoadBesideDriver(const char* driverPath) {
  char path[OS_MAX_PATH];
  if (BuildCompanionPath(driverPath, path) != COMPANION_PATH_BUILT) return 0;
  return OsLoadLibrary(path);
}

// Asks the spooler for the printer's level-2 driver information and loads
// the companion beside the driver it names.
static OsModule LoadForOpenPrinter(OsPrinter printer) {
  uint32_t needed = 0;
  OsGetPrinterDriver2(printer, 0, 0, &needed);
  if (needed < sizeof(OsDriverInfo2)) return 0;
  void* info = OsGlobalLock(OsGlobalAlloc(needed));
  if (!info) return 0;
  OsModule module = 0;
  if (OsGetPrinterDriver2(printer, info, needed, &needed))
    module = LoadBesideDriver(static_cast<OsDriverInfo2*>(info)->pDriverPath);
  OsGlobalFreeLocked(info);
  return module;
}

OsModule LoadCompanionLibrary(const char* printer) {
  if (!printer) return 0;
  char name[OS_MAX_PATH];
  memset(name, 0, sizeof name);
  strncpy(name, printer, PRINTER_NAME_CHARS);
  OsPrinter handle = 0;
  if (!OsOpenPrinter(name, &handle)) return 0;
  OsModule module = LoadForOpenPrinter(handle);
  OsClosePrinter(handle);
  return module;
}
