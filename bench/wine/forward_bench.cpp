// Cost of one forwarded call under Wine: DALVIRE_SettingImport through
// TRAMOLEW.dll against a host that runs the same spooler and loader
// sequence itself, with the same companion (whose entry point returns at
// once). What is left between the two is the library's own overhead.
//
//   tramole_wine_bench DLL COMPANION [ROUNDS [CALLS]]
//
// Rounds alternate which side goes first, so that a drift of the machine
// meets both sides alike. Also reports how the process's private memory
// grows over many forwarded calls: nothing may stay behind per call.
#include <windows.h>
#include <psapi.h>
#include <winspool.h>

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/wine/wine_support.h"

namespace {

typedef int32_t(WINAPI* ForwardFn)(const char* printer, uintptr_t value);

const char kPrinter[] = "TRAMOLE Bench Printer";
const char kDriver[] = "TRAMOLE Bench Driver";
const char kRoot[] = "C:\\tramole bench\\";
const char kEntry[] = "DALVIRE_SettingImport";

// The sequence the library runs for one call, done by the host itself.
int32_t WINAPI Direct(const char* printer, uintptr_t value) {
  char name[MAX_PATH];
  memset(name, 0, sizeof name);
  strncpy(name, printer, MAX_PATH - 1);
  HANDLE handle = nullptr;
  if (!OpenPrinterA(name, &handle, nullptr)) return 99;
  HMODULE companion = nullptr;
  DWORD needed = 0;
  GetPrinterDriverA(handle, nullptr, 2, nullptr, 0, &needed);
  void* info = needed ? GlobalLock(GlobalAlloc(GMEM_ZEROINIT, needed)) : nullptr;
  if (info) {
    if (GetPrinterDriverA(handle, nullptr, 2, static_cast<BYTE*>(info), needed, &needed)) {
      char drive[3], dir[256], file[256], path[MAX_PATH];
      _splitpath(static_cast<DRIVER_INFO_2A*>(info)->pDriverPath, drive, dir, file, nullptr);
      memset(path, 0, sizeof path);
      snprintf(path, sizeof path, "%s%sTRAMOLEU.DLL", drive, dir);
      companion = LoadLibraryA(path);
    }
    HGLOBAL block = GlobalHandle(info);
    GlobalUnlock(block);
    GlobalFree(block);
  }
  ClosePrinter(handle);
  if (!companion) return 99;
  int32_t result = 99;
  FARPROC entry = GetProcAddress(companion, kEntry);
  if (entry) result = reinterpret_cast<ForwardFn>(reinterpret_cast<void*>(entry))(printer, value);
  FreeLibrary(companion);
  return result;
}

double Now() {
  static LARGE_INTEGER frequency = {};
  if (!frequency.QuadPart) QueryPerformanceFrequency(&frequency);
  LARGE_INTEGER now;
  QueryPerformanceCounter(&now);
  return (double)now.QuadPart / (double)frequency.QuadPart;
}

// Mean seconds per call over `calls` calls; -1 when a call did not reach
// the companion.
double Time(ForwardFn forward, int calls) {
  double start = Now();
  for (int i = 0; i < calls; ++i)
    if (forward(kPrinter, (uintptr_t)i) != 0) return -1;
  return (Now() - start) / calls;
}

size_t PrivateBytes() {
  PROCESS_MEMORY_COUNTERS_EX counters = {};
  counters.cb = sizeof counters;
  GetProcessMemoryInfo(GetCurrentProcess(), reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                       sizeof counters);
  return counters.PrivateUsage;
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double Mean(const std::vector<double>& values) {
  double sum = 0;
  for (double v : values) sum += v;
  return sum / (double)values.size();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3 || argc > 5) {
    fprintf(stderr, "usage: tramole_wine_bench DLL COMPANION [ROUNDS [CALLS]]\n");
    return 2;
  }
  int rounds = argc > 3 ? atoi(argv[3]) : 30;
  int calls = argc > 4 ? atoi(argv[4]) : 200;
  if (rounds < 2 || calls < 1) {
    fprintf(stderr, "tramole_wine_bench: ROUNDS must be 2 or more, CALLS 1 or more\n");
    return 2;
  }

  const std::string driverDir = std::string(kRoot) + "driver dir\\";
  const std::string dll = std::string(kRoot) + "library dir\\TRAMOLEW.dll";
  if (!wine::CopyTo(wine::HostPath(argv[1]), dll) ||
      !wine::CopyTo(wine::HostPath(argv[2]), driverDir + "TRAMOLEU.DLL") ||
      !wine::RegisterDriver(kDriver, (driverDir + "BENCH.DLL").c_str()) ||
      !wine::RegisterPrinter(kPrinter, kDriver)) {
    fprintf(stderr, "tramole_wine_bench: cannot set up %s\n", kRoot);
    return 1;
  }
  HMODULE library = LoadLibraryA(dll.c_str());
  ForwardFn forwarded = library ? reinterpret_cast<ForwardFn>(reinterpret_cast<void*>(
                                      GetProcAddress(library, kEntry)))
                                : nullptr;
  if (!forwarded) {
    fprintf(stderr, "tramole_wine_bench: cannot load %s\n", dll.c_str());
    return 1;
  }

  // Warm both paths up: the spooler's first use and the file cache.
  if (Time(forwarded, 50) < 0 || Time(Direct, 50) < 0) {
    fprintf(stderr, "tramole_wine_bench: a call did not reach the companion\n");
    return 1;
  }

  std::vector<double> library_times, direct_times, ratios;
  for (int round = 0; round < rounds; ++round) {
    double a, b;
    if (round % 2 == 0) {
      a = Time(forwarded, calls);
      b = Time(Direct, calls);
    } else {
      b = Time(Direct, calls);
      a = Time(forwarded, calls);
    }
    if (a < 0 || b < 0) {
      fprintf(stderr, "tramole_wine_bench: a call did not reach the companion\n");
      return 1;
    }
    library_times.push_back(a);
    direct_times.push_back(b);
    ratios.push_back(a / b);
  }

  const int leakCalls = 2000;
  size_t before = PrivateBytes();
  Time(forwarded, leakCalls);
  size_t after = PrivateBytes();
  FreeLibrary(library);

  double libraryMean = Mean(library_times), directMean = Mean(direct_times);
  double ratio = libraryMean / directMean;
  printf("forwarded calls: %d rounds of %d calls each, DALVIRE_SettingImport to a companion that returns at once\n",
         rounds, calls);
  printf("  through TRAMOLEW.dll     mean %8.2f us/call  (median round %8.2f, fastest %8.2f)\n",
         libraryMean * 1e6, Median(library_times) * 1e6,
         *std::min_element(library_times.begin(), library_times.end()) * 1e6);
  printf("  host doing it directly   mean %8.2f us/call  (median round %8.2f, fastest %8.2f)\n",
         directMean * 1e6, Median(direct_times) * 1e6,
         *std::min_element(direct_times.begin(), direct_times.end()) * 1e6);
  double fastest = *std::min_element(library_times.begin(), library_times.end()) /
                   *std::min_element(direct_times.begin(), direct_times.end());
  // The median of the per-round ratios stands least in the way of other
  // load on the machine; the ratio of the means is shown beside it.
  printf("  ratio library/direct     %.3f median of the rounds, %.3f of the fastest rounds, %.3f of the means\n",
         Median(ratios), fastest, ratio);
  printf("  library overhead         %+.1f%% (median of the rounds)\n", (Median(ratios) - 1) * 100);
  printf("  private memory over %d more forwarded calls: %+lld bytes\n", leakCalls,
         (long long)after - (long long)before);
  return 0;
}
