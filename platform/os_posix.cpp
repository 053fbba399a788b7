// POSIX stand-in for the platform seam. It behaves as the library expects
// of each Windows operation: see os.h.
//
// Built twice: as the product stand-in (native qdf), with no faults, no
// printers and no controls; and with TRAMOLE_OS_TEST_CONTROLS as the test
// stand-in, with the controls of os_test.h and its printer table.
#include <dlfcn.h>
#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <map>
#include <mutex>
#include <stdlib.h>
#include <string.h>
#include <string>

#include "platform/os.h"
#include "platform/path.h"
#if TRAMOLE_OS_TEST_CONTROLS
#include "platform/os_test.h"
#endif

namespace {

#if TRAMOLE_OS_TEST_CONTROLS
struct Fault {
  uint32_t calls = 0;
  uint32_t fired = 0;
  uint32_t first = 0;  // call number (absolute) of the first failing call; 0 = off
  uint32_t count = 0;
};

struct PrinterEntry {
  std::string driverPath;
  OsPrinterScript script;
};

Fault gFaults[OS_FAULT_KINDS];
std::map<std::string, PrinterEntry> gPrinters;
thread_local std::string tLastPrinterName;
std::atomic<int64_t> gPrintersOpen{0};
#endif

std::mutex gLock;
bool gModulePathChosen = false;
std::string gModulePath;

std::atomic<int64_t> gAllocations{0};
std::atomic<int64_t> gFiles{0};
std::atomic<int64_t> gModules{0};

// Loading and releasing libraries is serialised, as the Windows loader does
// under its loader lock.
std::mutex gLoaderLock;

#if TRAMOLE_OS_TEST_CONTROLS
// Counts the call and tells whether it must fail.
bool Hit(OsFaultKind kind) {
  std::lock_guard<std::mutex> guard(gLock);
  Fault& f = gFaults[kind];
  uint32_t call = ++f.calls;
  if (f.first == 0 || call < f.first) return false;
  if (f.count != OS_FAULT_ALWAYS && call - f.first >= f.count) return false;
  ++f.fired;
  return true;
}
#else
// The product stand-in fails no call on purpose.
#define Hit(kind) false
#endif

int FileDescriptor(OsFile file) { return (int)(intptr_t)file; }

}  // namespace

#if TRAMOLE_OS_TEST_CONTROLS
// ---- controls ---------------------------------------------------------------

const char* OsFaultName(OsFaultKind kind) {
  static const char* const names[OS_FAULT_KINDS] = {
      "alloc", "open-file", "file-size", "read", "short-read", "seek", "module-path",
      "open-printer", "get-driver", "load-library", "get-proc"};
  return kind < OS_FAULT_KINDS ? names[kind] : "?";
}

void OsFaultArm(OsFaultKind kind, uint32_t nth, uint32_t count) {
  std::lock_guard<std::mutex> guard(gLock);
  Fault& f = gFaults[kind];
  f.first = nth == 0 ? 0 : f.calls + nth;
  f.count = count;
}

uint32_t OsFaultCalls(OsFaultKind kind) {
  std::lock_guard<std::mutex> guard(gLock);
  return gFaults[kind].calls;
}

uint32_t OsFaultFired(OsFaultKind kind) {
  std::lock_guard<std::mutex> guard(gLock);
  return gFaults[kind].fired;
}

void OsTestReset() {
  std::lock_guard<std::mutex> guard(gLock);
  for (Fault& f : gFaults) f = Fault();
  gPrinters.clear();
  gModulePathChosen = false;
  gModulePath.clear();
}

int64_t OsLiveAllocations() { return gAllocations.load(); }
int64_t OsOpenFiles() { return gFiles.load(); }
int64_t OsOpenPrinters() { return gPrintersOpen.load(); }
int64_t OsLoadedModules() { return gModules.load(); }

void OsTestSetModulePath(const char* path) {
  std::lock_guard<std::mutex> guard(gLock);
  gModulePathChosen = path != nullptr;
  gModulePath = path ? path : "";
}

