// The five forwarded setting exports: each loads the companion, calls its entry point of the same name and releases it.
#include "forward/forward.h"

// Calls the companion's entry point `entryName` with the host's own
// arguments, and releases the companion again.
static int32_t Forward(const char* entryName, const char* printer, uintptr_t value) {
  int32_t result = FORWARD_NOT_CALLED;
  if (!printer) return result;
  OsModule companion = LoadCompanionLibrary(printer);
  if (!companion) return result;
  void* address = OsGetProcAddress(companion, entryName);
  if (address) result = reinterpret_cast<CompanionEntry>(address)(printer, value);
  OsFreeLibrary(companion);
  return result;
}

/*
 * DALVIRE_SettingExport, DALVIRE_SettingImport, DALVIRE_PersonalInfoImport,
 * DALVIRE_DefaultSetting, DALVIRE_FixSetting: the five setting operations,
 * each carried out by the companion's entry point of the same name.
 * PARAMS   printer [I] printer name, passed on as the host gave it
 *          value   [I] opaque to this library, passed on unchanged
 * RETURNS  the companion's result; 99 when no entry point could be called.
 */
extern "C" int32_t TRAMOLE_CALL DALVIRE_SettingExport(const char* printer, uintptr_t value) {
  return Forward("DALVIRE_SettingExport", printer, value);
}

extern "C" int32_t TRAMOLE_CALL DALVIRE_SettingImport(const char* printer, uintptr_t value) {
  return Forward("DALVIRE_SettingImport", printer, value);
}

extern "C" int32_t TRAMOLE_CALL DALVIRE_PersonalInfoImport(const char* printer, uintptr_t value) {
  return Forward("DALVIRE_PersonalInfoImport", printer, value);
}

extern "C" int32_t TRAMOLE_CALL DALVIRE_DefaultSetting(const char* printer, uintptr_t value) {
  return Forward("DALVIRE_DefaultSetting", printer, value);
}

extern "C" int32_t TRAMOLE_CALL DALVIRE_FixSetting(const char* printer, uintptr_t value) {
  return Forward("DALVIRE_FixSetting", printer, value);
}
