// All seven exports called from 8 threads at once, the messages loaded once
// before the threads start (as at process attach). Meant to run under
// ThreadSanitizer (preset native-tsan), where it runs longer; in other builds
// it is a short functional check of the same calls.
#include <gtest/gtest.h>
#include <stdint.h>
#include <stdio.h>

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "entry/lifecycle.h"
#include "forward/forward.h"
#include "messages/messages.h"
#include "platform/os_test.h"
#include "tests/support/companion.h"
#include "tests/support/qdf_builder.h"
#include "tests/support/temp_dir.h"

#if defined(__SANITIZE_THREAD__)
#define TRAMOLE_UNDER_TSAN 1
#elif defined(__has_feature)
#if __has_feature(thread_sanitizer)
#define TRAMOLE_UNDER_TSAN 1
#endif
#endif


namespace {

#ifdef TRAMOLE_UNDER_TSAN
const auto kRunFor = std::chrono::seconds(4);
#else
const auto kRunFor = std::chrono::milliseconds(1500);
#endif
const int kThreads = 8;

// Printers of the table and what each export must answer for them.
struct PrinterCase {
  const char* name;
  const char* companion;  // variant directory, or 0 for a printer the spooler does not know
  OsPrinterScript script;
  int32_t (*answer)(const ForwardExport& e);
  bool reachesCompanion;  // for the export DALVIRE_FixSetting, see answer
};
int32_t Full(const ForwardExport& e) { return FullAnswer(e); }
int32_t Missing(const ForwardExport& e) { return e.number == 5 ? 99 : 1000 + e.number; }
int32_t Zero(const ForwardExport&) { return 0; }
int32_t NotCalled(const ForwardExport&) { return 99; }
const PrinterCase kPrinters[] = {
    {"Office Full", "full", OS_PRINTER_OK, Full, true},
    {"Office Missing", "missing", OS_PRINTER_OK, Missing, true},
    {"Office Zero", "zero", OS_PRINTER_OK, Zero, true},
    {"Office NinetyNine", "ninetynine", OS_PRINTER_OK, NotCalled, true},
    {"Office NoSize", "full", OS_PRINTER_NO_SIZE, NotCalled, false},
    {"Nowhere", nullptr, OS_PRINTER_OK, NotCalled, false},
};

const int32_t kCodes[] = {-1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17,
                          INT32_MAX, INT32_MIN};
const size_t kCodeCount = sizeof kCodes / sizeof kCodes[0];

// First mismatch seen by any thread, and how many there were.
struct Failures {
  std::mutex lock;
  std::string first;
  std::atomic<int64_t> count{0};
  void Add(const std::string& what) {
    if (count.fetch_add(1) == 0) {
      std::lock_guard<std::mutex> guard(lock);
      first = what;
    }
  }
};

TEST(Concurrency, AllExportsFromEightThreads) {
  TempDir dir("tramole-threads");
  dir.Write("TRAMOLED.QDF", BuildMessageFile(TypicalMessages()));
  std::string modulePath = dir.path() + "/TRAMOLEW.dll";
  OsTestReset();
  OsTestSetModulePath(modulePath.c_str());
  for (const PrinterCase& p : kPrinters) {
    if (!p.companion) continue;
    std::string driver = CompanionDir(p.companion) + "/DRIVER.DLL";
    OsTestAddPrinter(p.name, driver.c_str(), p.script);
  }
  const int64_t allocations = OsLiveAllocations();

  ASSERT_EQ(DllMain(nullptr, ENTRY_PROCESS_ATTACH, nullptr), 1);
  const char* expected[kCodeCount];
  for (size_t i = 0; i < kCodeCount; ++i) expected[i] = DALVIRE_GetErrorMsg(kCodes[i]);
  ASSERT_EQ(std::string(expected[8]), "Message number 7 from the data file.") << "the messages did not load";

  Failures failures;
  std::atomic<int> ready{0};
  std::atomic<bool> go{false};
  std::vector<int64_t> forwarded(kThreads, 0);
  auto worker = [&](int thread) {
    DllMain(nullptr, ENTRY_THREAD_ATTACH, nullptr);
    ready.fetch_add(1);
    while (!go.load()) std::this_thread::yield();
    const auto deadline = std::chrono::steady_clock::now() + kRunFor;
    uint64_t round = 0;
    while (std::chrono::steady_clock::now() < deadline) {
      const PrinterCase& p = kPrinters[(thread + round) % (sizeof kPrinters / sizeof kPrinters[0])];
      // A private copy of the name: the companion must get this very pointer.
      std::string name = p.name;
      for (const ForwardExport& e : kForwardExports) {
        uintptr_t value = (uintptr_t)0xA5ull << 56 | (uintptr_t)thread << 40 | round;
        int calls = LastCompanionCall().calls;
        int32_t got = e.call(name.c_str(), value);
        int32_t want = p.answer(e);
        if (got != want)
          failures.Add(std::string(e.name) + " for " + p.name + ": got " + std::to_string(got) + ", expected " +
                       std::to_string(want));
        bool reached = p.reachesCompanion && !(p.answer == Missing && e.number == 5);
        if (LastCompanionCall().calls != calls + (reached ? 1 : 0)) {
          failures.Add(std::string(e.name) + " for " + p.name + ": companion calls on this thread, got " +
                       std::to_string(LastCompanionCall().calls - calls) + ", expected " + (reached ? "1" : "0"));
        } else if (reached && (LastCompanionCall().printer != name.c_str() || LastCompanionCall().value != value ||
                               LastCompanionCall().entry != e.name)) {
          failures.Add(std::string(e.name) + " for " + p.name + ": the companion got other arguments");
        }
        ++forwarded[thread];
      }
      for (size_t i = 0; i < kCodeCount; ++i) {
        const char* text = DALVIRE_GetErrorMsg(kCodes[i]);
        if (text != expected[i])
          failures.Add("DALVIRE_GetErrorMsg(" + std::to_string(kCodes[i]) + "): got \"" + text +
                       "\", expected \"" + expected[i] + "\"");
      }
      if (SetChildInfo() != 0) failures.Add("SetChildInfo: not 0");
      ++round;
    }
    DllMain(nullptr, ENTRY_THREAD_DETACH, nullptr);
  };

  std::vector<std::thread> threads;
  for (int t = 0; t < kThreads; ++t) threads.emplace_back(worker, t);
  while (ready.load() < kThreads) std::this_thread::yield();
  go.store(true);
  for (std::thread& t : threads) t.join();

  EXPECT_EQ(failures.count.load(), 0) << "first of " << failures.count.load() << " mismatches: " << failures.first;
  int64_t total = 0;
  for (int t = 0; t < kThreads; ++t) {
    EXPECT_GT(forwarded[t], 0) << "thread " << t << " made no call";
    total += forwarded[t];
  }
  RecordProperty("forwarded_calls", std::to_string(total));
  printf("%lld forwarded calls from %d threads\n", (long long)total, kThreads);

  // The table is unchanged by the threads' attach and detach, and empty after
  // process detach; nothing is left open or loaded.
  for (size_t i = 0; i < kCodeCount; ++i)
    EXPECT_EQ(DALVIRE_GetErrorMsg(kCodes[i]), expected[i]) << "code " << kCodes[i] << " changed";
  DllMain(nullptr, ENTRY_PROCESS_DETACH, nullptr);
  EXPECT_EQ(std::string(DALVIRE_GetErrorMsg(0)), "") << "text left after process detach";
  EXPECT_EQ(OsLiveAllocations(), allocations) << "allocations left, got " << OsLiveAllocations() << ", expected "
                                              << allocations;
  EXPECT_EQ(OsOpenPrinters(), 0) << "printers open, got " << OsOpenPrinters() << ", expected 0";
  EXPECT_EQ(OsLoadedModules(), 0) << "modules loaded, got " << OsLoadedModules() << ", expected 0";
  EXPECT_EQ(OsOpenFiles(), 0) << "files open, got " << OsOpenFiles() << ", expected 0";
  OsTestReset();
}

}  // namespace
