/*
 * Sample companion library (TRAMOLEU.DLL) for trying the diagnostic host:
 * each of the five entry points prints what it received and returns 0.
 * It belongs beside the main file of the sample printer's driver (see
 * sample-printer.reg).
 */
#include <windows.h>
#include <stdint.h>
#include <stdio.h>

static HMODULE own_module;

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) own_module = module;
  return TRUE;
}

static int32_t Received(const char* entry, const char* printer, uintptr_t value) {
  char path[MAX_PATH + 1] = {0};
  GetModuleFileNameA(own_module, path, MAX_PATH);
  printf("sample companion %s\n  %s received printer \"%s\", value 0x%016llx; returning 0\n", path,
         entry, printer ? printer : "(null)", (unsigned long long)value);
  fflush(stdout);
  return 0;
}

#define ENTRY(name)                                                                  \
  __attribute__((dllexport)) int32_t WINAPI name(const char* printer, uintptr_t value) { \
    return Received(#name, printer, value);                                          \
  }

ENTRY(DALVIRE_SettingExport)
ENTRY(DALVIRE_SettingImport)
ENTRY(DALVIRE_PersonalInfoImport)
ENTRY(DALVIRE_DefaultSetting)
ENTRY(DALVIRE_FixSetting)
