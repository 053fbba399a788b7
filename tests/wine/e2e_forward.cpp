// The five forwarded operations against the real spooler and real
// companion DLLs in driver directories of the prefix.
#include <limits.h>
#include <stdio.h>
#include <string.h>

#include "tests/wine/e2e.h"

namespace e2e {

namespace {

const char kCompanion[] = "TRAMOLEU.DLL";

// One printer with its driver, and the companion (if any) put beside the
// driver's main file.
struct PrinterSetup {
  std::string printer;
  std::string driver;
  bool hasDriverValue;          // false: the driver has no Driver value at all
  std::string driverValue;      // the registered Driver value
  std::string companionSource;  // copied beside the driver's main file; "" none
};

// Where the companion lies for a driver whose main file the spooler reports
// at `driverPath` (the spooler puts its driver directory in front of a bare
// file name, so the test asks it rather than guessing).
std::string CompanionBeside(const std::string& driverPath) {
  return wine::DirOf(driverPath) + kCompanion;
}

bool Register(wine::Tally& tally, const PrinterSetup& setup) {
  const std::string& row = setup.printer;
  const char* value = setup.hasDriverValue ? setup.driverValue.c_str() : nullptr;
  if (!tally.Check(wine::RegisterDriver(setup.driver, value) &&
                       wine::RegisterPrinter(setup.printer, setup.driver),
                   row, "registration of " + setup.printer, "failed", "registered"))
    return false;
  if (setup.companionSource.empty()) return true;
  std::string reported = wine::SpoolerDriverPath(setup.printer);
  bool placed = !reported.empty() && wine::CopyTo(setup.companionSource, CompanionBeside(reported));
  return tally.Check(placed, row, "companion beside " + reported, "not placed", "placed");
}

// A directory below the forward root whose path, drive and trailing
// separator included, is exactly `length` characters.
std::string DirectoryOfLength(const std::string& base, size_t length) {
  std::string dir = base;
  while (dir.size() < length - 1) dir += 'D';
  return dir + "\\";
}

std::string Describe(const Record& r) {
  return r.event + "(" + wine::Show(r.printer, 40) + ", " + wine::Hex(r.value) + ") in " + r.companion;
}

struct Call {
  std::string row;
  const char* printer;   // null: a null printer pointer
  const char* exportName;
  uintptr_t value;
  int32_t companionResult;
  int32_t expected;
  std::string companion;  // full path of the companion that must be loaded; "" none
  int loads;              // times it must be loaded (and unloaded)
  int entryCalls;         // times its entry point must run
};

// Makes one forwarded call and checks the result, what reached the
// companion, and that nothing stays loaded.
void CheckCall(wine::Tally& tally, const Library& library, const Call& c) {
  TakeRecords();
  SetCompanionResult(c.companionResult);
  int32_t result = library.Export(c.exportName)(c.printer, c.value);
  std::vector<Record> records = TakeRecords();

  tally.Equal(c.row, std::string(c.exportName) + " result", result, c.expected);
  int attaches = 0, detaches = 0, entries = 0;
  for (const Record& r : records) {
    if (r.event == "attach") ++attaches;
    else if (r.event == "detach") ++detaches;
    else ++entries;
    tally.Check(SamePath(r.companion, c.companion), c.row, "companion that reported " + r.event,
                r.companion, c.companion.empty() ? "none at all" : c.companion);
  }
  tally.Equal(c.row, "companion loads", attaches, c.loads);
  tally.Equal(c.row, "companion unloads", detaches, c.loads);
  tally.Equal(c.row, "entry point calls", entries, c.entryCalls);
  for (const Record& r : records) {
    if (r.event == "attach" || r.event == "detach") continue;
    tally.Equal(c.row, "entry point called", r.event, c.exportName);
    tally.Check(r.printerPointer == c.printer, c.row, "printer pointer the companion got",
                wine::Hex((uintptr_t)r.printerPointer),
                wine::Hex((uintptr_t)c.printer) + " (the host's own)");
    tally.Equal(c.row, "printer name the companion got", wine::Show(r.printer, 300),
                wine::Show(c.printer ? c.printer : "", 300));
    tally.Equal(c.row, "value the companion got", wine::Hex(r.value), wine::Hex(c.value));
  }
  if (!c.companion.empty())
    tally.Check(!IsLoaded(c.companion), c.row, "companion after the call", "still loaded",
                "unloaded");
}

const int32_t kThreadResult = 4242;

struct ThreadCalls {
  const Library* library;
  std::vector<const char*> printers;  // called in turn
  uint32_t index;
  int calls;
  int32_t wrongResults;
};

DWORD WINAPI CallInThread(void* argument) {
  ThreadCalls* work = static_cast<ThreadCalls*>(argument);
  for (int i = 0; i < work->calls; ++i) {
    const char* printer = work->printers[(size_t)i % work->printers.size()];
    uintptr_t value = ((uintptr_t)work->index << 32) | (uint32_t)i;
    if (work->library->forward[i % 5](printer, value) != kThreadResult) ++work->wrongResults;
  }
  return 0;
}

}  // namespace

int RunForward(const std::string& dll, const std::string& companions) {
  wine::Tally tally;
  const std::string root = std::string(kRoot) + "forward\\";
  const std::string recorder = companions + "\\recorder\\" + kCompanion;
  const std::string noEntry = companions + "\\no-entry\\" + kCompanion;

  const std::string spacedDir = root + "driver dir with spaces\\";
  const std::string sharedDir = root + "shared driver dir\\";
  const std::string emptyDir = root + "driver dir without companion\\";
  const std::string noEntryDir = root + "companion without entry points\\";
  const std::string fitsDir = DirectoryOfLength(root + "long\\fits ", 247);
  const std::string overDir = DirectoryOfLength(root + "long\\over ", 248);

  const PrinterSetup setups[] = {
      {"Wine Spaced Printer", "Wine Spaced Driver", true, spacedDir + "SPACED.DLL", recorder},
      {"Wine Shared Printer A", "Wine Shared Driver A", true, sharedDir + "SHAREDA.DLL", recorder},
      {"Wine Shared Printer B", "Wine Shared Driver B", true, sharedDir + "SHAREDB.DLL", ""},
      {"Wine No Companion Printer", "Wine No Companion Driver", true, emptyDir + "NOCOMP.DLL", ""},
      {"Wine No Entry Printer", "Wine No Entry Driver", true, noEntryDir + "NOENTRY.DLL", noEntry},
      // The spooler puts the driver directory in front of a bare file name.
      {"Wine Bare Name Printer", "Wine Bare Name Driver", true, "WINEBARE.DLL", recorder},
      // Neither gives a driver path at all: nothing to load, and nothing to search for.
      {"Wine Pathless Printer", "Wine Pathless Driver", false, "", ""},
      {"Wine Empty Path Printer", "Wine Empty Path Driver", true, "", ""},
      // The companion path fits the library's 260 bytes just so, and just not.
      {"Wine Long Dir Fits Printer", "Wine Long Dir Fits Driver", true, fitsDir + "FITS.DLL", recorder},
      {"Wine Long Dir Over Printer", "Wine Long Dir Over Driver", true, overDir + "OVER.DLL", recorder},
  };
  for (const PrinterSetup& setup : setups)
    if (!Register(tally, setup)) return tally.Finish("forward");
  tally.Check(!wine::FileExists(emptyDir + kCompanion), "Wine No Companion Printer",
              "companion in " + emptyDir, "present", "absent");
  // A path cut to the library's buffer would name this file instead.
  std::string overCut = (overDir + kCompanion).substr(0, 259);
  if (!tally.Check(wine::CopyTo(recorder, overCut), "Wine Long Dir Over Printer",
                   "decoy at " + overCut, "not placed", "placed"))
    return tally.Finish("forward");

  // A companion that a search of the loader's path would find: none of the
  // calls may ever load it.
  const std::string currentDir = root + "current dir\\";
  if (!tally.Check(wine::CopyTo(recorder, currentDir + kCompanion) &&
                       SetCurrentDirectoryA(currentDir.c_str()),
                   "setup", "decoy in the current directory", "not placed", "placed"))
    return tally.Finish("forward");

  const std::string libraryDir = root + "library dir with spaces\\";
  Library library;
  if (!tally.Check(wine::CopyTo(dll, libraryDir + "TRAMOLEW.dll"), "setup", "copy of the DLL",
                   "failed", "copied") ||
      !library.Load(libraryDir + "TRAMOLEW.dll", tally, "setup"))
    return tally.Finish("forward");

  const std::string spaced = spacedDir + kCompanion;
  const std::string shared = sharedDir + kCompanion;
  const std::string bare = CompanionBeside(wine::SpoolerDriverPath("Wine Bare Name Printer"));
  const uintptr_t v = (uintptr_t)0x0123456789abcdefull;
  std::vector<Call> calls;
  for (const char* name : kForwardExports)
    calls.push_back({std::string("each export: ") + name, "Wine Spaced Printer", name, v, 7, 7, spaced, 1, 1});
  const Call more[] = {
      {"drivers sharing a directory: A", "Wine Shared Printer A", "DALVIRE_SettingImport", v, 1, 1, shared, 1, 1},
      {"drivers sharing a directory: B", "Wine Shared Printer B", "DALVIRE_SettingImport", v, 2, 2, shared, 1, 1},
      {"driver directory without companion", "Wine No Companion Printer", "DALVIRE_SettingImport", v, 0, 99, "", 0, 0},
      {"companion without the entry point", "Wine No Entry Printer", "DALVIRE_FixSetting", v, 0, 99,
       noEntryDir + kCompanion, 1, 0},
      {"bare Driver value", "Wine Bare Name Printer", "DALVIRE_SettingExport", v, 3, 3, bare, 1, 1},
      {"no Driver value", "Wine Pathless Printer", "DALVIRE_SettingExport", v, 0, 99, "", 0, 0},
      {"empty Driver value", "Wine Empty Path Printer", "DALVIRE_SettingExport", v, 0, 99, "", 0, 0},
      {"unknown printer", "Wine Printer Nobody Registered", "DALVIRE_DefaultSetting", v, 0, 99, "", 0, 0},
      {"null printer", nullptr, "DALVIRE_DefaultSetting", v, 0, 99, "", 0, 0},
      {"drive and directory of 247 characters", "Wine Long Dir Fits Printer", "DALVIRE_PersonalInfoImport",
       v, 5, 5, fitsDir + kCompanion, 1, 1},
      {"drive and directory of 248 characters", "Wine Long Dir Over Printer", "DALVIRE_PersonalInfoImport",
       v, 5, 99, "", 0, 0},
      {"value 0", "Wine Spaced Printer", "DALVIRE_SettingImport", 0, 0, 0, spaced, 1, 1},
      {"value 0xffffffff", "Wine Spaced Printer", "DALVIRE_SettingImport", 0xffffffffu, 0, 0, spaced, 1, 1},
      {"value 1 << 32", "Wine Spaced Printer", "DALVIRE_SettingImport", (uintptr_t)1 << 32, 0, 0, spaced, 1, 1},
      {"value of all 64 bits", "Wine Spaced Printer", "DALVIRE_SettingImport",
       (uintptr_t)0xfedcba9876543210ull, 0, 0, spaced, 1, 1},
      {"value ~0", "Wine Spaced Printer", "DALVIRE_SettingImport", ~(uintptr_t)0, 0, 0, spaced, 1, 1},
      {"companion returns 0", "Wine Spaced Printer", "DALVIRE_DefaultSetting", v, 0, 0, spaced, 1, 1},
      {"companion returns 99 itself", "Wine Spaced Printer", "DALVIRE_DefaultSetting", v, 99, 99, spaced, 1, 1},
      {"companion returns -1", "Wine Spaced Printer", "DALVIRE_DefaultSetting", v, -1, -1, spaced, 1, 1},
      {"companion returns INT_MIN", "Wine Spaced Printer", "DALVIRE_DefaultSetting", v, INT_MIN, INT_MIN,
       spaced, 1, 1},
      {"companion returns INT_MAX", "Wine Spaced Printer", "DALVIRE_DefaultSetting", v, INT_MAX, INT_MAX,
       spaced, 1, 1},
  };
  calls.insert(calls.end(), more, more + sizeof more / sizeof more[0]);
  for (const Call& call : calls) CheckCall(tally, library, call);

  // Nothing is kept between calls: two calls load and unload twice.
  {
    const std::string row = "two calls in a row";
    TakeRecords();
    SetCompanionResult(0);
    library.forward[1]("Wine Spaced Printer", 1);
    library.forward[1]("Wine Spaced Printer", 2);
    int attaches = 0, detaches = 0;
    std::vector<uintptr_t> values;
    for (const Record& r : TakeRecords()) {
      if (r.event == "attach") ++attaches;
      else if (r.event == "detach") ++detaches;
      else values.push_back(r.value);
    }
    tally.Equal(row, "companion loads", attaches, 2);
    tally.Equal(row, "companion unloads", detaches, 2);
    tally.Equal(row, "entry point calls", (long long)values.size(), 2);
  }

  // Several host threads at once, on printers of different directories:
  // each call must reach the companion of its own printer.
  {
    const std::string row = "four threads at once";
    const char* printersA[] = {"Wine Spaced Printer", "Wine Shared Printer A"};
    const char* printersB[] = {"Wine Shared Printer B", "Wine Bare Name Printer"};
    TakeRecords();
    SetCompanionResult(kThreadResult);
    ThreadCalls work[4];
    HANDLE threads[4];
    for (uint32_t t = 0; t < 4; ++t) {
      work[t].library = &library;
      work[t].printers = t % 2 ? std::vector<const char*>(printersB, printersB + 2)
                               : std::vector<const char*>(printersA, printersA + 2);
      work[t].index = t;
      work[t].calls = 40;
      work[t].wrongResults = 0;
      threads[t] = CreateThread(nullptr, 0, CallInThread, &work[t], 0, nullptr);
    }
    WaitForMultipleObjects(4, threads, TRUE, INFINITE);
    for (HANDLE thread : threads) CloseHandle(thread);
    int entries = 0;
    for (const Record& r : TakeRecords()) {
      if (r.event == "attach" || r.event == "detach") continue;
      ++entries;
      uint32_t t = (uint32_t)(r.value >> 32);
      int i = (int)(uint32_t)r.value;
      if (!tally.Check(t < 4 && i < work[t].calls, row, "value reported", wine::Hex(r.value),
                       "one the host sent"))
        continue;
      std::string printer = work[t].printers[(size_t)i % work[t].printers.size()];
      std::string expected = printer == "Wine Spaced Printer"    ? spaced
                             : printer == "Wine Bare Name Printer" ? bare
                                                                   : shared;
      std::string call = "call " + Describe(r);
      tally.Equal(row, call + ": entry point", r.event, kForwardExports[i % 5]);
      tally.Equal(row, call + ": printer", r.printer, printer);
      tally.Check(SamePath(r.companion, expected), row, call + ": companion", r.companion, expected);
    }
    tally.Equal(row, "entry point calls", entries, 4 * 40);
    for (uint32_t t = 0; t < 4; ++t)
      tally.Equal(row, "thread " + std::to_string(t) + " results other than 4242",
                  work[t].wrongResults, 0);
    for (const std::string& companion : {spaced, shared, bare})
      tally.Check(!IsLoaded(companion), row, companion + " after the threads", "still loaded",
                  "unloaded");
  }

  library.Unload(tally, "teardown");
  return tally.Finish("forward");
}

// Printer names beyond 259 characters. Wine's registry keeps key names to
// 256 UTF-16 units, so a printer whose name is 259 bytes long can only exist
// in a double-byte ANSI code page: this suite runs with code page 932, where
// each of the 120 double-byte characters below is two bytes and one unit.
int RunLongName(const std::string& dll, const std::string& companions) {
  wine::Tally tally;
  if (!tally.Equal("setup", "ANSI code page (run with LC_ALL=ja_JP.UTF-8)", (long long)GetACP(), 932))
    return tally.Finish("long-name");
  const std::string root = std::string(kRoot) + "long name\\";
  const std::string recorder = companions + "\\recorder\\" + kCompanion;

  std::string name = "Wine Long Name ";
  for (int i = 0; i < 120; ++i) name += "\x82\xa0";
  name += "1234";
  tally.Equal("setup", "bytes in the printer name", (long long)name.size(), 259);
  wchar_t wide[300] = {};
  int units = MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, name.c_str(), -1, wide, 300);
  tally.Equal("setup", "UTF-16 units in the printer name", units - 1, 139);

