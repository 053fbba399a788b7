// The five forwarded operations: the spooler query, the companion beside the
// driver, and what reaches the companion. Companions are real shared objects
// (companion.c) in directories of their own.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdint.h>

#include <string.h>

#include <filesystem>
#include <string>

#include "forward/forward.h"
#include "tests/support/companion.h"
#include "tests/support/paths.h"
#include "tests/support/stand_in.h"
#include "tests/support/temp_dir.h"

namespace {

std::string DriverIn(const std::string& variant) { return CompanionDir(variant) + "/driver.so"; }

// 1 when the companion at `path` is still mapped in the process.
bool StillLoaded(const std::string& path) {
  void* h = dlopen(path.c_str(), RTLD_NOW | RTLD_NOLOAD);
  if (h) dlclose(h);
  return h != nullptr;
}

class ForwardTest : public StandInTest {
 protected:
  void SetUp() override {
    StandInTest::SetUp();
    for (const char* v : {"full", "missing", "zero", "ninetynine"}) OsTestAddPrinter(v, DriverIn(v).c_str());
    LastCompanionCall() = CompanionCall();
  }
  void ExpectReleased(const char* what) {
    EXPECT_EQ(OsOpenPrinters(), 0) << what << ": printer left open";
    EXPECT_EQ(OsLoadedModules(), 0) << what << ": companion left loaded";
    EXPECT_EQ(NewAllocations(), 0) << what << ": driver information left allocated";
    for (const char* v : {"full", "missing", "zero", "ninetynine"})
      EXPECT_FALSE(StillLoaded(CompanionDir(v) + "/" COMPANION_FILE_NAME)) << what << ": " << v << " still mapped";
  }
};

TEST_F(ForwardTest, EachExportReachesItsEntryPointInEveryCompanion) {
  for (const char* variant : {"full", "missing", "zero", "ninetynine"}) {
    for (const ForwardExport& e : kForwardExports) {
      LastCompanionCall() = CompanionCall();
      std::string printer = variant;  // a pointer of the test's own
      const uintptr_t value = (uintptr_t)0xFEDCBA9876543210ull;
      int32_t got = e.call(printer.c_str(), value);
      int32_t expected = VariantAnswer(variant, e);
      std::string row = std::string(variant) + " / " + e.name;
      EXPECT_EQ(got, expected) << row << ": got " << got << ", expected " << expected;
      bool called = VariantHasEntry(variant, e);
      EXPECT_EQ(LastCompanionCall().calls, called ? 1 : 0) << row;
      if (called) {
        EXPECT_EQ(LastCompanionCall().entry, e.name) << row;
        EXPECT_EQ(LastCompanionCall().printer, printer.c_str()) << row << ": not the host's own pointer";
        EXPECT_EQ(LastCompanionCall().value, value) << row << ": value changed";
      }
      ExpectReleased(row.c_str());
    }
  }
}

TEST_F(ForwardTest, NothingCalledGives99AndReleasesEverything) {
  OsTestAddPrinter("open fails", DriverIn("full").c_str(), OS_PRINTER_OPEN_FAILS);
  OsTestAddPrinter("no size", DriverIn("full").c_str(), OS_PRINTER_NO_SIZE);
  OsTestAddPrinter("second query fails", DriverIn("full").c_str(), OS_PRINTER_SECOND_QUERY_FAILS);
  OsTestAddPrinter("no path", DriverIn("full").c_str(), OS_PRINTER_NO_PATH);
  OsTestAddPrinter("empty path", "");
  OsTestAddPrinter("no companion there", DriverIn("none").c_str());
  OsTestAddPrinter("bare driver name", "driver.so");
  OsTestAddPrinter("relative driver directory", "companions/full/driver.so");
  OsTestAddPrinter("drive without directory", "C:driver.so");
  std::string deep = "/" + std::string(247, 'd') + "/driver.so";  // 248 characters before the name
  OsTestAddPrinter("directory too long", deep.c_str());
  const struct {
    const char* printer;
    bool loads;  // whether a load is attempted at all
  } cases[] = {
      {"unknown printer", false},           {"open fails", false},
      {"no size", false},                   {"second query fails", false},
      {"no path", false},                   {"empty path", false},
      {"no companion there", true},         {"bare driver name", false},
      {"relative driver directory", false}, {"drive without directory", false},
      {"directory too long", false},
  };
  for (const auto& c : cases) {
    uint32_t loads = OsFaultCalls(OS_FAULT_LOAD_LIBRARY);
    LastCompanionCall() = CompanionCall();
    int32_t got = DALVIRE_SettingImport(c.printer, 7);
    EXPECT_EQ(got, 99) << c.printer << ": got " << got << ", expected 99";
    EXPECT_EQ(LastCompanionCall().calls, 0) << c.printer;
    EXPECT_EQ(OsFaultCalls(OS_FAULT_LOAD_LIBRARY) - loads, c.loads ? 1u : 0u) << c.printer;
    ExpectReleased(c.printer);
  }
}

TEST_F(ForwardTest, NullPrinterNameTouchesNothing) {
  for (const ForwardExport& e : kForwardExports) {
    EXPECT_EQ(e.call(nullptr, 1), 99) << e.name;
  }
  EXPECT_EQ(OsFaultCalls(OS_FAULT_OPEN_PRINTER), 0u);
  EXPECT_EQ(OsFaultCalls(OS_FAULT_ALLOC), 0u);
  EXPECT_EQ(OsFaultCalls(OS_FAULT_LOAD_LIBRARY), 0u);
}

TEST_F(ForwardTest, LongNameReachesTheSpoolerCutAndTheCompanionWhole) {
  std::string name(300, 'p');
  OsTestAddPrinter(name.substr(0, PRINTER_NAME_CHARS).c_str(), DriverIn("full").c_str());
  EXPECT_EQ(DALVIRE_DefaultSetting(name.c_str(), 3), 1004);
  EXPECT_EQ(std::string(OsTestLastPrinterName()), name.substr(0, PRINTER_NAME_CHARS));
  EXPECT_EQ(LastCompanionCall().printer, name.c_str());
  EXPECT_EQ(std::string(LastCompanionCall().printer), name);
  // A name of exactly 259 characters is used whole; 258 is another printer.
  EXPECT_EQ(DALVIRE_DefaultSetting(name.substr(0, 258).c_str(), 3), 99);
  ExpectReleased("long name");
}

TEST_F(ForwardTest, CompanionIsChosenByTheDriverDirectoryAlone) {
  OsTestAddPrinter("A", (CompanionDir("zero") + "/driverA.so").c_str());
  OsTestAddPrinter("B", (CompanionDir("zero") + "/driverB.so").c_str());
  OsTestAddPrinter("C", (CompanionDir("full") + "/driverA.so").c_str());
  EXPECT_EQ(DALVIRE_SettingExport("A", 0), 0);
  EXPECT_EQ(DALVIRE_SettingExport("B", 0), 0);
  EXPECT_EQ(DALVIRE_SettingExport("C", 0), 1001);
  ExpectReleased("shared directory");
}

TEST_F(ForwardTest, EveryCallLoadsAndReleasesTheCompanionAgain) {
  uint32_t before = OsFaultCalls(OS_FAULT_LOAD_LIBRARY);
  EXPECT_EQ(DALVIRE_FixSetting("full", 1), 1005);
  ExpectReleased("first call");
  EXPECT_EQ(DALVIRE_FixSetting("full", 2), 1005);
  ExpectReleased("second call");
  EXPECT_EQ(OsFaultCalls(OS_FAULT_LOAD_LIBRARY) - before, 2u);
  EXPECT_EQ(OsFaultCalls(OS_FAULT_OPEN_PRINTER), 2u);
}

TEST_F(ForwardTest, DriverPathsInAnyScriptLoadTheirOwnCompanion) {
  // Each row's directory holds the "full" companion. Look-alike directories
  // hold the "zero" one: a driver in "Ĉomp" must not reach "Comp", the
  // best-fit ANSI form of its directory.
  TempDir dir;
  auto place = [&](const std::string& directory, const char* variant) {
    std::filesystem::create_directories(directory);
    std::filesystem::copy_file(CompanionDir(variant) + "/" COMPANION_FILE_NAME, directory + "/" COMPANION_FILE_NAME,
                               std::filesystem::copy_options::overwrite_existing);
  };
  place(dir.path() + "/Comp", "zero");
  const struct {
    const char* name;
    std::string directory;  // empty: made to the given length
    const char* character;
    size_t units;  // of the companion's path
    int32_t expected;
  } cases[] = {
      {"Latin, lossy in ANSI", "Ĉomp", nullptr, 0, 1002},
      {"Cyrillic", "Драйвер", nullptr, 0, 1002},
      {"CJK", PATH_CJK_DIR, nullptr, 0, 1002},
      {"259 units, ASCII", "", "c", 259, 1002},
      {"259 units, CJK", "", PATH_CJK, 259, 1002},
      {"260 units, ASCII", "", "c", 260, 99},
      {"260 units, CJK", "", PATH_CJK, 260, 99},
  };
  for (const auto& c : cases) {
    std::string companion = c.directory.empty() ? PathOfUnits(dir.path(), c.character, c.units, COMPANION_FILE_NAME)
                                                : dir.path() + "/" + c.directory + "/" COMPANION_FILE_NAME;
    std::string directory = companion.substr(0, companion.size() - strlen(COMPANION_FILE_NAME) - 1);
    place(directory, "full");
    OsTestAddPrinter(c.name, (directory + "/DRV.DLL").c_str());
    uint32_t loads = OsFaultCalls(OS_FAULT_LOAD_LIBRARY);
    int32_t got = DALVIRE_SettingImport(c.name, 7);
    EXPECT_EQ(got, c.expected) << c.name << ": got " << got << ", expected " << c.expected;
    if (c.expected == 99) EXPECT_EQ(OsFaultCalls(OS_FAULT_LOAD_LIBRARY), loads) << c.name << ": a load was tried";
    ExpectReleased(c.name);
  }

  // A driver path the backend cannot convert: nothing is loaded.
  OsTestAddPrinter("unconvertible", (dir.path() + "/\xED\xA0\x80/DRV.DLL").c_str());
  uint32_t loads = OsFaultCalls(OS_FAULT_LOAD_LIBRARY);
  EXPECT_EQ(DALVIRE_SettingImport("unconvertible", 7), 99);
  EXPECT_EQ(OsFaultCalls(OS_FAULT_LOAD_LIBRARY), loads);
  ExpectReleased("unconvertible");
}

}  // namespace