void OsTestAddPrinter(const char* name, const char* driverPath, OsPrinterScript script) {
  std::lock_guard<std::mutex> guard(gLock);
  gPrinters[name] = PrinterEntry{driverPath ? driverPath : "", script};
}

const char* OsTestLastPrinterName() { return tLastPrinterName.c_str(); }
#endif

// ---- own module --------------------------------------------------------------

OsModulePath OsGetModuleFileName(void* module, char* buffer, uint32_t room) {
  (void)module;
  if (room == 0) return OS_MODULE_PATH_UNUSABLE;
  buffer[0] = '\0';
  if (Hit(OS_FAULT_MODULE_PATH)) return OS_MODULE_PATH_NONE;
  std::string path;
  {
    std::lock_guard<std::mutex> guard(gLock);
    if (gModulePathChosen) path = gModulePath;
  }
  if (path.empty()) {
    Dl_info info;
    if (!dladdr((void*)&OsGetModuleFileName, &info) || !info.dli_fname) return OS_MODULE_PATH_NONE;
    path = info.dli_fname;
  }
  // As the Windows backend: the wide path fills its buffer (cut off), holds
  // what UTF-8 cannot carry (modelled by text that is not valid UTF-8), or
  // its UTF-8 form does not fit the caller's room.
  if (PathUnits(path.data(), path.size()) >= OS_LONG_PATH_UNITS) return OS_MODULE_PATH_UNUSABLE;
  if (!Utf8IsValid(path.data(), path.size())) return OS_MODULE_PATH_UNUSABLE;
  if (path.size() >= room) return OS_MODULE_PATH_UNUSABLE;
  memcpy(buffer, path.c_str(), path.size() + 1);
  return OS_MODULE_PATH_FOUND;
}

// What the Windows backend can hand to a wide call: valid UTF-8 of at most
// OS_MAX_PATH - 1 units.
static bool Widens(const char* path) {
  size_t bytes = strnlen(path, OS_PATH_BYTES);
  return bytes < OS_PATH_BYTES && PathUnits(path, bytes) < OS_MAX_PATH && Utf8IsValid(path, bytes);
}

// ---- files -------------------------------------------------------------------

OsFile OsOpenFileForRead(const char* path) {
  if (Hit(OS_FAULT_OPEN_FILE) || !Widens(path)) return OS_NO_FILE;
  int fd = open(path, O_RDONLY | O_CLOEXEC);
  if (fd < 0) return OS_NO_FILE;
  struct stat st;
  if (fstat(fd, &st) != 0 || S_ISDIR(st.st_mode)) {  // CreateFileA refuses directories
    close(fd);
    return OS_NO_FILE;
  }
  ++gFiles;
  return (OsFile)(intptr_t)fd;
}

uint32_t OsGetFileSize(OsFile file) {
  if (Hit(OS_FAULT_FILE_SIZE)) return OS_FAILED_U32;
  struct stat st;
  if (fstat(FileDescriptor(file), &st) != 0) return OS_FAILED_U32;
  return (uint32_t)st.st_size;
}

int OsReadFile(OsFile file, void* destination, uint32_t count, uint32_t* read) {
  *read = 0;
  if (Hit(OS_FAULT_READ)) return 0;
  uint32_t ask = Hit(OS_FAULT_SHORT_READ) ? count / 2 : count;
  ssize_t got;
  do {
    got = ::read(FileDescriptor(file), destination, ask);
  } while (got < 0 && errno == EINTR);
  if (got < 0) return 0;
  *read = (uint32_t)got;
  return 1;
}

uint32_t OsSetFilePointer(OsFile file, int32_t distance) {
  if (Hit(OS_FAULT_SEEK) || distance < 0) return OS_FAILED_U32;
  off_t at = lseek(FileDescriptor(file), distance, SEEK_SET);
  return at < 0 ? OS_FAILED_U32 : (uint32_t)at;
}

void OsCloseFile(OsFile file) {
  if (file == OS_NO_FILE) return;
  close(FileDescriptor(file));
  --gFiles;
}

// ---- memory ------------------------------------------------------------------

