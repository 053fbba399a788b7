// End-to-end tests of TRAMOLEW.dll under Wine: the real DLL loaded by full
// path from a directory with spaces, real data files beside it, the real
// spooler with printers registered in the prefix, and real companion DLLs.
//
//   tramole_wine_tests lifecycle DLL
//   tramole_wine_tests messages DLL
//   tramole_wine_tests forward DLL COMPANIONS
//   tramole_wine_tests long-name DLL COMPANIONS
//   tramole_wine_tests paths DLL COMPANIONS
//   tramole_wine_tests paths-932 DLL COMPANIONS
//   tramole_wine_tests stage-host DIR HOST [DLL]
//
// stage-host puts the diagnostic host into DIR, with the DLL and a typical
// data file beside it when DLL is given.
//
// DLL is the built library; COMPANIONS the directory holding the built
// companions (recorder/TRAMOLEU.DLL, no-entry/TRAMOLEU.DLL). Unix paths are
// taken as their Z: paths. Each suite copies what it needs below
// C:\tramole wine\<suite>\ and prints "N passed, N failed".
#include <stdio.h>
#include <string.h>

#include "tests/support/qdf_builder.h"
#include "tests/wine/e2e.h"

namespace e2e {

const char kRoot[] = "C:\\tramole wine\\";

const char* const kForwardExports[5] = {"DALVIRE_SettingExport", "DALVIRE_SettingImport",
                                        "DALVIRE_PersonalInfoImport", "DALVIRE_DefaultSetting",
                                        "DALVIRE_FixSetting"};

namespace {

CRITICAL_SECTION g_lock;
std::vector<Record> g_records;
volatile LONG g_result = 0;

}  // namespace

std::vector<Record> TakeRecords() {
  EnterCriticalSection(&g_lock);
  std::vector<Record> taken;
  taken.swap(g_records);
  LeaveCriticalSection(&g_lock);
  return taken;
}

void SetCompanionResult(int32_t result) { InterlockedExchange(&g_result, result); }

bool IsLoaded(const std::string& path) { return GetModuleHandleA(path.c_str()) != nullptr; }

bool SamePath(const std::string& a, const std::string& b) {
  return a.size() == b.size() && _strnicmp(a.c_str(), b.c_str(), a.size()) == 0;
}

bool Library::Load(const std::string& dllPath, wine::Tally& tally, const std::string& row) {
  path = dllPath;
  module = LoadLibraryA(path.c_str());
  if (!tally.Check(module != nullptr, row, "LoadLibraryA(" + path + ")",
                   "error " + std::to_string(GetLastError()), "a module"))
    return false;
  getErrorMsg = reinterpret_cast<GetErrorMsgFn>(
      reinterpret_cast<void*>(GetProcAddress(module, "DALVIRE_GetErrorMsg")));
  setChildInfo = reinterpret_cast<SetChildInfoFn>(
      reinterpret_cast<void*>(GetProcAddress(module, "SetChildInfo")));
  bool all = getErrorMsg && setChildInfo;
  for (int i = 0; i < 5; ++i) {
    forward[i] = reinterpret_cast<ForwardFn>(
        reinterpret_cast<void*>(GetProcAddress(module, kForwardExports[i])));
    all = all && forward[i];
  }
  if (tally.Check(all, row, "exports of " + path, "some missing", "all seven")) return true;
  FreeLibrary(module);
  module = nullptr;
  return false;
}

void Library::Unload(wine::Tally& tally, const std::string& row) {
  if (!module) return;
  FreeLibrary(module);
  module = nullptr;
  tally.Check(!IsLoaded(path), row, "library loaded after FreeLibrary", "still loaded",
              "unloaded");
}

ForwardFn Library::Export(const std::string& name) const {
  for (int i = 0; i < 5; ++i)
    if (name == kForwardExports[i]) return forward[i];
  return nullptr;
}

}  // namespace e2e

// Companions report here: they look this up in the process's main module.
extern "C" __attribute__((dllexport)) int32_t TestHostRecord(const char* event, const char* printer,
                                                        uintptr_t value, const char* companion) {
  e2e::Record record;
  record.event = event ? event : "";
  record.printerPointer = printer;
  record.printer = printer ? printer : "";
  record.value = value;
  record.companion = companion ? companion : "";
  EnterCriticalSection(&e2e::g_lock);
  e2e::g_records.push_back(record);
  LeaveCriticalSection(&e2e::g_lock);
  return (int32_t)e2e::g_result;
}

static int Usage() {
  fprintf(stderr,
          "usage: tramole_wine_tests lifecycle DLL\n"
          "       tramole_wine_tests messages DLL\n"
          "       tramole_wine_tests forward DLL COMPANIONS\n"
          "       tramole_wine_tests long-name DLL COMPANIONS\n"
          "       tramole_wine_tests paths DLL COMPANIONS\n"
          "       tramole_wine_tests paths-932 DLL COMPANIONS\n"
          "       tramole_wine_tests stage-host DIR HOST [DLL]\n");
  return 2;
}

int main(int argc, char** argv) {
  InitializeCriticalSection(&e2e::g_lock);
  setvbuf(stdout, nullptr, _IONBF, 0);
  if (argc < 3) return Usage();
  std::string command = argv[1];
  std::string first = wine::HostPath(argv[2]);
  if (command == "lifecycle" && argc == 3) return e2e::RunLifecycle(first);
  if (command == "messages" && argc == 3) return e2e::RunMessages(first);
  if (command == "forward" && argc == 4) return e2e::RunForward(first, wine::HostPath(argv[3]));
  if (command == "long-name" && argc == 4) return e2e::RunLongName(first, wine::HostPath(argv[3]));
  if (command == "paths" && argc == 4) return e2e::RunPaths(first, wine::HostPath(argv[3]));
  if (command == "paths-932" && argc == 4) return e2e::RunPathsDoubleByte(first, wine::HostPath(argv[3]));
  if (command == "stage-host" && (argc == 4 || argc == 5)) {
    std::string dir = first;
    if (dir.back() != '\\') dir += '\\';
    bool ok = wine::CopyTo(wine::HostPath(argv[3]), dir + "tramole-host.exe");
    if (argc == 5) {
      ok = ok && wine::CopyTo(wine::HostPath(argv[4]), dir + "TRAMOLEW.dll") &&
           wine::WriteBytes(dir + "TRAMOLED.QDF", BuildMessageFile(TypicalMessages()).bytes);
    } else {
      ok = ok && wine::RemoveFile(dir + "TRAMOLEW.dll");
    }
    if (ok) return 0;
    fprintf(stderr, "cannot stage the host in %s\n", dir.c_str());
    return 1;
  }
  return Usage();
}
