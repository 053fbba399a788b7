// Reads a binary's VERSIONINFO the way Windows Explorer and installers do,
// and checks it against what the build was given.
//
//   version_probe FILE VERSION DLL|APP [NAME=TEXT]...
//
// VERSION is the fixed file and product version (e.g. 1.0.0.0), DLL or APP
// the file type. Each NAME=TEXT is a string of the first translation's table
// that must read TEXT; NAME= (nothing after '=') must be absent. Texts are
// compared as UTF-8, read through the wide calls so that any character
// survives.
#include <windows.h>
#include <shellapi.h>

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

std::string Utf8(const wchar_t* text, int length) {
  if (length <= 0) return std::string();
  int size = WideCharToMultiByte(CP_UTF8, 0, text, length, nullptr, 0, nullptr, nullptr);
  std::string out(size > 0 ? size : 0, '\0');
  if (size > 0) WideCharToMultiByte(CP_UTF8, 0, text, length, &out[0], size, nullptr, nullptr);
  return out;
}

std::wstring Wide(const std::string& text) {
  int size = MultiByteToWideChar(CP_UTF8, 0, text.c_str(), (int)text.size(), nullptr, 0);
  std::wstring out(size > 0 ? size : 0, L'\0');
  if (size > 0) MultiByteToWideChar(CP_UTF8, 0, text.c_str(), (int)text.size(), &out[0], size);
  return out;
}

// The arguments as UTF-8, whatever the ANSI code page.
std::vector<std::string> Arguments() {
  std::vector<std::string> args;
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  for (int i = 0; wide && i < count; ++i) args.push_back(Utf8(wide[i], lstrlenW(wide[i])));
  if (wide) LocalFree(wide);
  return args;
}

}  // namespace

int main() {
  const std::vector<std::string> args = Arguments();
  if (args.size() < 4 || (args[3] != "DLL" && args[3] != "APP")) {
    fprintf(stderr, "usage: version_probe FILE VERSION DLL|APP [NAME=TEXT]...\n");
    return 2;
  }
  const std::string file = wine::HostPath(args[1]);
  const std::wstring wfile = Wide(file);
  const std::string& version = args[2];
  const DWORD type = args[3] == "DLL" ? VFT_DLL : VFT_APP;
  wine::Tally tally;
  const std::string row = "VERSIONINFO of " + file;

  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeW(wfile.c_str(), &ignored);
  if (!tally.Check(size > 0, row, "GetFileVersionInfoSizeW", "0, error " + std::to_string(GetLastError()),
                   "a size"))
    return tally.Finish("version");
  std::vector<char> block(size);
  if (!tally.Check(GetFileVersionInfoW(wfile.c_str(), 0, size, block.data()) != 0, row, "GetFileVersionInfoW",
                   "failed", "the block"))
    return tally.Finish("version");

  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (tally.Check(VerQueryValueW(block.data(), L"\\", reinterpret_cast<void**>(&fixed), &length) && fixed &&
                      length >= sizeof *fixed,
                  row, "fixed file information", "none", "present")) {
    tally.Equal(row, "fixed signature", wine::Hex(fixed->dwSignature), wine::Hex(0xfeef04bd));
    tally.Equal(row, "fixed file version", FixedVersion(fixed->dwFileVersionMS, fixed->dwFileVersionLS),
                version);
    tally.Equal(row, "fixed product version",
                FixedVersion(fixed->dwProductVersionMS, fixed->dwProductVersionLS), version);
    tally.Equal(row, "file type", (long long)fixed->dwFileType, (long long)type);
  }

  // The string table named by the first translation.
  struct Translation {
    WORD language;
    WORD codePage;
  }* translation = nullptr;
  if (!tally.Check(VerQueryValueW(block.data(), L"\\VarFileInfo\\Translation",
                                  reinterpret_cast<void**>(&translation), &length) &&
                       translation && length >= sizeof *translation,
                   row, "translation", "none", "one"))
    return tally.Finish("version");
  char table[64];
  snprintf(table, sizeof table, "\\StringFileInfo\\%04x%04x\\", translation->language, translation->codePage);

  for (size_t i = 4; i < args.size(); ++i) {
    const size_t cut = args[i].find('=');
    if (cut == std::string::npos || cut == 0) {
      fprintf(stderr, "version_probe: '%s' is not NAME=TEXT\n", args[i].c_str());
      return 2;
    }
    const std::string name = args[i].substr(0, cut);
    const std::string expected = args[i].substr(cut + 1);
    const std::wstring query = Wide(table + name);
    wchar_t* text = nullptr;
    length = 0;
    const bool found =
        VerQueryValueW(block.data(), query.c_str(), reinterpret_cast<void**>(&text), &length) && text;
    // The length counts the terminating null.
    std::string value = found ? Utf8(text, lstrlenW(text)) : std::string();
    if (expected.empty())
      tally.Check(!found, row, name, "'" + value + "'", "no such string");
    else
      tally.Equal(row, name, found ? "'" + value + "'" : "nothing", "'" + expected + "'");
  }
  return tally.Finish("version");
}
