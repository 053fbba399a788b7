// Fault sweeps: every platform call of the load path and of a forwarded call
// is made to fail in turn, one call at a time, until a run completes with no
// fault hit. Each step must give what the described behaviour gives for that
// failure, and leave no allocation, file, printer or module behind.
#include <gtest/gtest.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "entry/lifecycle.h"
#include "forward/forward.h"
#include "messages/messages.h"
#include "platform/os_test.h"
#include "tests/support/companion.h"
#include "tests/support/modes.h"
#include "tests/support/probes.h"
#include "tests/support/qdf_builder.h"
#include "tests/support/temp_dir.h"

namespace {

// ---- load path -----------------------------------------------------------------

// What a load left in each of the 17 entries (0-15, then ERMSG_XX).
enum EntryState { NO_TEXT, EMPTY_TEXT, LOADED };
struct Outcome {
  EntryState entry[ERRMSG_FALLBACK + 1];
};

Outcome AllLoaded() {
  Outcome o;
  for (EntryState& e : o.entry) e = LOADED;
  return o;
}

Outcome NothingLoaded() {
  Outcome o;
  for (EntryState& e : o.entry) e = NO_TEXT;
  return o;
}

// The data file: one empty section ahead of the message section, the 17
// typical messages in key order, and 290 zero bytes behind the last string so
// that every read in file mode is served by a single platform read.
struct DataFileFixture {
  TempDir dir{"tramole-faults"};
  std::vector<QdfMessage> messages = TypicalMessages();
  std::string modulePath;
  uint32_t directoryReads = 0;  // the header and the entries up to the section

  DataFileFixture() {
    QdfLayout layout;
    QdfImage image = BuildMessageFile(messages, &layout, {"NALBI_Config"});
    image.Reserve(image.Size() + 290);
    dir.Write("TRAMOLED.QDF", image);
    modulePath = dir.path() + "/TRAMOLEW.dll";
    directoryReads = 1 + (uint32_t)layout.entries.size();
  }

  // Reads (and seeks) of a file-mode load without faults: the directory walk,
  // the section entry and its count, then a record, its key and its text for
  // each of the 17 messages.
  uint32_t FileModeReads() const { return directoryReads + 2 + 3 * (uint32_t)messages.size(); }

  // What file-mode read (or seek) number `n` failing leaves loaded.
  Outcome FileModeReadFails(uint32_t n) const {
    if (n <= directoryReads + 2) return NothingLoaded();  // no section, or no records to walk
    uint32_t pass = n - directoryReads - 3;
    uint32_t record = pass / 3;
    Outcome o = AllLoaded();
    switch (pass % 3) {
      case 0:  // the record reads as zeros: its key is the empty text at offset 0, and
               // the chain leads through offset 0 to past the end: no more records
        for (uint32_t i = record; i <= ERRMSG_FALLBACK; ++i) o.entry[i] = NO_TEXT;
        break;
      case 1:  // the key cannot be read: the record is skipped
        o.entry[record] = NO_TEXT;
        break;
      default:  // the text cannot be read: the block stays zero-filled
        o.entry[record] = EMPTY_TEXT;
        break;
    }
    return o;
  }

