#include "tests/support/companion.h"

namespace {
thread_local CompanionCall tCall;
}

CompanionCall& LastCompanionCall() { return tCall; }

std::string CompanionDir(const std::string& variant) {
  return std::string(TRAMOLE_COMPANION_ROOT) + "/" + variant;
}

extern "C" __attribute__((visibility("default"))) void TestCompanionRecord(const char* entry,
                                                                           const char* printer,
                                                                           uintptr_t value) {
  ++tCall.calls;
  tCall.entry = entry;
  tCall.printer = printer;
  tCall.value = value;
}
