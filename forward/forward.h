// Setting operations forwarded to the printer driver's companion library.
#ifndef TRAMOLE_FORWARD_FORWARD_H
#define TRAMOLE_FORWARD_FORWARD_H

#include <stdint.h>

#include "platform/os.h"
#include "platform/path.h"
#include "tramolew.h"

#define COMPANION_FILE_NAME TRAMOLEW_COMPANION_NAME
#define PRINTER_NAME_CHARS 259  // longest printer name the spooler is given
#define FORWARD_NOT_CALLED TRAMOLEW_NO_ENTRY_POINT  // no companion entry point could be called

// An entry point of the companion, and of the five exports that call it.
typedef int32_t(TRAMOLE_CALL* CompanionEntry)(const char* printer, uintptr_t value);

// Builds the companion's full path beside the driver's main file in `out`
// (OS_PATH_BYTES bytes): drive + directory of `driverPath` + COMPANION_FILE_NAME.
// Anything but PATH_BUILT leaves `out` empty and says which rule refused: no
// driver path, a directory that is not rooted (the loader would search for
// it, the current directory included), or a path too long.
PathVerdict BuildCompanionPath(const char* driverPath, char* out);

// Loads the companion from the directory of the printer's driver. The caller
// owns the module and releases it with OsFreeLibrary. 0 when none.
OsModule LoadCompanionLibrary(const char* printer);

// The five exports are declared in tramolew.h.

#endif
