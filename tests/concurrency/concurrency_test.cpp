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
#include "tests/support/probes.h"
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
  bool reachesCompanion;  // false: no companion is loaded at all
};
const PrinterCase kPrinters[] = {
    {"Office Full", "full", OS_PRINTER_OK, true},
    {"Office Missing", "missing", OS_PRINTER_OK, true},
    {"Office Zero", "zero", OS_PRINTER_OK, true},
    {"Office NinetyNine", "ninetynine", OS_PRINTER_OK, true},
    {"Office NoSize", "full", OS_PRINTER_NO_SIZE, false},
    {"Nowhere", nullptr, OS_PRINTER_OK, false},
};
// What export `e` must answer for printer `p`.
int32_t Answer(const PrinterCase& p, const ForwardExport& e) {
  return p.reachesCompanion ? VariantAnswer(p.companion, e) : FORWARD_NOT_CALLED;
}


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
  const char* expected[kProbeCodeCount];
  for (size_t i = 0; i < kProbeCodeCount; ++i) expected[i] = DALVIRE_GetErrorMsg(kProbeCodes[i]);
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
        int32_t want = Answer(p, e);
        if (got != want)
          failures.Add(std::string(e.name) + " for " + p.name + ": got " + std::to_string(got) + ", expected " +
                       std::to_string(want));
        bool reached = p.reachesCompanion && VariantHasEntry(p.companion, e);
        if (LastCompanionCall().calls != calls + (reached ? 1 : 0)) {
          failures.Add(std::string(e.name) + " for " + p.name + ": companion calls on this thread, got " +
                       std::to_string(LastCompanionCall().calls - calls) + ", expected " + (reached ? "1" : "0"));
        } else if (reached && (LastCompanionCall().printer != name.c_str() || LastCompanionCall().value != value ||
                               LastCompanionCall().entry != e.name)) {
          failures.Add(std::string(e.name) + " for " + p.name + ": the companion got other arguments");
        }
        ++forwarded[thread];
      }
      for (size_t i = 0; i < kProbeCodeCount; ++i) {
        const char* text = DALVIRE_GetErrorMsg(kProbeCodes[i]);
        if (text != expected[i])
          failures.Add("DALVIRE_GetErrorMsg(" + std::to_string(kProbeCodes[i]) + "): got \"" + text +
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
  for (size_t i = 0; i < kProbeCodeCount; ++i)
    EXPECT_EQ(DALVIRE_GetErrorMsg(kProbeCodes[i]), expected[i]) << "code " << kProbeCodes[i] << " changed";
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
