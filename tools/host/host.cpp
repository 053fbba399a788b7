// tramole-host: a diagnostic host for TRAMOLEW.dll, for support staff on a
// Windows machine. It loads the library that lies beside it (or the one
// --library names), by full path, and lists the message texts, makes one
// forwarded call, or walks the library's steps for a printer (doctor).
#include <windows.h>

#include <ctype.h>
#include <errno.h>
#include <limits.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#include "tools/host/doctor.h"

#ifndef TRAMOLE_HOST_VERSION
#define TRAMOLE_HOST_VERSION "unknown"
#endif

namespace {

const char kLibraryName[] = "TRAMOLEW.dll";
const char kDataFileName[] = "TRAMOLED.QDF";
const char* const* const kExports = host::kSettingExports;
const int32_t kNotCalled = 99;

enum { kOk = 0, kBadArguments = 1, kNoLibrary = 2, kStepFailed = 3 };

// The library given with --library, as a full path; "" for the one beside
// the host.
std::string g_library;

typedef const char*(WINAPI* GetErrorMsgFn)(int32_t code);
typedef int32_t(WINAPI* ForwardFn)(const char* printer, uintptr_t value);

void Usage(FILE* out) {
  fprintf(out,
          "usage: tramole-host [--library PATH] list\n"
          "       tramole-host [--library PATH] call EXPORT PRINTER [VALUE]\n"
          "       tramole-host [--library PATH] doctor [--json] PRINTER [EXPORT]\n"
          "       tramole-host [--library PATH] --version\n"
          "       tramole-host --help\n"
          "\n"
          "Loads %s from the directory of tramole-host.exe, or the one that\n"
          "--library PATH names (a relative PATH is taken from the current directory).\n"
          "  list    prints the message texts for codes 0 to 15 and for a few codes\n"
          "          outside that range (they get the fallback text).\n"
          "  call    calls one setting export for a printer and prints its result.\n"
          "          On 99 it runs the doctor's steps and prints the one that fails.\n"
          "          EXPORT is one of:\n",
          kLibraryName);
  for (int i = 0; i < 5; ++i) fprintf(out, "            %s\n", kExports[i]);
  fprintf(out,
          "          VALUE is the value passed on to the printer driver's companion,\n"
          "          decimal or 0x-prefixed hexadecimal, 64 bits; 0 when left out.\n"
          "  doctor  walks the library's steps for PRINTER, in order, each with the\n"
          "          system's error code when it fails:\n"
          "            library         the TRAMOLEW.dll used, its version and exports\n"
          "            datafile        TRAMOLED.QDF beside it: size, texts that load\n"
          "            printer         the spooler opens the printer\n"
          "            driver          the printer's driver and its driver path\n"
          "            companion-path  the path of TRAMOLEU.DLL the library builds\n"
          "            companion-file  the file: size, machine (x64, x86, ...), DLL\n"
          "            companion-load  the loader loads it; DLLs it lacks\n"
          "            entry-points    the five entry points (or EXPORT) it has\n"
          "          then a verdict: what is wrong and what to do. --json prints the\n"
          "          same report as one JSON object.\n"
          "\n"
          "Exit codes: 0 done (doctor: every step passed; call: a result other than\n"
          "99), 1 bad arguments, 2 the library could not be used, 3 a doctor step\n"
          "failed (call: the result was 99).\n");
}

std::string ErrorText(DWORD error) { return host::ErrorText(error); }

// Directory of tramole-host.exe with its trailing separator, or "" when the
// platform cannot tell it whole.
std::string OwnDirectory() {
  char path[MAX_PATH + 1] = {};
  DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return "";
  std::string full(path, length);
  size_t cut = full.find_last_of("\\/");
  return cut == std::string::npos ? "" : full.substr(0, cut + 1);
}

std::string LibraryPath() {
  if (!g_library.empty()) return g_library;
  std::string dir = OwnDirectory();
  return dir.empty() ? "" : dir + kLibraryName;
}

std::string DirectoryOf(const std::string& path) {
  size_t cut = path.find_last_of("\\/");
  return cut == std::string::npos ? "" : path.substr(0, cut + 1);
}

// --library PATH as a full path, so the library is never searched for.
bool SetLibrary(const char* given) {
  char full[MAX_PATH + 1] = {};
  DWORD length = GetFullPathNameA(given, MAX_PATH, full, nullptr);
  if (length == 0 || length >= MAX_PATH) return false;
  g_library = full;
  return true;
}

// Loads the library beside the host by its full path, never by a search.
HMODULE LoadBesideHost(std::string* path) {
  *path = LibraryPath();
  if (path->empty()) {
    fprintf(stderr, "tramole-host: cannot tell the directory of tramole-host.exe\n");
    return nullptr;
  }
  HMODULE module = LoadLibraryA(path->c_str());
  if (!module)
    fprintf(stderr, "tramole-host: cannot load %s (%s)\n", path->c_str(),
            ErrorText(GetLastError()).c_str());
  return module;
}

void* Lookup(HMODULE module, const char* name, const std::string& path) {
  void* address = reinterpret_cast<void*>(GetProcAddress(module, name));
  if (!address) fprintf(stderr, "tramole-host: %s has no export %s\n", path.c_str(), name);
  return address;
}

void PrintQuoted(const char* text) {
  putchar('"');
  for (const unsigned char* c = reinterpret_cast<const unsigned char*>(text); *c; ++c) {
    if (*c == '"' || *c == '\\') printf("\\%c", *c);
    else if (*c < 0x20 || *c == 0x7f) printf("\\x%02x", *c);
    else putchar(*c);
  }
  putchar('"');
}

int List() {
  std::string path;
  HMODULE module = LoadBesideHost(&path);
  if (!module) return kNoLibrary;
  int status = kNoLibrary;
  GetErrorMsgFn getErrorMsg =
      reinterpret_cast<GetErrorMsgFn>(Lookup(module, "DALVIRE_GetErrorMsg", path));
  if (getErrorMsg) {
    std::string dataFile = DirectoryOf(path) + kDataFileName;
    DWORD attributes = GetFileAttributesA(dataFile.c_str());
    bool present = attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
    printf("library:   %s\n", path.c_str());
    printf("data file: %s (%s)\n", dataFile.c_str(), present ? "present" : "missing: every text is empty");
    const int32_t codes[] = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, -1, 16, 17, INT_MAX};
    for (int32_t code : codes) {
      const char* text = getErrorMsg(code);
      printf("%11ld  ", (long)code);
      if (text) PrintQuoted(text);
      else printf("(null pointer)");
      if (code < 0 || code > 15) printf("  [outside 0..15: fallback]");
      putchar('\n');
    }
    status = kOk;
  }
  FreeLibrary(module);
  return status;
}