void* OsGlobalAlloc(size_t size) {
  if (Hit(OS_FAULT_ALLOC)) return nullptr;
  void* block = calloc(1, size ? size : 1);
  if (block) ++gAllocations;
  return block;
}

void* OsGlobalLock(void* memory) { return memory; }

void OsGlobalFreeLocked(void* pointer) { OsGlobalFree(pointer); }

void OsGlobalFree(void* memory) {
  if (!memory) return;
  free(memory);
  --gAllocations;
}

// ---- loader ------------------------------------------------------------------

OsModule OsLoadLibrary(const char* path) {
  if (Hit(OS_FAULT_LOAD_LIBRARY) || !Widens(path)) return nullptr;
  void* module;
  {
    std::lock_guard<std::mutex> guard(gLoaderLock);
    module = dlopen(path, RTLD_NOW | RTLD_LOCAL);
  }
  if (module) ++gModules;
  return module;
}

void* OsGetProcAddress(OsModule module, const char* name) {
  if (Hit(OS_FAULT_GET_PROC)) return nullptr;
  return dlsym(module, name);
}

void OsFreeLibrary(OsModule module) {
  if (!module) return;
  {
    std::lock_guard<std::mutex> guard(gLoaderLock);
    dlclose(module);
  }
  --gModules;
}

// ---- spooler -----------------------------------------------------------------
// Only the test stand-in has printers: no native product forwards a call.
#if TRAMOLE_OS_TEST_CONTROLS

int OsOpenPrinter(const char* name, OsPrinter* printer) {
  *printer = nullptr;
  tLastPrinterName = name;
  if (Hit(OS_FAULT_OPEN_PRINTER)) return 0;
  PrinterEntry entry;
  {
    std::lock_guard<std::mutex> guard(gLock);
    auto it = gPrinters.find(name);
    if (it == gPrinters.end()) return 0;
    entry = it->second;
  }
  if (entry.script == OS_PRINTER_OPEN_FAILS) return 0;
  *printer = new PrinterEntry(entry);  // the open printer is a copy of its entry
  ++gPrintersOpen;
  return 1;
}

int OsGetPrinterDriver2(OsPrinter printer, void* buffer, uint32_t size, uint32_t* needed) {
  if (Hit(OS_FAULT_GET_DRIVER) || !printer) return 0;
  const PrinterEntry& entry = *static_cast<PrinterEntry*>(printer);
  if (entry.script == OS_PRINTER_NO_SIZE) return 0;
  bool hasPath = entry.script != OS_PRINTER_NO_PATH;
  uint32_t want = (uint32_t)sizeof(OsDriverInfo2) + (hasPath ? (uint32_t)entry.driverPath.size() + 1 : 0);
  *needed = want;
  if (!buffer || size < want) return 0;
  if (entry.script == OS_PRINTER_SECOND_QUERY_FAILS) return 0;
  // A driver path that is not valid UTF-8 models one the backend cannot convert.
  if (hasPath && !Utf8IsValid(entry.driverPath.data(), entry.driverPath.size())) return 0;
  OsDriverInfo2* info = static_cast<OsDriverInfo2*>(buffer);
  memset(info, 0, sizeof *info);
  info->cVersion = 3;
  if (hasPath) {
    char* text = static_cast<char*>(buffer) + sizeof(OsDriverInfo2);
    memcpy(text, entry.driverPath.c_str(), entry.driverPath.size() + 1);
    info->pDriverPath = text;
  }
  return 1;
}

void OsClosePrinter(OsPrinter printer) {
  if (!printer) return;
  delete static_cast<PrinterEntry*>(printer);
  --gPrintersOpen;
}
#endif

// ---- run-time library --------------------------------------------------------

int OsStrnicmp(const char* a, const char* b, size_t count) {
  for (size_t i = 0; i < count; ++i) {
    int ca = (unsigned char)a[i];
    int cb = (unsigned char)b[i];
    if (ca >= 'A' && ca <= 'Z') ca += 'a' - 'A';
    if (cb >= 'A' && cb <= 'Z') cb += 'a' - 'A';
    if (ca != cb) return ca - cb;
    if (ca == 0) return 0;
  }
  return 0;
}
