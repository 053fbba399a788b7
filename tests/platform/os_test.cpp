// The stand-in's own controls: the rest of the tests trust them.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "platform/os.h"
#include "platform/os_test.h"
#include "tests/support/temp_dir.h"

namespace {

TEST(StandInFaults, FireOnTheArmedCallsAndCountThem) {
  OsTestReset();
  OsFaultArm(OS_FAULT_ALLOC, 2, 2);
  void* blocks[5];
  for (void*& b : blocks) b = OsGlobalAlloc(8);
  EXPECT_NE(blocks[0], nullptr);
  EXPECT_EQ(blocks[1], nullptr);
  EXPECT_EQ(blocks[2], nullptr);
  EXPECT_NE(blocks[3], nullptr);
  EXPECT_EQ(OsFaultCalls(OS_FAULT_ALLOC), 5u);
  EXPECT_EQ(OsFaultFired(OS_FAULT_ALLOC), 2u);
  for (void* b : blocks) OsGlobalFree(b);

  OsFaultArm(OS_FAULT_ALLOC, 1, OS_FAULT_ALWAYS);
  for (int i = 0; i < 3; ++i) EXPECT_EQ(OsGlobalAlloc(8), nullptr);
  EXPECT_EQ(OsFaultFired(OS_FAULT_ALLOC), 5u);
  OsTestReset();
  EXPECT_EQ(OsFaultFired(OS_FAULT_ALLOC), 0u);
}

TEST(StandInMemory, BlocksAreZeroFilledAndCounted) {
  OsTestReset();
  int64_t before = OsLiveAllocations();
  unsigned char* block = static_cast<unsigned char*>(OsGlobalLock(OsGlobalAlloc(290)));
  ASSERT_NE(block, nullptr);
  for (int i = 0; i < 290; ++i) ASSERT_EQ(block[i], 0) << "byte " << i;
  EXPECT_EQ(OsLiveAllocations(), before + 1);
  OsGlobalFreeLocked(block);
  EXPECT_EQ(OsLiveAllocations(), before);
  EXPECT_EQ(OsGlobalLock(nullptr), nullptr);
}

TEST(StandInFiles, ReadSeekSizeAndFaults) {
  OsTestReset();
  TempDir dir;
  std::string path = dir.Write("f", std::vector<uint8_t>{'0', '1', '2', '3', '4', '5', '6', '7'});
  EXPECT_EQ(OsOpenFileForRead((dir.path() + "/missing").c_str()), OS_NO_FILE);
  EXPECT_EQ(OsOpenFileForRead(dir.path().c_str()), OS_NO_FILE) << "a directory is no file";
  OsFile f = OsOpenFileForRead(path.c_str());
  ASSERT_NE(f, OS_NO_FILE);
  EXPECT_EQ(OsGetFileSize(f), 8u);
  EXPECT_EQ(OsSetFilePointer(f, 6), 6u);
  EXPECT_EQ(OsSetFilePointer(f, -1), OS_FAILED_U32);
  char buffer[8] = {};
  uint32_t got = 99;
  ASSERT_TRUE(OsReadFile(f, buffer, 8, &got));
  EXPECT_EQ(got, 2u);
  EXPECT_EQ(std::string(buffer, got), "67");
  ASSERT_TRUE(OsReadFile(f, buffer, 8, &got));
  EXPECT_EQ(got, 0u) << "end of file";

  OsSetFilePointer(f, 0);
  OsFaultArm(OS_FAULT_SHORT_READ, 1);
  ASSERT_TRUE(OsReadFile(f, buffer, 8, &got));
  EXPECT_EQ(got, 4u) << "short read delivers half";
  OsFaultArm(OS_FAULT_READ, 1);
  EXPECT_FALSE(OsReadFile(f, buffer, 8, &got));
  OsFaultArm(OS_FAULT_FILE_SIZE, 1);
  EXPECT_EQ(OsGetFileSize(f), OS_FAILED_U32);
  OsFaultArm(OS_FAULT_SEEK, 1);
  EXPECT_EQ(OsSetFilePointer(f, 0), OS_FAILED_U32);
  OsCloseFile(f);
  EXPECT_EQ(OsOpenFiles(), 0);
}

TEST(StandInModulePath, ChosenCutOffUnconvertibleOrFailing) {
  OsTestReset();
  char buffer[OS_PATH_BYTES];
  EXPECT_EQ(OsGetModuleFileName(nullptr, buffer, sizeof buffer), OS_MODULE_PATH_FOUND) << "the real path of this program";
  EXPECT_GT(strlen(buffer), 0u);

  const std::string cjk = "C:\\\xE6\x95\xB0\xE6\x8D\xAE\\TRAMOLEW.dll";
  const struct {
    const char* name;
    std::string path;
    uint32_t room;
    OsModulePath result;
  } cases[] = {
      {"ASCII", "C:\\x\\TRAMOLEW.dll", OS_PATH_BYTES, OS_MODULE_PATH_FOUND},
      {"CJK in UTF-8", cjk, OS_PATH_BYTES, OS_MODULE_PATH_FOUND},
      {"long path that fits the system's buffer", "\\\\?\\C:\\" + std::string(OS_PATH_BYTES, 'a'), OS_PATH_BYTES,
       OS_MODULE_PATH_UNUSABLE},  // its UTF-8 form does not fit the caller's room
      {"cut off", std::string(OS_LONG_PATH_UNITS, 'a'), OS_LONG_PATH_BYTES, OS_MODULE_PATH_UNUSABLE},
      {"not convertible", "C:\\\xED\xA0\x80\\TRAMOLEW.dll", OS_PATH_BYTES, OS_MODULE_PATH_UNUSABLE},
      {"exactly the room", std::string(OS_PATH_BYTES - 1, 'a'), OS_PATH_BYTES, OS_MODULE_PATH_FOUND},
  };
  std::vector<char> big(OS_LONG_PATH_BYTES);
  for (const auto& c : cases) {
    OsTestSetModulePath(c.path.c_str());
    memset(big.data(), 'G', big.size());
    OsModulePath got = OsGetModuleFileName(nullptr, big.data(), c.room);
    EXPECT_EQ(got, c.result) << c.name << ": got " << got << ", expected " << c.result;
    EXPECT_EQ(std::string(big.data()), got == OS_MODULE_PATH_FOUND ? c.path : "") << c.name;
  }

  OsTestSetModulePath("C:\\x\\TRAMOLEW.dll");
  OsFaultArm(OS_FAULT_MODULE_PATH, 1);
  EXPECT_EQ(OsGetModuleFileName(nullptr, buffer, sizeof buffer), OS_MODULE_PATH_NONE);
  EXPECT_STREQ(buffer, "");
  EXPECT_EQ(OsFaultFired(OS_FAULT_MODULE_PATH), 1u);
  OsTestReset();
}

TEST(StandInWidePaths, OpenAndLoadOnlyWhatTheWideCallsWouldTake) {
  OsTestReset();
  TempDir dir;
  std::string cyrillic = dir.Write("\xD0\x94\xD0\xB0\xD0\xBD\xD0\xBD\xD1\x8B\xD0\xB5", std::vector<uint8_t>{'x'});
  OsFile f = OsOpenFileForRead(cyrillic.c_str());
  EXPECT_NE(f, OS_NO_FILE) << "a UTF-8 name opens";
  OsCloseFile(f);
  std::string invalid = dir.Write("Caf\xE9", std::vector<uint8_t>{'x'});
  EXPECT_EQ(OsOpenFileForRead(invalid.c_str()), OS_NO_FILE) << "code-page bytes are no UTF-8 path";
  EXPECT_EQ(OsLoadLibrary(invalid.c_str()), nullptr);
  std::string tooLong = "/" + std::string(OS_MAX_PATH, 'a');
  EXPECT_EQ(OsOpenFileForRead(tooLong.c_str()), OS_NO_FILE);
  EXPECT_EQ(OsFaultFired(OS_FAULT_OPEN_FILE), 0u) << "refused by its form, not by a fault";
  EXPECT_EQ(OsOpenFiles(), 0);
  OsTestReset();
}

TEST(StandInPrinters, ScriptsEachStepOfTheDriverQuery) {
  OsTestReset();
  OsTestAddPrinter("ok", "/drivers/a/main.so");
  OsTestAddPrinter("closed", "/x", OS_PRINTER_OPEN_FAILS);
  OsTestAddPrinter("nosize", "/x", OS_PRINTER_NO_SIZE);
  OsTestAddPrinter("second", "/x", OS_PRINTER_SECOND_QUERY_FAILS);
  OsTestAddPrinter("nopath", "/x", OS_PRINTER_NO_PATH);
  OsTestAddPrinter("unconvertible", "/\xED\xA0\x80/main.so");  // a wide path UTF-8 cannot carry

  OsPrinter p = nullptr;
  EXPECT_FALSE(OsOpenPrinter("unknown", &p));
  EXPECT_FALSE(OsOpenPrinter("closed", &p));
  EXPECT_STREQ(OsTestLastPrinterName(), "closed");
  ASSERT_TRUE(OsOpenPrinter("ok", &p));
  EXPECT_EQ(OsOpenPrinters(), 1);
  uint32_t needed = 0;
  EXPECT_FALSE(OsGetPrinterDriver2(p, nullptr, 0, &needed));
  ASSERT_GE(needed, sizeof(OsDriverInfo2));
  std::vector<unsigned char> block(needed);
  ASSERT_TRUE(OsGetPrinterDriver2(p, block.data(), needed, &needed));
  EXPECT_STREQ(reinterpret_cast<OsDriverInfo2*>(block.data())->pDriverPath, "/drivers/a/main.so");
  OsClosePrinter(p);

  const struct {
    const char* name;
    bool sized;
    bool filled;
    bool path;
  } scripted[] = {{"nosize", false, false, false}, {"second", true, false, false}, {"nopath", true, true, false},
                  {"unconvertible", true, false, false}};
  for (const auto& s : scripted) {
    ASSERT_TRUE(OsOpenPrinter(s.name, &p)) << s.name;
    needed = 0;
    OsGetPrinterDriver2(p, nullptr, 0, &needed);
    EXPECT_EQ(needed != 0, s.sized) << s.name;
    if (needed) {
      std::vector<unsigned char> b(needed);
      EXPECT_EQ(OsGetPrinterDriver2(p, b.data(), needed, &needed) != 0, s.filled) << s.name;
      if (s.filled) EXPECT_EQ(reinterpret_cast<OsDriverInfo2*>(b.data())->pDriverPath != nullptr, s.path) << s.name;
    }
    OsClosePrinter(p);
  }
  EXPECT_EQ(OsOpenPrinters(), 0);
  OsTestReset();
}

}  // namespace
