/* A companion library for the native forwarding tests. One source, built in
 * four variants:
 *   full        all five entry points, each returns 1000 + its number
 *   missing     lacks DALVIRE_FixSetting (MISSING_COMPANION_LACKS in
 *               tests/support/companion.h)
 *   zero        every entry point returns 0
 *   ninetynine  every entry point returns 99
 * Each call is reported to the test program through TestCompanionRecord,
 * which the program exports; weak, so a host without it can still load us. */
#include <stdint.h>

extern void TestCompanionRecord(const char* entry, const char* printer, uintptr_t value)
    __attribute__((weak));

static int32_t Answer(const char* entry, int32_t number, const char* printer, uintptr_t value) {
  if (TestCompanionRecord) TestCompanionRecord(entry, printer, value);
#if defined(COMPANION_VARIANT_zero)
  (void)number;
  return 0;
#elif defined(COMPANION_VARIANT_ninetynine)
  (void)number;
  return 99;
#else
  return 1000 + number;
#endif
}

#define ENTRY(name, number)                                             \
  __attribute__((visibility("default"))) int32_t name(const char* printer, uintptr_t value) { \
    return Answer(#name, number, printer, value);                       \
  }

ENTRY(DALVIRE_SettingExport, 1)
ENTRY(DALVIRE_SettingImport, 2)
ENTRY(DALVIRE_PersonalInfoImport, 3)
ENTRY(DALVIRE_DefaultSetting, 4)
#if !defined(COMPANION_VARIANT_missing)
ENTRY(DALVIRE_FixSetting, 5)
#endif
