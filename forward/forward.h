// Setting operations forwarded to the printer driver's companion library.
#ifndef TRAMOLE_FORWARD_FORWARD_H
#define TRAMOLE_FORWARD_FORWARD_H

#include <stdint.h>

#include "platform/os.h"
#include "tramolew.h"

#define COMPANION_FILE_NAME TRAMOLEW_COMPANION_NAME
#define PRINTER_NAME_CHARS 259  // longest printer name the spooler is given
#define FORWARD_NOT_CALLED TRAMOLEW_NO_ENTRY_POINT  // no companion entry point could be called

// An entry point of the companion, and of the five exports that call it.
typedef int32_t(TRAMOLE_CALL* CompanionEntry)(const char* printer, uintptr_t value);

// Loads the companion from the directory of the printer's driver. The caller
// owns the module and releases it with OsFreeLibrary. 0 when none.
OsModule LoadCompanionLibrary(const char* printer);

// The five exports are declared in tramolew.h.

#endif
