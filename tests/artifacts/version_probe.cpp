// Reads a binary's VERSIONINFO the way Windows Explorer and installers do,
// and checks it against the version the build was given.
//
//   version_probe FILE VERSION     e.g. version_probe TRAMOLEW.dll 1.0.0.0
#include <windows.h>

#include <stdio.h>

#include <string>
#include <vector>

#include "tests/wine/wine_support.h"

namespace {

std::string FixedVersion(DWORD ms, DWORD ls) {
  char text[64];
  snprintf(text, sizeof text, "%lu.%lu.%lu.%lu", ms >> 16, ms & 0xffff, ls >> 16, ls & 0xffff);
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 3) {
    fprintf(stderr, "usage: version_probe FILE VERSION\n");
    return 2;
  }
  const std::string file = wine::HostPath(argv[1]);
  const std::string version = argv[2];
  wine::Tally tally;
  const std::string row = "VERSIONINFO";

  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(file.c_str(), &ignored);
  if (!tally.Check(size > 0, row, "GetFileVersionInfoSizeA(" + file + ")",
                   "0, error " + std::to_string(GetLastError()), "a size"))
    return tally.Finish("version");
  std::vector<char> block(size);
  if (!tally.Check(GetFileVersionInfoA(file.c_str(), 0, size, block.data()) != 0, row,
                   "GetFileVersionInfoA", "failed", "the block"))
    return tally.Finish("version");

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (tally.Check(VerQueryValueA(block.data(), "\\", reinterpret_cast<void**>(&fixed), &length) &&
                      fixed && length >= sizeof *fixed,
                  row, "fixed file information", "none", "present")) {
    tally.Equal(row, "fixed signature", wine::Hex(fixed->dwSignature), wine::Hex(0xfeef04bd));
    tally.Equal(row, "fixed file version", FixedVersion(fixed->dwFileVersionMS, fixed->dwFileVersionLS),
                version);
    tally.Equal(row, "fixed product version",
                FixedVersion(fixed->dwProductVersionMS, fixed->dwProductVersionLS), version);
    tally.Equal(row, "file type", (long long)fixed->dwFileType, VFT_DLL);
  }

  // The string table named by the first translation.
  struct Translation {
    WORD language;
    WORD codePage;
  }* translation = nullptr;
  if (!tally.Check(VerQueryValueA(block.data(), "\\VarFileInfo\\Translation",
                                  reinterpret_cast<void**>(&translation), &length) &&
                       translation && length >= sizeof *translation,
                   row, "translation", "none", "one"))
    return tally.Finish("version");
  char table[64];
  snprintf(table, sizeof table, "\\StringFileInfo\\%04x%04x\\", translation->language,
           translation->codePage);

  struct Field {
    const char* name;
    std::string expected;  // "" : any text that is not empty
  };
  const Field fields[] = {{"FileVersion", version}, {"ProductVersion", version}, {"FileDescription", ""}};
  for (const Field& field : fields) {
    char* text = nullptr;
    std::string query = std::string(table) + field.name;
    bool found = VerQueryValueA(block.data(), query.c_str(), reinterpret_cast<void**>(&text), &length) &&
                 text && length > 0;
    std::string value = found ? std::string(text) : std::string();
    if (!tally.Check(!value.empty(), row, query, found ? "an empty text" : "nothing", "a text")) continue;
    if (!field.expected.empty()) tally.Equal(row, query, value, field.expected);
    else printf("%s = %s\n", query.c_str(), value.c_str());
  }
  return tally.Finish("version");
}