  const std::string driverDir = root + "long name driver\\";
  const std::string companion = driverDir + kCompanion;
  std::string driverPath = driverDir + "LONGNAME.DLL";
  if (!tally.Check(wine::RegisterDriver("Wine Long Name Driver", driverPath.c_str()) &&
                       wine::RegisterPrinterW(wide, L"Wine Long Name Driver") &&
                       wine::CopyTo(recorder, companion),
                   "setup", "printer, driver and companion", "not set up", "set up") ||
      !tally.Equal("setup", "driver path the spooler gives for the 259-byte name",
                   wine::SpoolerDriverPath(name), driverPath))
    return tally.Finish("long-name");

  Library library;
  if (!tally.Check(wine::CopyTo(dll, root + "library\\TRAMOLEW.dll"), "setup", "copy of the DLL",
                   "failed", "copied") ||
      !library.Load(root + "library\\TRAMOLEW.dll", tally, "setup"))
    return tally.Finish("long-name");

  std::string longer = name + " and more bytes that the spooler never sees";
  std::string shorter = name.substr(0, 258);
  const Call calls[] = {
      {"name of 259 bytes", name.c_str(), "DALVIRE_SettingExport", 11, 21, 21, companion, 1, 1},
      {"name of " + std::to_string(longer.size()) + " bytes reaches the companion whole", longer.c_str(), "DALVIRE_SettingImport", 12,
       22, 22, companion, 1, 1},
      {"name cut one byte short", shorter.c_str(), "DALVIRE_SettingImport", 13, 23, 99, "", 0, 0},
  };
  for (const Call& call : calls) CheckCall(tally, library, call);
  library.Unload(tally, "teardown");
  return tally.Finish("long-name");
}

}  // namespace e2e