  std::string Expected(const Outcome& o, int32_t code) const {
    uint32_t index = (uint32_t)code;
    if (index < ERRMSG_NUMBERED && o.entry[index] != NO_TEXT)
      return o.entry[index] == LOADED ? messages[index].text : "";
    if (o.entry[ERRMSG_FALLBACK] != NO_TEXT)
      return o.entry[ERRMSG_FALLBACK] == LOADED ? messages[ERRMSG_FALLBACK].text : "";
    return "";
  }
};

struct LoadSweep {
  const char* name;
  OpenMode mode;  // Image, FileNoSize or FileNoMemory
  OsFaultKind kind;
};

// The expected outcome of step `n` (1-based) of a sweep, and how many calls
// of that kind a load makes without faults (the sweep must end right behind).
struct Step {
  Outcome outcome;
  uint32_t calls;
};

Step ExpectedStep(const DataFileFixture& f, const LoadSweep& s, uint32_t n) {
  const uint32_t texts = (uint32_t)f.messages.size();
  const uint32_t firstText = FirstTextAllocation(s.mode);
  if (s.mode == OpenMode::Image) {
    switch (s.kind) {
      case OS_FAULT_ALLOC:
        // The reader's record: no file; the image: file mode; then one text block each.
        if (n == LOAD_ALLOC_RECORD) return {NothingLoaded(), firstText - 1 + texts};
        if (n == LOAD_ALLOC_IMAGE) return {AllLoaded(), firstText - 1 + texts};
        {
          Outcome o = AllLoaded();
          if (n - firstText < texts) o.entry[n - firstText] = NO_TEXT;
          return {o, firstText - 1 + texts};
        }
      case OS_FAULT_OPEN_FILE:
        return {NothingLoaded(), 1};
      default:
        // The size query, the whole-file read, a short whole-file read or the
        // rewind behind it: the file still loads whole (in file mode if need be).
        return {AllLoaded(), 1};
    }
  }
  switch (s.kind) {
    case OS_FAULT_ALLOC:  // only reached with FileNoSize: no image block is asked for
      if (n == LOAD_ALLOC_RECORD) return {NothingLoaded(), firstText - 1 + texts};
      {
        Outcome o = AllLoaded();
        if (n - firstText < texts) o.entry[n - firstText] = NO_TEXT;
        return {o, firstText - 1 + texts};
      }
    case OS_FAULT_READ:
    case OS_FAULT_SEEK:
      return {f.FileModeReadFails(n), f.FileModeReads()};
    default:  // OS_FAULT_SHORT_READ: the rest is asked for again
      return {AllLoaded(), f.FileModeReads()};
  }
}

class LoadFaultSweep : public ::testing::TestWithParam<LoadSweep> {
 protected:
  DataFileFixture fixture;
};

TEST_P(LoadFaultSweep, EachCallFailsInTurn) {
  const LoadSweep& s = GetParam();
  const int64_t allocations = OsLiveAllocations();
  const int64_t files = OsOpenFiles();
  uint32_t n = 1;
  for (;; ++n) {
    OsTestReset();
    OsTestSetModulePath(fixture.modulePath.c_str());
    ArmOpenMode(s.mode);
    OsFaultArm(s.kind, n);
    DllMain(nullptr, ENTRY_PROCESS_ATTACH, nullptr);
    bool fired = OsFaultFired(s.kind) > 0;
    uint32_t calls = OsFaultCalls(s.kind);
    // Without a fault this was the plain load: every text must be there.
    Step step = ExpectedStep(fixture, s, n);
    Outcome outcome = fired ? step.outcome : AllLoaded();
    if (s.mode == OpenMode::FileNoMemory)
      EXPECT_EQ(OsFaultFired(OS_FAULT_ALLOC), 1u) << s.name << " step " << n << ": file mode not forced";
    // (The size is asked for only once the file is open.)
    if (s.mode == OpenMode::FileNoSize && OsFaultCalls(OS_FAULT_FILE_SIZE) > 0)
      EXPECT_EQ(OsFaultFired(OS_FAULT_FILE_SIZE), 1u) << s.name << " step " << n << ": file mode not forced";

    int64_t blocks = 0;
    for (EntryState e : outcome.entry) blocks += e != NO_TEXT;
    EXPECT_EQ(OsOpenFiles(), files) << s.name << " step " << n << ": files open after the load, got "
                                    << OsOpenFiles() << ", expected " << files;
    EXPECT_EQ(OsLiveAllocations() - allocations, blocks)
        << s.name << " step " << n << ": text blocks held, got " << OsLiveAllocations() - allocations
        << ", expected " << blocks;
    for (int32_t code : kProbeCodes) {
      std::string expected = fixture.Expected(outcome, code);
      std::string got = DALVIRE_GetErrorMsg(code);
      EXPECT_EQ(got, expected) << s.name << " step " << n << " (" << OpenModeName(s.mode) << "), code " << code
                               << ": got \"" << got << "\", expected \"" << expected << "\"";
    }
    DllMain(nullptr, ENTRY_PROCESS_DETACH, nullptr);
    EXPECT_EQ(OsLiveAllocations(), allocations)
        << s.name << " step " << n << ": allocations left, got " << OsLiveAllocations() << ", expected "
        << allocations;
    EXPECT_EQ(DALVIRE_GetErrorMsg(0), std::string()) << s.name << " step " << n << ": text left after detach";
    if (!fired) {
      // The sweep is over: the calls of this kind were exactly the ones the
      // expectations above were derived for.
      EXPECT_EQ(calls, step.calls) << s.name << ": calls of " << OsFaultName(s.kind) << " in a load, got "
                                   << calls << ", expected " << step.calls;
      break;
    }
    if (n > 1000) {
      ADD_FAILURE() << s.name << ": the sweep does not end";
      break;
    }
  }
  EXPECT_GT(n, 1u) << s.name << ": no " << OsFaultName(s.kind) << " fault ever fired";
  OsTestReset();
}

const LoadSweep kLoadSweeps[] = {
    {"image_alloc", OpenMode::Image, OS_FAULT_ALLOC},
    {"image_open", OpenMode::Image, OS_FAULT_OPEN_FILE},
    {"image_size", OpenMode::Image, OS_FAULT_FILE_SIZE},
    {"image_read", OpenMode::Image, OS_FAULT_READ},
    {"image_short_read", OpenMode::Image, OS_FAULT_SHORT_READ},
    {"image_rewind", OpenMode::Image, OS_FAULT_SEEK},
    {"filemode_by_size_alloc", OpenMode::FileNoSize, OS_FAULT_ALLOC},
    {"filemode_by_size_read", OpenMode::FileNoSize, OS_FAULT_READ},
    {"filemode_by_size_seek", OpenMode::FileNoSize, OS_FAULT_SEEK},
    {"filemode_by_size_short_read", OpenMode::FileNoSize, OS_FAULT_SHORT_READ},
    {"filemode_by_image_read", OpenMode::FileNoMemory, OS_FAULT_READ},
    {"filemode_by_image_seek", OpenMode::FileNoMemory, OS_FAULT_SEEK},
    {"filemode_by_image_short_read", OpenMode::FileNoMemory, OS_FAULT_SHORT_READ},
};

INSTANTIATE_TEST_SUITE_P(Load, LoadFaultSweep, ::testing::ValuesIn(kLoadSweeps),
                         [](const ::testing::TestParamInfo<LoadSweep>& info) { return std::string(info.param.name); });

// ---- forwarded calls -----------------------------------------------------------

// Calls of each kind one forwarded call makes: the spooler is opened once and
// asked twice (size, then the information), one block holds the information,
// the companion is loaded once and asked for one entry point.
struct ForwardKind {
  OsFaultKind kind;
  uint32_t calls;
};
const ForwardKind kForwardKinds[] = {
    {OS_FAULT_OPEN_PRINTER, 1}, {OS_FAULT_GET_DRIVER, 2}, {OS_FAULT_ALLOC, 1},
    {OS_FAULT_LOAD_LIBRARY, 1}, {OS_FAULT_GET_PROC, 1},
};

class ForwardFaultSweep : public ::testing::TestWithParam<ForwardExport> {};

TEST_P(ForwardFaultSweep, EachCallFailsInTurn) {
  const ForwardExport& e = GetParam();
  const char* printer = "Fault Sweep Printer";
  const std::string driver = CompanionDir("full") + "/DRIVER.DLL";
  const uintptr_t value = (uintptr_t)0xF0E1D2C3B4A59687ull;
  const int64_t allocations = OsLiveAllocations();
  for (const ForwardKind& k : kForwardKinds) {
    uint32_t n = 1;
    for (;; ++n) {
      OsTestReset();
      OsTestAddPrinter(printer, driver.c_str());
      OsFaultArm(k.kind, n);
      LastCompanionCall() = CompanionCall();
      int32_t result = e.call(printer, value);
      bool fired = OsFaultFired(k.kind) > 0;
      std::string where = std::string(e.name) + ", " + OsFaultName(k.kind) + " call " + std::to_string(n);
      EXPECT_EQ(OsOpenPrinters(), 0) << where << ": printers open, got " << OsOpenPrinters() << ", expected 0";
      EXPECT_EQ(OsLoadedModules(), 0) << where << ": modules loaded, got " << OsLoadedModules() << ", expected 0";
      EXPECT_EQ(OsLiveAllocations(), allocations)
          << where << ": allocations left, got " << OsLiveAllocations() << ", expected " << allocations;
      if (fired) {
        // Every failure before the entry point runs gives 99.
        EXPECT_EQ(result, 99) << where << ": got " << result << ", expected 99";
        EXPECT_EQ(LastCompanionCall().calls, 0) << where << ": companion called " << LastCompanionCall().calls << " times, expected 0";
        continue;
      }
      EXPECT_EQ(result, FullAnswer(e)) << where << " (no fault): got " << result << ", expected " << FullAnswer(e);
      EXPECT_EQ(LastCompanionCall().calls, 1) << where << " (no fault): companion calls, got " << LastCompanionCall().calls
                                    << ", expected 1";
      EXPECT_EQ(LastCompanionCall().entry, e.name) << where << " (no fault): entry point reached, got " << LastCompanionCall().entry
                                         << ", expected " << e.name;
      EXPECT_EQ(LastCompanionCall().printer, printer) << where << " (no fault): the host's own printer pointer not passed";
      EXPECT_EQ(LastCompanionCall().value, value) << where << " (no fault): value changed";
      EXPECT_EQ(OsFaultCalls(k.kind), k.calls) << where << ": calls in one forwarded call, got "
                                               << OsFaultCalls(k.kind) << ", expected " << k.calls;
      break;
    }
    EXPECT_EQ(n, k.calls + 1) << e.name << ": " << OsFaultName(k.kind) << " sweep ended after " << n - 1
                              << " faults, expected " << k.calls;
  }
  OsTestReset();
}

INSTANTIATE_TEST_SUITE_P(Forward, ForwardFaultSweep, ::testing::ValuesIn(kForwardExports),
                         [](const ::testing::TestParamInfo<ForwardExport>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
