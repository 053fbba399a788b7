// Cost of loading the message catalogue, in time and memory.
//
// Figures: a typical 17-message load against the floor of opening the same
// file and reading it whole through the same platform calls; worst-case
// corrupt files from 4 KiB to 1 MiB (every shape of worst_case.h, the slowest
// one reported); one DALVIRE_GetErrorMsg call. The summary at the end checks
// the figures against the targets; `--tsv` adds a machine-readable copy of it.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <map>
#include <string>
#include <unordered_map>
#include <vector>

#include "tests/support/worst_case.h"
#include "messages/messages.h"
#include "platform/os.h"
#include "platform/os_test.h"
#include "tests/support/qdf_builder.h"
#include "tests/support/temp_dir.h"

// ---- memory: every platform allocation goes through calloc ------------------
//
// The executable is linked with --wrap=calloc,--wrap=free, so the stand-in's
// allocations land here. Counting is switched on only for a measuring pass,
// never while a timing loop runs.
namespace {
bool gCounting = false;
size_t gLiveBytes = 0;
size_t gPeakBytes = 0;
std::unordered_map<void*, size_t>* gSizes = nullptr;
}  // namespace

extern "C" void* __real_calloc(size_t count, size_t size);
extern "C" void __real_free(void* pointer);

extern "C" void* __wrap_calloc(size_t count, size_t size) {
  void* block = __real_calloc(count, size);
  if (block && gCounting) {
    (*gSizes)[block] = count * size;
    gLiveBytes += count * size;
    gPeakBytes = std::max(gPeakBytes, gLiveBytes);
  }
  return block;
}

extern "C" void __wrap_free(void* pointer) {
  if (pointer && gCounting) {
    auto it = gSizes->find(pointer);
    if (it != gSizes->end()) {
      gLiveBytes -= it->second;
      gSizes->erase(it);
    }
  }
  __real_free(pointer);
}

namespace {

struct Peak {
  size_t bytes;
  int64_t blocks;  // most blocks held at once, sampled after the load
};

// One load and release, with the bytes held at the worst moment.
template <typename Work>
Peak MeasurePeak(Work work) {
  static std::unordered_map<void*, size_t> sizes;
  sizes.clear();
  gSizes = &sizes;
  gLiveBytes = gPeakBytes = 0;
  int64_t before = OsLiveAllocations();
  gCounting = true;
  int64_t held = work();
  gCounting = false;
  Peak peak{gPeakBytes, held - before};
  return peak;
}

// ---- what is measured ---------------------------------------------------------

// The least any load must do: open the file, ask its size, get a block and
// read the file into it, close, release. Same platform calls as the reader.
int64_t ReadWhole(const char* path) {
  OsFile file = OsOpenFileForRead(path);
  if (file == OS_NO_FILE) abort();
  uint32_t size = OsGetFileSize(file);
  uint8_t* image = static_cast<uint8_t*>(OsGlobalAlloc(size));
  uint32_t have = 0;
  while (have < size) {
    uint32_t got = 0;
    if (!OsReadFile(file, image + have, size - have, &got) || got == 0) break;
    have += got;
  }
  benchmark::DoNotOptimize(image[size / 2]);
  OsCloseFile(file);
  int64_t held = OsLiveAllocations();
  OsGlobalFree(image);
  return held;
}

// How the file is opened for a load.
enum Mode { IMAGE_MODE, FILE_MODE };

int64_t LoadOnce(const char* path, Mode mode) {
  // The size query failing is the cheapest way into file mode: no image.
  if (mode == FILE_MODE) OsFaultArm(OS_FAULT_FILE_SIZE, 1);
  LoadErrorMessages(path);
  benchmark::DoNotOptimize(DALVIRE_GetErrorMsg(0));
  int64_t held = OsLiveAllocations();
  FreeErrorMessages();
  return held;
}

void BenchFloor(benchmark::State& state, std::string path) {
  Peak peak = MeasurePeak([&] { return ReadWhole(path.c_str()); });
  for (auto _ : state) ReadWhole(path.c_str());
  state.counters["peak_bytes"] = (double)peak.bytes;
}

void BenchLoad(benchmark::State& state, std::string path, Mode mode) {
  Peak peak = MeasurePeak([&] { return LoadOnce(path.c_str(), mode); });
  for (auto _ : state) LoadOnce(path.c_str(), mode);
  state.counters["peak_bytes"] = (double)peak.bytes;
  state.counters["texts_held"] = (double)(peak.blocks);
}

void BenchLookup(benchmark::State& state) {
  int32_t code = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(DALVIRE_GetErrorMsg(code));
    code = code == 17 ? -1 : code + 1;  // the numbered codes, the fallback and beyond
  }
}

