/*
 * Companions (TRAMOLEU.DLL) for the doctor's tests, one source in variants,
 * each a fault a support engineer meets at a customer site:
 *   DOCTOR_FULL           the five entry points; each returns its value (so
 *                         a call with 99 gets the companion's own 99)
 *   DOCTOR_NO_FIX         all but DALVIRE_FixSetting
 *   DOCTOR_NO_ENTRY       none of the five
 *   DOCTOR_NEEDS_HELPER   the five, but imports VENDORHLP.dll, which the
 *                         tests never install
 *   DOCTOR_DLLMAIN_FALSE  the five, but DllMain refuses the attach
 *   DOCTOR_DECOY          says so on standard output when loaded: put where
 *                         only a search would find it, it must stay silent
 */
#include <windows.h>
#include <stdint.h>

#if defined(DOCTOR_NEEDS_HELPER)
__declspec(dllimport) int32_t VendorHelperAnswer(void);
#define ANSWER(value) ((int32_t)(value) + VendorHelperAnswer())
#else
#define ANSWER(value) ((int32_t)(value))
#endif

BOOL WINAPI DllMain(HINSTANCE module, DWORD reason, LPVOID reserved) {
  (void)module;
  (void)reserved;
#if defined(DOCTOR_DLLMAIN_FALSE)
  if (reason == DLL_PROCESS_ATTACH) return FALSE;
#elif defined(DOCTOR_DECOY)
  if (reason == DLL_PROCESS_ATTACH) {
    static const char text[] = "DECOY COMPANION LOADED\n";
    DWORD written = 0;
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), text, sizeof text - 1, &written, NULL);
  }
#else
  (void)reason;
#endif
  return TRUE;
}

#define ENTRY(name)                                                                    \
  __declspec(dllexport) int32_t WINAPI name(const char* printer, uintptr_t value) {    \
    (void)printer;                                                                     \
    return ANSWER(value);                                                              \
  }

#if !defined(DOCTOR_NO_ENTRY)
ENTRY(DALVIRE_SettingExport)
ENTRY(DALVIRE_SettingImport)
ENTRY(DALVIRE_PersonalInfoImport)
ENTRY(DALVIRE_DefaultSetting)
#if !defined(DOCTOR_NO_FIX)
ENTRY(DALVIRE_FixSetting)
#endif
#else
/* An export table, just without the entry points looked up. */
ENTRY(DALVIRE_Unrelated)
#endif