// Accepts decimal or 0x-prefixed hexadecimal, all of the text, 64 bits.
bool ParseValue(const char* text, uint64_t* value) {
  const char* digits = text;
  int base = 10;
  if (digits[0] == '0' && (digits[1] == 'x' || digits[1] == 'X')) {
    digits += 2;
    base = 16;
  }
  if (*digits == '\0') return false;
  for (const char* c = digits; *c; ++c) {
    bool ok = base == 16 ? isxdigit((unsigned char)*c) != 0 : (*c >= '0' && *c <= '9');
    if (!ok) return false;
  }
  errno = 0;
  unsigned long long parsed = strtoull(digits, nullptr, base);
  if (errno == ERANGE) return false;
  *value = parsed;
  return true;
}

// The export named (case aside), or a message listing them.
bool FindExport(const char* argument, const char** exportName) {
  *exportName = nullptr;
  for (int i = 0; i < 5; ++i)
    if (_stricmp(kExports[i], argument) == 0) *exportName = kExports[i];
  if (*exportName) return true;
  fprintf(stderr, "tramole-host: unknown export '%s'; one of:\n", argument);
  for (int i = 0; i < 5; ++i) fprintf(stderr, "  %s\n", kExports[i]);
  return false;
}

int Call(const char* exportArgument, const char* printer, const char* valueArgument) {
  const char* exportName = nullptr;
  if (!FindExport(exportArgument, &exportName)) return kBadArguments;
  uint64_t value = 0;
  if (valueArgument && !ParseValue(valueArgument, &value)) {
    fprintf(stderr,
            "tramole-host: invalid value '%s': give a decimal or 0x-prefixed hexadecimal number "
            "of at most 64 bits\n",
            valueArgument);
    return kBadArguments;
  }

  std::string path;
  HMODULE module = LoadBesideHost(&path);
  if (!module) return kNoLibrary;
  int status = kNoLibrary;
  ForwardFn forward = reinterpret_cast<ForwardFn>(Lookup(module, exportName, path));
  if (forward) {
    fflush(stdout);
    int32_t result = forward(printer, (uintptr_t)value);
    fflush(stdout);
    printf("%s(", exportName);
    PrintQuoted(printer);
    printf(", 0x%016llx) returned %ld\n", (unsigned long long)value, (long)result);
    if (result == kNotCalled) {
      printf("99: no companion entry point could be called, or the companion returned 99\n"
             "itself. The doctor's steps for this printer say which:\n");
      host::PrintFailedStep(host::RunDoctor(path, printer, exportName), host::kStepPrinter, stdout);
      status = kStepFailed;
    } else {
      printf("the result comes from the companion TRAMOLEU.DLL of the printer's driver\n");
      status = kOk;
    }
  }
  FreeLibrary(module);
  return status;
}