// ---- collecting the figures ---------------------------------------------------

double Nanoseconds(const benchmark::BenchmarkReporter::Run& run) {
  double t = run.GetAdjustedRealTime();
  switch (run.time_unit) {
    case benchmark::kSecond: return t * 1e9;
    case benchmark::kMillisecond: return t * 1e6;
    case benchmark::kMicrosecond: return t * 1e3;
    default: return t;
  }
}

struct Figure {
  double ns = 0;
  double peakBytes = 0;
};

// Shows the usual console table and keeps one figure per benchmark: the
// median when repetitions are asked for, else the single run.
class Collector : public benchmark::ConsoleReporter {
 public:
  std::map<std::string, Figure> figures;

  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      if (run.error_occurred) continue;
      bool aggregate = run.run_type == Run::RT_Aggregate;
      if (aggregate && run.aggregate_name != "median") continue;
      std::string name = run.run_name.function_name;
      if (!aggregate && run.repetitions > 1) continue;
      Figure f;
      f.ns = Nanoseconds(run);
      auto it = run.counters.find("peak_bytes");
      if (it != run.counters.end()) f.peakBytes = it->second.value;
      figures[name] = f;
    }
  }
};

std::string SizeName(uint32_t size) {
  char text[32];
  if (size >= 1024 * 1024) snprintf(text, sizeof text, "%uMiB", size / (1024 * 1024));
  else snprintf(text, sizeof text, "%uKiB", size / 1024);
  return text;
}

std::string Time(double ns) {
  char text[32];
  if (ns >= 1e6) snprintf(text, sizeof text, "%.2f ms", ns / 1e6);
  else if (ns >= 1e3) snprintf(text, sizeof text, "%.2f us", ns / 1e3);
  else snprintf(text, sizeof text, "%.1f ns", ns);
  return text;
}

const uint32_t kSizes[] = {4096, 8192, 16384, 32768, 65536, 131072, 262144, 524288, 1048576};

}  // namespace

