// Setting operations forwarded to the printer driver's companion library.
#ifndef TRAMOLE_FORWARD_FORWARD_H
#define TRAMOLE_FORWARD_FORWARD_H

#include <stdint.h>

#include "platform/os.h"

#define COMPANION_FILE_NAME "TRAMOLEU.DLL"
#define PRINTER_NAME_CHARS 259  // longest printer name the spooler is given
#define FORWARD_NOT_CALLED 99   // no companion entry point could be called

// An entry point of the companion, and of the five exports that call it.
typedef int32_t(TRAMOLE_CALL* CompanionEntry)(const char* printer, uintptr_t value);

// What building the companion's path from a driver path came to: the path,
// or the rule that refused it.
enum CompanionPathResult {
  COMPANION_PATH_BUILT = 0,
  COMPANION_PATH_NO_DRIVER_PATH,  // the driver path is missing or empty
  COMPANION_PATH_TOO_LONG,        // a part or the joined path would not fit
  COMPANION_PATH_NOT_ROOTED,      // the directory does not start at a separator
};

// Builds the path of the companion beside the driver's main file into `out`
// (OS_MAX_PATH bytes). Only the built path is ever loaded; the diagnostic
// host asks the same function, so it never disagrees with the library.
CompanionPathResult BuildCompanionPath(const char* driverPath, char* out);

// Loads the companion from the directory of the printer's driver. The caller
// owns the module and releases it with OsFreeLibrary. 0 when none.
OsModule LoadCompanionLibrary(const char* printer);

extern "C" {
int32_t TRAMOLE_CALL DALVIRE_SettingExport(const char* printer, uintptr_t value);
int32_t TRAMOLE_CALL DALVIRE_SettingImport(const char* printer, uintptr_t value);
int32_t TRAMOLE_CALL DALVIRE_PersonalInfoImport(const char* printer, uintptr_t value);
int32_t TRAMOLE_CALL DALVIRE_DefaultSetting(const char* printer, uintptr_t value);
int32_t TRAMOLE_CALL DALVIRE_FixSetting(const char* printer, uintptr_t value);
}

#endif
