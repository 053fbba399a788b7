// The files the library opens are exactly the ones the system names: a
// library and a driver in directories whose names no ANSI code page holds
// (with look-alike decoys beside them), library paths too long to use (with
// a planted data file in the current directory), and a double-byte ANSI
// code page whose characters end in the byte of '\'. Every path here is
// made and passed with the wide calls; texts in the tally are UTF-8.
#include <stdio.h>
#include <string.h>

#include "tests/support/qdf_builder.h"
#include "tests/wine/e2e.h"

namespace e2e {

namespace {

const char kCompanion[] = "TRAMOLEU.DLL";

std::wstring Wide(const std::string& utf8) {
  int units = MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, nullptr, 0);
  std::wstring out(units > 0 ? (size_t)units : 1, L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.c_str(), -1, &out[0], units);
  out.resize(out.size() - 1);
  return out;
}

std::string Utf8(const std::wstring& wide) {
  int bytes = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string out(bytes > 0 ? (size_t)bytes : 1, '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), -1, &out[0], bytes, nullptr, nullptr);
  out.resize(out.size() - 1);
  return out;
}

// Directories and files by UTF-8 path, through the long-path form so that
// paths over 259 units can be made too.
std::wstring Long(const std::string& utf8) { return L"\\\\?\\" + Wide(utf8); }

bool MakeDirsW(const std::string& dir) {
  std::string path = dir;
  while (!path.empty() && path.back() == '\\') path.pop_back();
  if (path.size() <= 3) return true;
  DWORD attributes = GetFileAttributesW(Long(path).c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) return (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
  if (!MakeDirsW(wine::DirOf(path))) return false;
  return CreateDirectoryW(Long(path).c_str(), nullptr) || GetLastError() == ERROR_ALREADY_EXISTS;
}

bool CopyW(const std::string& from, const std::string& to) {
  return MakeDirsW(wine::DirOf(to)) && CopyFileW(Wide(from).c_str(), Long(to).c_str(), FALSE);
}

bool WriteW(const std::string& path, const std::vector<uint8_t>& bytes) {
  if (!MakeDirsW(wine::DirOf(path))) return false;
  HANDLE file = CreateFileW(Long(path).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                            FILE_ATTRIBUTE_NORMAL, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  BOOL ok = WriteFile(file, bytes.data(), (DWORD)bytes.size(), &written, nullptr);
  CloseHandle(file);
  return ok && written == bytes.size();
}

std::vector<uint8_t> FallbackOnly(const std::string& text) {
  return BuildMessageFile({{"ERMSG_XX", text}}).bytes;
}

// How the host loads the library.
enum class Host { Ansi, Wide, LongPathForm };

struct LibraryRow {
  std::string row;
  std::string dir;       // UTF-8, with its trailing separator
  Host host;
  std::string expected;  // fallback text the host must get; "" none
};

// Loads the library from `row.dir` and checks the fallback text. The data
// file beside it holds the row's name; the current directory holds a
// planted one that no row may read.
void CheckLibrary(wine::Tally& tally, const std::string& dll, const LibraryRow& row) {
  std::string library = row.dir + "TRAMOLEW.dll";
  if (!tally.Check(CopyW(dll, library) && WriteW(row.dir + "TRAMOLED.QDF", FallbackOnly(row.row)), row.row,
                   "library and data file in " + row.dir, "error " + std::to_string(GetLastError()), "placed"))
    return;
  HMODULE module = nullptr;
  std::wstring wide = Wide(library);
  switch (row.host) {
    case Host::Ansi: {
      // An ANSI host can name only what its code page holds.
      std::string ansi(wide.size() * 2 + 1, '\0');
      BOOL lossy = FALSE;
      int n = WideCharToMultiByte(CP_ACP, WC_NO_BEST_FIT_CHARS, wide.c_str(), -1, &ansi[0], (int)ansi.size(),
                                  nullptr, &lossy);
      if (!tally.Check(n > 0 && !lossy, row.row, "ANSI form of the library path", "lossy", "exact")) return;
      module = LoadLibraryA(ansi.c_str());
      break;
    }
    case Host::Wide: module = LoadLibraryW(wide.c_str()); break;
    case Host::LongPathForm: module = LoadLibraryW((L"\\\\?\\" + wide).c_str()); break;
  }
  if (!tally.Check(module != nullptr, row.row, "load of " + library, "error " + std::to_string(GetLastError()),
                   "a module"))
    return;
  auto getErrorMsg = reinterpret_cast<GetErrorMsgFn>(
      reinterpret_cast<void*>(GetProcAddress(module, "DALVIRE_GetErrorMsg")));
  if (tally.Check(getErrorMsg != nullptr, row.row, "DALVIRE_GetErrorMsg", "missing", "exported"))
    tally.Equal(row.row, "fallback text", wine::Show(getErrorMsg(-1)), wine::Show(row.expected));
  FreeLibrary(module);
}

// `dir` (UTF-8, ending in '\') grown with `fill` to exactly `units` UTF-16
// units, the trailing separator included.
std::string DirOfUnits(const std::string& dir, size_t units) {
  std::string out = dir;
  size_t have = Wide(dir).size();
  size_t segment = 0;
  for (; have + 1 < units; ++have) {
    // Names of at most 100 characters: a file system's name limit is 255.
    if (++segment == 100) {
      out += '\\';
      segment = 0;
    } else {
      out += 'L';
    }
  }
  return out + "\\";
}

// A printer whose driver's main file is `driverPath` (UTF-8), with the
// recording companion beside it; true when the spooler reports that path.
bool PlacePrinter(wine::Tally& tally, const std::string& row, const std::string& printer,
                  const std::string& driverPath, const std::string& companion) {
  std::wstring driver = Wide(printer + " Driver");
  if (!tally.Check(wine::RegisterDriverW(driver, Wide(driverPath)) && wine::RegisterPrinterW(Wide(printer), driver) &&
                       CopyW(companion, wine::DirOf(driverPath) + kCompanion),
                   row, "printer, driver and companion", "error " + std::to_string(GetLastError()), "set up"))
    return false;
  return tally.Equal(row, "driver path the spooler gives", Utf8(wine::SpoolerDriverPathW(Wide(printer))),
                     driverPath);
}

// Calls DALVIRE_SettingImport for `printer` and checks that exactly the
// companion at `expected` (UTF-8) answered.
void CheckCompanion(wine::Tally& tally, const Library& library, const std::string& row, const std::string& printer,
                    const std::string& expected) {
  TakeRecords();
  SetCompanionResult(31);
  int32_t result = library.Export("DALVIRE_SettingImport")(printer.c_str(), 0x5C5C);
  std::vector<Record> records = TakeRecords();
  tally.Equal(row, "result", result, 31);
  bool answered = false;
  for (const Record& r : records) {
    tally.Check(SamePath(r.companion, expected), row, "companion that reported " + r.event, r.companion, expected);
    answered = answered || r.event == "DALVIRE_SettingImport";
  }
  tally.Check(answered, row, "entry point call", "none", "one");
}

}  // namespace

int RunPaths(const std::string& dll, const std::string& companions) {
  wine::Tally tally;
  const std::string root = std::string(kRoot) + "paths\\";
  const std::string recorder = companions + "\\recorder\\" + kCompanion;
  const std::string cwd = root + "current\\";
  if (!tally.Check(WriteW(cwd + "TRAMOLED.QDF", FallbackOnly("planted in the current directory")) &&
                       SetCurrentDirectoryW(Wide(cwd).c_str()),
                   "setup", "current directory with a planted data file", "not set up", "set up"))
    return tally.Finish("paths");
  // The look-alike that the best-fit ANSI form of "Ĉafe" names.
  tally.Check(WriteW(root + "Cafe\\TRAMOLED.QDF", FallbackOnly("decoy Cafe")), "setup", "decoy data file",
              "not placed", "placed");

  // 260 units and more: the ANSI host's path and the long-path host's.
  const std::string long260 = DirOfUnits(root + "long260\\", 260 - strlen("TRAMOLEW.dll"));
  const std::string long327 = DirOfUnits(root + "long327\\", 327 - 4 - strlen("TRAMOLEW.dll"));
  const std::string fits = DirOfUnits(root + "fits\\", 259 - strlen("TRAMOLEW.dll"));
  const LibraryRow rows[] = {
      {"library in \xC4\x88" "afe", root + "\xC4\x88" "afe\\", Host::Wide, "library in \xC4\x88" "afe"},
      {"library under \xE6\x95\xB0\xE6\x8D\xAE", root + "\xE6\x95\xB0\xE6\x8D\xAE\\", Host::Wide,
       "library under \xE6\x95\xB0\xE6\x8D\xAE"},
      {"library path of 259 units", fits, Host::Wide, "library path of 259 units"},
      {"library path of 260 units, ANSI host", long260, Host::Ansi, ""},
      {"library path of 327 units, long-path host", long327, Host::LongPathForm, ""},
  };
  for (const LibraryRow& row : rows) CheckLibrary(tally, dll, row);

  // A driver in "Ĉomp", with a decoy companion in "Comp".
  Library library;
  if (!tally.Check(CopyW(dll, root + "library\\TRAMOLEW.dll"), "setup", "copy of the DLL", "failed", "copied") ||
      !library.Load(root + "library\\TRAMOLEW.dll", tally, "setup"))
    return tally.Finish("paths");
  const std::string comp = root + "\xC4\x88" "omp\\";
  tally.Check(CopyW(recorder, root + "Comp\\" + kCompanion), "setup", "decoy companion", "not placed", "placed");
  if (PlacePrinter(tally, "driver in \xC4\x88" "omp", "Wine Path Latin", comp + "DRV.DLL", recorder))
    CheckCompanion(tally, library, "driver in \xC4\x88" "omp", "Wine Path Latin", comp + kCompanion);
  const std::string cjk = root + "\xE3\x83\x89\xE3\x83\xA9\xE3\x82\xA4\xE3\x83\x90\\";  // ドライバ
  if (PlacePrinter(tally, "driver in CJK directory", "Wine Path CJK", cjk + "DRV.DLL", recorder))
    CheckCompanion(tally, library, "driver in CJK directory", "Wine Path CJK", cjk + kCompanion);
  library.Unload(tally, "teardown");
  return tally.Finish("paths");
}

int RunPathsDoubleByte(const std::string& dll, const std::string& companions) {
  wine::Tally tally;
  if (!tally.Equal("setup", "ANSI code page (run with LC_ALL=ja_JP.UTF-8)", (long long)GetACP(), 932))
    return tally.Finish("paths-932");
  const std::string root = std::string(kRoot) + "paths 932\\";
  const std::string recorder = companions + "\\recorder\\" + kCompanion;
  // 表 (0x95 0x5C) and ソ (0x83 0x5C) end in the byte of '\' in code page 932.
  const std::string trail = "\xE8\xA1\xA8\xE3\x82\xBD";
  const std::string driverDir = root + "driver" + trail + "\\" + trail + "\\";

  const LibraryRow row = {"library under " + trail, root + trail + "\\", Host::Ansi, "library under " + trail};
  CheckLibrary(tally, dll, row);

  Library library;
  if (!tally.Check(CopyW(dll, root + "library\\TRAMOLEW.dll"), "setup", "copy of the DLL", "failed", "copied") ||
      !library.Load(root + "library\\TRAMOLEW.dll", tally, "setup"))
    return tally.Finish("paths-932");
  if (PlacePrinter(tally, "driver directory with 0x5C trail bytes", "Wine Path 932", driverDir + "DRV.DLL", recorder))
    CheckCompanion(tally, library, "driver directory with 0x5C trail bytes", "Wine Path 932", driverDir + kCompanion);
  // A driver file name of 130 such characters: 260 bytes in code page 932,
  // where a split on bytes would take the whole name for the directory.
  std::string longName;
  for (int i = 0; i < 130; ++i) longName += "\xE8\xA1\xA8";
  if (PlacePrinter(tally, "driver file name of 260 bytes in code page 932", "Wine Path 932 Long",
                   driverDir + longName + ".DLL", recorder))
    CheckCompanion(tally, library, "driver file name of 260 bytes in code page 932", "Wine Path 932 Long",
                   driverDir + kCompanion);
  library.Unload(tally, "teardown");
  return tally.Finish("paths-932");
}

}  // namespace e2e
