/*
 * Companion libraries (TRAMOLEU.DLL) for the tests under Wine. One source,
 * built in variants:
 *   COMPANION_RECORDER  the five entry points; each reports what it received
 *                       to the host and returns what the host tells it to.
 *   COMPANION_NO_ENTRY  a companion lacking all five entry points.
 *   COMPANION_NOOP      the five entry points returning 0 at once (benchmark).
 * The recording variants also report being loaded and unloaded, so a test
 * can tell "not loaded" from "loaded, but no entry point", and count loads.
 *
 * The host is the test program; it exports
 *   int32_t TestHostRecord(const char* event, const char* printer,
 *                          uintptr_t value, const char* companionPath)
 * with the companion's own path in UTF-8.
 * which the companion finds in the process's main module.
 */
#include <windows.h>
#include <stdint.h>

typedef int32_t (*HostRecord)(const char* event, const char* printer, uintptr_t value,
                              const char* companionPath);

#if defined(COMPANION_RECORDER) || defined(COMPANION_NO_ENTRY)
static HMODULE own_module;

static int32_t Report(const char* event, const char* printer, uintptr_t value) {
  HostRecord record = (HostRecord)(void (*)(void))GetProcAddress(GetModuleHandleA(NULL), "TestHostRecord");
  /* The companion's own path in UTF-8, exact in any script. */
  WCHAR wide[MAX_PATH + 1] = {0};
  char path[3 * MAX_PATH + 1] = {0};
  DWORD units = GetModuleFileNameW(own_module, wide, MAX_PATH);
  if (units > 0 && units < MAX_PATH)
    WideCharToMultiByte(CP_UTF8, 0, wide, -1, path, (int)sizeof path, NULL, NULL);
  /* A host that does not record gets a result no test expects. */
  return record ? record(event, printer, value, path) : -12345;
}

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
  (void)reserved;
  if (reason == DLL_PROCESS_ATTACH) {
    own_module = module;
    Report("attach", "", 0);
  } else if (reason == DLL_PROCESS_DETACH) {
    Report("detach", "", 0);
  }
  return TRUE;
}
#endif

#if defined(COMPANION_RECORDER)
#define ENTRY(name) \
  __attribute__((dllexport)) int32_t WINAPI name(const char* printer, uintptr_t value) { \
    return Report(#name, printer, value);                                            \
  }
#elif defined(COMPANION_NOOP)
#define ENTRY(name)                                                                  \
  __attribute__((dllexport)) int32_t WINAPI name(const char* printer, uintptr_t value) { \
    (void)printer;                                                                   \
    (void)value;                                                                     \
    return 0;                                                                        \
  }
#endif

#if defined(COMPANION_RECORDER) || defined(COMPANION_NOOP)
ENTRY(DALVIRE_SettingExport)
ENTRY(DALVIRE_SettingImport)
ENTRY(DALVIRE_PersonalInfoImport)
ENTRY(DALVIRE_DefaultSetting)
ENTRY(DALVIRE_FixSetting)
#else
/* Something exported, so that the library is an ordinary DLL with an export
 * table, just not the entry points looked up. */
__attribute__((dllexport)) int32_t WINAPI DALVIRE_Unrelated(const char* printer, uintptr_t value) {
  return Report("DALVIRE_Unrelated", printer, value);
}
#endif
