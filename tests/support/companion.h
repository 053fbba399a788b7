// What native tests need of the forwarded exports and of the companions:
// the five exports with the answer of the "full" companion, and what the
// companion last received on the calling thread.
#ifndef TRAMOLE_TESTS_SUPPORT_COMPANION_H
#define TRAMOLE_TESTS_SUPPORT_COMPANION_H

#include <stdint.h>

#include <string>

#include "forward/forward.h"

typedef int32_t (*ForwardCall)(const char* printer, uintptr_t value);

struct ForwardExport {
  const char* name;
  ForwardCall call;
  int32_t number;  // the "full" companion answers 1000 + number
};

inline const ForwardExport kForwardExports[] = {
    {"DALVIRE_SettingExport", DALVIRE_SettingExport, 1},
    {"DALVIRE_SettingImport", DALVIRE_SettingImport, 2},
    {"DALVIRE_PersonalInfoImport", DALVIRE_PersonalInfoImport, 3},
    {"DALVIRE_DefaultSetting", DALVIRE_DefaultSetting, 4},
    {"DALVIRE_FixSetting", DALVIRE_FixSetting, 5},
};

inline int32_t FullAnswer(const ForwardExport& e) { return 1000 + e.number; }

// The one entry point the "missing" companion lacks (companion.c).
#define MISSING_COMPANION_LACKS "DALVIRE_FixSetting"

// Whether export `e` reaches an entry point of companion `variant`
// ("full", "missing", "zero", "ninetynine").
inline bool VariantHasEntry(const std::string& variant, const ForwardExport& e) {
  return !(variant == "missing" && std::string(e.name) == MISSING_COMPANION_LACKS);
}

// What export `e` returns for a printer whose driver lies beside companion
// `variant`: its entry point's answer, or 99 when it has none.
inline int32_t VariantAnswer(const std::string& variant, const ForwardExport& e) {
  if (!VariantHasEntry(variant, e)) return FORWARD_NOT_CALLED;
  if (variant == "zero") return 0;
  if (variant == "ninetynine") return 99;
  return FullAnswer(e);
}

// Filled by TestCompanionRecord, which the test program exports (its target
// needs ENABLE_EXPORTS) and the companions call. Per thread.
struct CompanionCall {
  int calls = 0;
  std::string entry;  // a copy: the companion is unloaded after the call
  const char* printer = nullptr;
  uintptr_t value = 0;
};
CompanionCall& LastCompanionCall();

// Directory of a companion variant ("full", "missing", "zero", "ninetynine").
std::string CompanionDir(const std::string& variant);

#endif
