// One translation in the real library: run in a process whose ANSI code page
// is the language's, it puts TRAMOLEW.dll beside that language's
// TRAMOLED.QDF, loads it, and checks that every code returns exactly the
// bytes iconv gave for the translated text in that code page.
//
//   tramole_lang_wine LANGUAGE CODEPAGE DLL DIR EXPECTED
//
// DIR holds TRAMOLED.QDF; EXPECTED has one "KEY HEX" line per text.
#include <windows.h>

#include <limits.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>

#include <fstream>
#include <map>
#include <string>

#include "tests/wine/wine_support.h"

namespace {

typedef const char*(WINAPI* GetErrorMsgFn)(int32_t code);

std::string FromHex(const std::string& hex) {
  std::string bytes;
  for (size_t i = 0; i + 1 < hex.size(); i += 2)
    bytes += (char)strtoul(hex.substr(i, 2).c_str(), nullptr, 16);
  return bytes;
}

std::string HexOf(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string hex;
  for (unsigned char c : bytes) {
    hex += digits[c >> 4];
    hex += digits[c & 15];
  }
  return hex;
}

// The text's bytes and, for the report, the text itself.
std::string Describe(const std::string& bytes) { return "\"" + wine::Show(bytes, 40) + "\" (" + HexOf(bytes) + ")"; }

}  // namespace

int main(int argc, char** argv) {
  if (argc != 6) {
    fprintf(stderr, "usage: tramole_lang_wine LANGUAGE CODEPAGE DLL DIR EXPECTED\n");
    return 2;
  }
  std::string language = argv[1];
  long codepage = strtol(argv[2], nullptr, 10);
  std::string dll = wine::HostPath(argv[3]);
  std::string dir = wine::HostPath(argv[4]);
  if (dir.back() != '\\') dir += '\\';
  wine::Tally tally;

  // Without the language's code page the test would compare nothing useful.
  if (!tally.Equal(language, "ANSI code page (the test sets LC_ALL)", (long long)GetACP(), codepage))
    return tally.Finish(language);

  std::map<std::string, std::string> expected;
  std::ifstream in(argv[5]);
  std::string key, hex;
  while (in >> key >> hex) expected[key] = FromHex(hex);
  if (!tally.Equal(language, "texts in " + std::string(argv[5]), (long long)expected.size(), 17))
    return tally.Finish(language);

  std::string copy = dir + "TRAMOLEW.dll";
  if (!tally.Check(wine::CopyTo(dll, copy), language, "copy of the DLL to " + copy, "failed", "copied") ||
      !tally.Check(wine::FileExists(dir + "TRAMOLED.QDF"), language, dir + "TRAMOLED.QDF", "missing",
                   "built by qdf.exe"))
    return tally.Finish(language);

  HMODULE module = LoadLibraryA(copy.c_str());
  if (!tally.Check(module != nullptr, language, "LoadLibraryA(" + copy + ")",
                   "error " + std::to_string(GetLastError()), "loaded"))
    return tally.Finish(language);
  GetErrorMsgFn getErrorMsg = reinterpret_cast<GetErrorMsgFn>(
      reinterpret_cast<void (*)()>(GetProcAddress(module, "DALVIRE_GetErrorMsg")));
  if (tally.Check(getErrorMsg != nullptr, language, "DALVIRE_GetErrorMsg", "not exported", "exported")) {
    // The sixteen numbered codes, and codes outside them that take ERMSG_XX.
    const int32_t codes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, -1, INT_MAX, INT_MIN};
    for (int32_t code : codes) {
      char entry[16];
      if (code >= 0 && code <= 15)
        snprintf(entry, sizeof entry, "ERMSG_%02d", (int)code);
      else
        snprintf(entry, sizeof entry, "ERMSG_XX");
      const char* text = getErrorMsg(code);
      std::string got = text ? std::string(text) : std::string("(null)");
      std::string row = language + " code " + std::to_string(code);
      tally.Check(text && got == expected[entry], row, entry, Describe(got), Describe(expected[entry]));
    }
  }
  FreeLibrary(module);
  return tally.Finish(language);
}