int Doctor(const char* printer, const char* exportArgument, bool json) {
  const char* exportName = nullptr;
  if (exportArgument && !FindExport(exportArgument, &exportName)) return kBadArguments;
  std::string path = LibraryPath();
  if (path.empty()) {
    fprintf(stderr, "tramole-host: cannot tell the directory of tramole-host.exe\n");
    return kNoLibrary;
  }
  // Paths and names in the report are UTF-8.
  SetConsoleOutputCP(CP_UTF8);
  host::Report report = host::RunDoctor(path, printer, exportName);
  if (json) host::PrintReportJson(report, stdout);
  else host::PrintReport(report, stdout);
  return report.failed < 0 ? kOk : kStepFailed;
}

int Version() {
  printf("tramole-host %s\n", TRAMOLE_HOST_VERSION);
  std::string path = LibraryPath();
  DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    if (g_library.empty()) printf("%s: not found beside tramole-host.exe\n", kLibraryName);
    else printf("%s: not found at %s\n", kLibraryName, path.c_str());
    return kOk;
  }
  std::string version = host::FileVersion(path);
  printf("%s %s (%s)\n", kLibraryName, version.empty() ? "without version information" : version.c_str(),
         path.c_str());
  return kOk;
}

}  // namespace

int main(int argc, char** argv) {
  // --library PATH and --json may stand anywhere; the rest is positional.
  std::vector<const char*> args;
  bool json = false;
  for (int i = 1; i < argc; ++i) {
    if (strcmp(argv[i], "--library") == 0) {
      if (i + 1 >= argc || !SetLibrary(argv[i + 1])) {
        fprintf(stderr, "tramole-host: --library needs the path of a %s\n\n", kLibraryName);
        Usage(stderr);
        return kBadArguments;
      }
      ++i;
    } else if (strcmp(argv[i], "--json") == 0) {
      json = true;
    } else {
      args.push_back(argv[i]);
    }
  }
  size_t n = args.size();
  if (n < 1) {
    Usage(stderr);
    return kBadArguments;
  }
  std::string command = args[0];
  if (command == "--help" || command == "-h" || command == "/?" || command == "help") {
    Usage(stdout);
    return kOk;
  }
  if (json && command != "doctor") {
    fprintf(stderr, "tramole-host: --json belongs to 'doctor'\n\n");
    Usage(stderr);
    return kBadArguments;
  }
  if (command == "--version" && n == 1) return Version();
  if (command == "list" && n == 1) return List();
  if (command == "call" && (n == 3 || n == 4))
    return Call(args[1], args[2], n == 4 ? args[3] : nullptr);
  if (command == "doctor" && (n == 2 || n == 3)) return Doctor(args[1], n == 3 ? args[2] : nullptr, json);
  if (command == "list" || command == "call" || command == "doctor" || command == "--version")
    fprintf(stderr, "tramole-host: wrong number of arguments for '%s'\n\n", command.c_str());
  else
    fprintf(stderr, "tramole-host: unknown command '%s'\n\n", command.c_str());
  Usage(stderr);
  return kBadArguments;
}
