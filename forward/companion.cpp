// Companion resolution: from the printer's name to its driver's TRAMOLEU.DLL.
#include <string.h>

#include "forward/forward.h"

PathVerdict BuildCompanionPath(const char* driverPath, char* out) {
  return BuildRootedSiblingPath(driverPath, COMPANION_FILE_NAME, out);
}

// Loads the companion beside the driver's main file, by full path only.
static OsModule LoadBesideDriver(const char* driverPath) {
  char path[OS_PATH_BYTES];
  if (BuildCompanionPath(driverPath, path) != PATH_BUILT) return 0;
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
  char name[PRINTER_NAME_CHARS + 1];
  memset(name, 0, sizeof name);
  strncpy(name, printer, PRINTER_NAME_CHARS);
  OsPrinter handle = 0;
  if (!OsOpenPrinter(name, &handle)) return 0;
  OsModule module = LoadForOpenPrinter(handle);
  OsClosePrinter(handle);
  return module;
}
