// A host program in C++, linked at load time against TRAMOLEW.dll through
// its import library: message texts and one forwarded call.
//
//   host PRINTER
#include <cstdio>
#include <string>

#include "tramolew.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: host PRINTER\n");
    return 2;
  }
  std::printf("C++ host built against %s %s\n", TRAMOLEW_DLL_NAME, TRAMOLEW_VERSION);
  int failed = 0;
  for (tramolew_int32 code : {0, 15, -1}) {
    const char* text = DALVIRE_GetErrorMsg(code);
    if (!text) {
      std::printf("code %ld: got a null text, expected a text\n", static_cast<long>(code));
      failed = 1;
      continue;
    }
    std::string copy = text;  // the host may keep the pointer too: it stays valid
    std::printf("code %ld: \"%s\"\n", static_cast<long>(code), copy.c_str());
  }
  tramolew_int32 result = DALVIRE_SettingImport(argv[1], static_cast<tramolew_uintptr>(0x1234abcd));
  std::fflush(stdout);
  std::printf("DALVIRE_SettingImport(%s) = %ld\n", argv[1], static_cast<long>(result));
  std::printf("DALVIRE_FixSetting(No Such Printer) = %ld%s\n",
              static_cast<long>(DALVIRE_FixSetting("No Such Printer", 1)),
              DALVIRE_FixSetting("No Such Printer", 1) == TRAMOLEW_NO_ENTRY_POINT ? " (no entry point)" : "");
  std::printf("SetChildInfo() = %ld\n", static_cast<long>(SetChildInfo()));
  return failed;
}
