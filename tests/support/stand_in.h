// Base fixture for native tests: a clean stand-in before each test, and
// proof after it that nothing the test made the library obtain is still held.
#ifndef TRAMOLE_TESTS_SUPPORT_STAND_IN_H
#define TRAMOLE_TESTS_SUPPORT_STAND_IN_H

#include <gtest/gtest.h>

#include "messages/messages.h"
#include "platform/os_test.h"

class StandInTest : public ::testing::Test {
 protected:
  void SetUp() override {
    OsTestReset();
    allocations_ = OsLiveAllocations();
    files_ = OsOpenFiles();
    printers_ = OsOpenPrinters();
    modules_ = OsLoadedModules();
  }
  void TearDown() override {
    FreeErrorMessages();
    EXPECT_EQ(OsLiveAllocations(), allocations_) << "allocations left behind";
    EXPECT_EQ(OsOpenFiles(), files_) << "files left open";
    EXPECT_EQ(OsOpenPrinters(), printers_) << "printers left open";
    EXPECT_EQ(OsLoadedModules(), modules_) << "modules left loaded";
    OsTestReset();
  }
  // Live allocations made since the test began.
  int64_t NewAllocations() const { return OsLiveAllocations() - allocations_; }

 private:
  int64_t allocations_ = 0, files_ = 0, printers_ = 0, modules_ = 0;
};

#endif