int main(int argc, char** argv) {
  bool tsv = false;
  std::vector<char*> args;
  for (int i = 0; i < argc; ++i) {
    if (strcmp(argv[i], "--tsv") == 0) tsv = true;
    else args.push_back(argv[i]);
  }
  int count = (int)args.size();
  benchmark::Initialize(&count, args.data());

  TempDir dir("tramole-bench");
  std::string typical = dir.Write("typical.qdf", BuildMessageFile(TypicalMessages()));
  // The loader must find all 17 texts, or the figures measure something else.
  LoadErrorMessages(typical.c_str());
  std::string expected = "Message number 7 from the data file.";
  if (expected != DALVIRE_GetErrorMsg(7) || std::string(DALVIRE_GetErrorMsg(-1)).empty()) {
    fprintf(stderr, "the typical file did not load: got \"%s\" for code 7\n", DALVIRE_GetErrorMsg(7));
    return 1;
  }
  FreeErrorMessages();

  Collector collector;
  benchmark::RegisterBenchmark("lookup/GetErrorMsg", [&](benchmark::State& state) {
    LoadErrorMessages(typical.c_str());
    BenchLookup(state);
    FreeErrorMessages();
  });
  benchmark::RegisterBenchmark("floor/typical", BenchFloor, typical)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("load/typical", BenchLoad, typical, IMAGE_MODE)->Unit(benchmark::kMicrosecond);
  benchmark::RegisterBenchmark("load-filemode/typical", BenchLoad, typical, FILE_MODE)
      ->Unit(benchmark::kMicrosecond);
  for (uint32_t size : kSizes) {
    std::string floorFile = dir.Write("floor-" + SizeName(size) + ".qdf", std::vector<uint8_t>(size, 0x5A));
    benchmark::RegisterBenchmark(("floor/" + SizeName(size)).c_str(), BenchFloor, floorFile)
        ->Unit(benchmark::kMicrosecond);
    for (int s = 0; s < WORST_SHAPES; ++s) {
      WorstShape shape = (WorstShape)s;
      std::string name = std::string(WorstShapeName(shape)) + "/" + SizeName(size);
      std::string path = dir.Write(std::string(WorstShapeName(shape)) + "-" + SizeName(size) + ".qdf",
                                   BuildWorstCase(shape, size));
      benchmark::RegisterBenchmark(("load/" + name).c_str(), BenchLoad, path, IMAGE_MODE)
          ->Unit(benchmark::kMillisecond);
      // File mode turns every small read into a seek and a read; shown for
      // the small sizes only, to say what the fallback costs.
      if (size <= 65536)
        benchmark::RegisterBenchmark(("load-filemode/" + name).c_str(), BenchLoad, path, FILE_MODE)
            ->Unit(benchmark::kMillisecond);
    }
  }
  benchmark::RunSpecifiedBenchmarks(&collector);
  benchmark::Shutdown();
  if (OsLiveAllocations() != 0 || OsOpenFiles() != 0) {
    fprintf(stderr, "left behind: %lld allocations, %lld files\n", (long long)OsLiveAllocations(),
            (long long)OsOpenFiles());
    return 1;
  }

  // ---- summary against the targets ----
  auto& f = collector.figures;
  auto has = [&](const std::string& name) { return f.count(name) != 0; };
  std::vector<std::string> rows;  // tsv copy: name, value, unit, target, verdict
  auto row = [&](const std::string& name, double value, const char* unit, const std::string& target,
                 const char* verdict) {
    char text[256];
    snprintf(text, sizeof text, "%s\t%.6g\t%s\t%s\t%s", name.c_str(), value, unit, target.c_str(), verdict);
    rows.push_back(text);
  };
  int missed = 0;
  printf("\n== catalogue benchmark summary ==\n");
  if (has("floor/typical") && has("load/typical")) {
    double ratio = f["load/typical"].ns / f["floor/typical"].ns;
    bool ok = ratio <= 1.5;
    missed += !ok;
    printf("typical load %s, floor (open + read whole) %s: %.2fx the floor (target <= 1.50x) %s\n",
           Time(f["load/typical"].ns).c_str(), Time(f["floor/typical"].ns).c_str(), ratio,
           ok ? "ok" : "MISSED");
    printf("typical load peak memory %.0f bytes (file image, reader record, 17 texts)\n",
           f["load/typical"].peakBytes);
    row("typical_load_over_floor", ratio, "x", "<=1.5", ok ? "ok" : "missed");
    if (has("load-filemode/typical"))
      printf("typical load in file mode %s: %.2fx the floor (no target)\n",
             Time(f["load-filemode/typical"].ns).c_str(), f["load-filemode/typical"].ns / f["floor/typical"].ns);
    if (has("load-filemode/typical"))
      row("typical_filemode_over_floor", f["load-filemode/typical"].ns / f["floor/typical"].ns, "x", "-", "-");
  }
  if (has("lookup/GetErrorMsg")) {
    printf("one DALVIRE_GetErrorMsg call: %s", Time(f["lookup/GetErrorMsg"].ns).c_str());
    if (has("load/typical")) {
      printf(" (%.5f of a typical load)", f["lookup/GetErrorMsg"].ns / f["load/typical"].ns);
      row("lookup_over_typical_load", f["lookup/GetErrorMsg"].ns / f["load/typical"].ns, "x", "-", "-");
    }
    printf("\n");
  }

  printf("\nworst-case loads, image mode (slowest shape per size marked *):\n");
  printf("%-8s %-12s", "size", "floor");
  for (int s = 0; s < WORST_SHAPES; ++s) printf(" %-19s", WorstShapeName((WorstShape)s));
  printf(" %s\n", "peak bytes (slowest)");
  std::vector<double> slowest;
  for (uint32_t size : kSizes) {
    std::string floorName = "floor/" + SizeName(size);
    double worst = 0;
    int worstShape = -1;
    for (int s = 0; s < WORST_SHAPES; ++s) {
      std::string name = "load/" + std::string(WorstShapeName((WorstShape)s)) + "/" + SizeName(size);
      if (has(name) && f[name].ns > worst) {
        worst = f[name].ns;
        worstShape = s;
      }
    }
    slowest.push_back(worst);
    printf("%-8s %-12s", SizeName(size).c_str(), has(floorName) ? Time(f[floorName].ns).c_str() : "-");
    for (int s = 0; s < WORST_SHAPES; ++s) {
      std::string name = "load/" + std::string(WorstShapeName((WorstShape)s)) + "/" + SizeName(size);
      std::string cell = has(name) ? Time(f[name].ns) + (s == worstShape ? " *" : "") : "-";
      printf(" %-19s", cell.c_str());
    }
    if (worstShape >= 0) {
      std::string name = "load/" + std::string(WorstShapeName((WorstShape)worstShape)) + "/" + SizeName(size);
      printf(" %.0f", f[name].peakBytes);
      row("worst_" + SizeName(size) + "_over_floor", has(floorName) ? worst / f[floorName].ns : 0, "x", "-",
          WorstShapeName((WorstShape)worstShape));
    }
    printf("\n");
  }
  printf("\nworst-case loads, file mode (no target):\n");
  for (uint32_t size : kSizes) {
    for (int s = 0; s < WORST_SHAPES; ++s) {
      std::string name = "load-filemode/" + std::string(WorstShapeName((WorstShape)s)) + "/" + SizeName(size);
      if (has(name)) printf("  %-36s %s\n", name.c_str() + 14, Time(f[name].ns).c_str());
    }
  }

  double mib = slowest.back();
  if (mib > 0) {
    bool ok = mib <= 100e6;
    missed += !ok;
    printf("\n1 MiB worst case: %s (target <= 100 ms) %s\n", Time(mib).c_str(), ok ? "ok" : "MISSED");
    row("worst_1MiB_over_100ms", mib / 100e6, "x", "<=1", ok ? "ok" : "missed");
  }
  printf("doubling the size multiplies the slowest load by:");
  double worstStep = 0;
  for (size_t i = 1; i < slowest.size(); ++i) {
    if (slowest[i - 1] <= 0 || slowest[i] <= 0) continue;
    double step = slowest[i] / slowest[i - 1];
    worstStep = std::max(worstStep, step);
    printf(" %.2f", step);
  }
  if (worstStep > 0) {
    bool linear = worstStep <= 2.2;
    missed += !linear;
    printf("\n  largest step %.2fx (target <= 2.20x) %s\n", worstStep, linear ? "ok" : "MISSED");
    row("worst_doubling_step", worstStep, "x", "<=2.2", linear ? "ok" : "missed");
  } else {
    printf(" (not all sizes ran)\n");
  }
  if (slowest.front() > 0 && slowest.back() > 0) {
    double span = slowest.back() / slowest.front();
    printf("  4 KiB -> 1 MiB (256x the bytes): %.1fx the time\n", span);
    row("worst_1MiB_over_4KiB", span, "x", "-", "-");
  }

  if (tsv) {
    printf("\n#tsv name\tvalue\tunit\ttarget\tverdict\n");
    for (const std::string& r : rows) printf("#tsv %s\n", r.c_str());
  }
  printf("\n%s\n", missed ? "some targets MISSED" : "all targets met");
  return 0;
}
