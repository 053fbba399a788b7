// Shared parts of the end-to-end test program: the library as a host loads
// it, and what the companions report back.
#ifndef TRAMOLE_TESTS_WINE_E2E_H
#define TRAMOLE_TESTS_WINE_E2E_H

#include <windows.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "tests/wine/wine_support.h"

namespace e2e {

// Everything the tests create lies below this directory of the prefix.
extern const char kRoot[];

typedef const char*(WINAPI* GetErrorMsgFn)(int32_t code);
typedef int32_t(WINAPI* SetChildInfoFn)();
typedef int32_t(WINAPI* ForwardFn)(const char* printer, uintptr_t value);

extern const char* const kForwardExports[5];

// TRAMOLEW.dll loaded by full path, with its exports looked up by name.
struct Library {
  HMODULE module = nullptr;
  std::string path;
  GetErrorMsgFn getErrorMsg = nullptr;
  SetChildInfoFn setChildInfo = nullptr;
  ForwardFn forward[5] = {};

  // Loads `path`; reports a failed load or a missing export as a failure of
  // `row` and then leaves nothing loaded.
  bool Load(const std::string& path, wine::Tally& tally, const std::string& row);
  // Unloads and checks that the module is gone from the process.
  void Unload(wine::Tally& tally, const std::string& row);
  ForwardFn Export(const std::string& name) const;
};

// One report of a companion: "attach", "detach" or the entry point called.
struct Record {
  std::string event;
  const char* printerPointer;
  std::string printer;
  uintptr_t value;
  std::string companion;  // the companion's own full path, in UTF-8
};

// What companions have reported since the last call, in order; clears them.
std::vector<Record> TakeRecords();
// The result every companion entry point returns from now on.
void SetCompanionResult(int32_t result);

// True when `module` (a full path) is loaded in this process.
bool IsLoaded(const std::string& path);
// Path comparison as the platform makes it: without regard to case.
bool SamePath(const std::string& a, const std::string& b);

int RunLifecycle(const std::string& dll);
int RunMessages(const std::string& dll);
int RunForward(const std::string& dll, const std::string& companions);
int RunLongName(const std::string& dll, const std::string& companions);
int RunPaths(const std::string& dll, const std::string& companions);
int RunPathsDoubleByte(const std::string& dll, const std::string& companions);

}  // namespace e2e

#endif
