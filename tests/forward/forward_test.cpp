// The five forwarded operations: the spooler query, the companion beside the
// driver, and what reaches the companion. Companions are real shared objects
// (companion.c) in directories of their own.
#include <dlfcn.h>
#include <gtest/gtest.h>
#include <stdint.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "forward/forward.h"
#include "tests/support/companion.h"
#include "tests/support/stand_in.h"

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
  const struct {
    const char* printer;
    int32_t (*expected)(int32_t fullResult, const char* entry);
  } variants[] = {
      {"full", [](int32_t r, const char*) { return r; }},
      {"missing", [](int32_t r, const char* e) { return std::string(e) == "DALVIRE_FixSetting" ? 99 : r; }},
      {"zero", [](int32_t, const char*) { return 0; }},
      {"ninetynine", [](int32_t, const char*) { return 99; }},
  };
  for (const auto& v : variants) {
    for (const ForwardExport& e : kForwardExports) {
      LastCompanionCall() = CompanionCall();
      std::string printer = v.printer;  // a pointer of the test's own
      const uintptr_t value = (uintptr_t)0xFEDCBA9876543210ull;
      int32_t got = e.call(printer.c_str(), value);
      int32_t expected = v.expected(FullAnswer(e), e.name);
      std::string row = std::string(v.printer) + " / " + e.name;
      EXPECT_EQ(got, expected) << row << ": got " << got << ", expected " << expected;
      bool called = !(std::string(v.printer) == "missing" && std::string(e.name) == "DALVIRE_FixSetting");
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
    bool loads;        // whether a load is attempted at all
    uint32_t queries;  // driver queries: a size query that gives no size asks no more
  } cases[] = {
      {"unknown printer", false, 0},           {"open fails", false, 0},
      {"no size", false, 1},                   {"second query fails", false, 2},
      {"no path", false, 2},                   {"empty path", false, 2},
      {"no companion there", true, 2},         {"bare driver name", false, 2},
      {"relative driver directory", false, 2}, {"drive without directory", false, 2},
      {"directory too long", false, 2},
  };
  for (const auto& c : cases) {
    uint32_t loads = OsFaultCalls(OS_FAULT_LOAD_LIBRARY);
    uint32_t queries = OsFaultCalls(OS_FAULT_GET_DRIVER);
    LastCompanionCall() = CompanionCall();
    int32_t got = DALVIRE_SettingImport(c.printer, 7);
    EXPECT_EQ(got, 99) << c.printer << ": got " << got << ", expected 99";
    EXPECT_EQ(LastCompanionCall().calls, 0) << c.printer;
    EXPECT_EQ(OsFaultCalls(OS_FAULT_LOAD_LIBRARY) - loads, c.loads ? 1u : 0u) << c.printer;
    uint32_t asked = OsFaultCalls(OS_FAULT_GET_DRIVER) - queries;
    EXPECT_EQ(asked, c.queries) << c.printer << ": got " << asked << " driver queries, expected " << c.queries;
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

TEST_F(ForwardTest, EightThreadsCallEveryExportAtOnce) {
  std::atomic<int> wrong{0};
  std::atomic<bool> go{false};
  std::vector<std::thread> threads;
  for (int t = 0; t < 8; ++t) {
    threads.emplace_back([&, t] {
      while (!go) std::this_thread::yield();
      for (int round = 0; round < 40; ++round) {
        for (const ForwardExport& e : kForwardExports) {
          uintptr_t value = ((uintptr_t)t << 56) | (uintptr_t)round;
          LastCompanionCall() = CompanionCall();
          if (e.call("full", value) != FullAnswer(e) || LastCompanionCall().value != value || LastCompanionCall().entry != e.name) ++wrong;
          if (e.call("unknown", value) != 99) ++wrong;
        }
      }
    });
  }
  go = true;
  for (std::thread& th : threads) th.join();
  EXPECT_EQ(wrong.load(), 0);
  ExpectReleased("threads");
}

}  // namespace
