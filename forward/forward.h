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
