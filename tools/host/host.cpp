// tramole-host: a diagnostic host for TRAMOLEW.dll, for support staff on a
// Windows machine. It loads the library that lies beside it, by full path,
// and either lists the message texts or makes one forwarded call.
#include <windows.h>

#include <ctype.h>
#include <errno.h>
#include <limits.h>
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#ifndef TRAMOLE_HOST_VERSION
#define TRAMOLE_HOST_VERSION "unknown"
#endif

namespace {

const char kLibraryName[] = "TRAMOLEW.dll";
const char kDataFileName[] = "TRAMOLED.QDF";
const char* const kExports[] = {"DALVIRE_SettingExport", "DALVIRE_SettingImport",
                                "DALVIRE_PersonalInfoImport", "DALVIRE_DefaultSetting",
                                "DALVIRE_FixSetting"};
const int32_t kNotCalled = 99;

enum { kOk = 0, kBadArguments = 1, kNoLibrary = 2 };

typedef const char*(WINAPI* GetErrorMsgFn)(int32_t code);
typedef int32_t(WINAPI* ForwardFn)(const char* printer, uintptr_t value);

void Usage(FILE* out) {
  fprintf(out,
          "usage: tramole-host list\n"
          "       tramole-host call EXPORT PRINTER [VALUE]\n"
          "       tramole-host --version\n"
          "       tramole-host --help\n"
          "\n"
          "Loads %s from the directory of tramole-host.exe.\n"
          "  list   prints the message texts for codes 0 to 15 and for a few codes\n"
          "         outside that range (they get the fallback text).\n"
          "  call   calls one setting export for a printer and prints its result.\n"
          "         EXPORT is one of:\n",
          kLibraryName);
  for (const char* name : kExports) fprintf(out, "           %s\n", name);
  fprintf(out,
          "         VALUE is the value passed on to the printer driver's companion,\n"
          "         decimal or 0x-prefixed hexadecimal, 64 bits; 0 when left out.\n"
          "\n"
          "Exit codes: 0 done, 1 bad arguments, 2 the library could not be used.\n");
}

std::string ErrorText(DWORD error) {
  char* text = nullptr;
  DWORD length = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                    FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, error, 0, reinterpret_cast<char*>(&text), 0, nullptr);
  std::string message = "error " + std::to_string(error);
  if (length && text) {
    std::string detail(text, length);
    while (!detail.empty() && (detail.back() == '\n' || detail.back() == '\r' || detail.back() == ' '))
      detail.pop_back();
    message += ": " + detail;
  }
  if (text) LocalFree(text);
  return message;
}

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
  std::string dir = OwnDirectory();
  return dir.empty() ? "" : dir + kLibraryName;
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
    std::string dataFile = OwnDirectory() + kDataFileName;
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

int Call(const char* exportArgument, const char* printer, const char* valueArgument) {
  const char* exportName = nullptr;
  for (const char* name : kExports)
    if (_stricmp(name, exportArgument) == 0) exportName = name;
  if (!exportName) {
    fprintf(stderr, "tramole-host: unknown export '%s'; one of:\n", exportArgument);
    for (const char* name : kExports) fprintf(stderr, "  %s\n", name);
    return kBadArguments;
  }
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
    if (result == kNotCalled)
      printf(
          "99: no companion entry point could be called. The spooler does not know the\n"
          "printer, or the directory of its driver holds no TRAMOLEU.DLL, or that\n"
          "library lacks %s. (A companion may also return 99 itself.)\n",
          exportName);
    else
      printf("the result comes from the companion TRAMOLEU.DLL of the printer's driver\n");
    status = kOk;
  }
  FreeLibrary(module);
  return status;
}

std::string FileVersion(const std::string& path) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (size == 0) return "";
  std::string block(size, '\0');
  if (!GetFileVersionInfoA(path.c_str(), 0, size, &block[0])) return "";
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!VerQueryValueA(&block[0], "\\", reinterpret_cast<void**>(&fixed), &length) || !fixed ||
      length < sizeof *fixed)
    return "";
  char text[64];
  snprintf(text, sizeof text, "%lu.%lu.%lu.%lu", fixed->dwFileVersionMS >> 16,
           fixed->dwFileVersionMS & 0xffff, fixed->dwFileVersionLS >> 16,
           fixed->dwFileVersionLS & 0xffff);
  return text;
}

int Version() {
  printf("tramole-host %s\n", TRAMOLE_HOST_VERSION);
  std::string path = LibraryPath();
  DWORD attributes = path.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesA(path.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES) {
    printf("%s: not found beside tramole-host.exe\n", kLibraryName);
    return kOk;
  }
  std::string version = FileVersion(path);
  printf("%s %s (%s)\n", kLibraryName, version.empty() ? "without version information" : version.c_str(),
         path.c_str());
  return kOk;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    Usage(stderr);
    return kBadArguments;
  }
  std::string command = argv[1];
  if (command == "--help" || command == "-h" || command == "/?" || command == "help") {
    Usage(stdout);
    return kOk;
  }
  if (command == "--version" && argc == 2) return Version();
  if (command == "list" && argc == 2) return List();
  if (command == "call" && (argc == 4 || argc == 5))
    return Call(argv[2], argv[3], argc == 5 ? argv[4] : nullptr);
  if (command == "list" || command == "call" || command == "--version")
    fprintf(stderr, "tramole-host: wrong number of arguments for '%s'\n\n", command.c_str());
  else
    fprintf(stderr, "tramole-host: unknown command '%s'\n\n", command.c_str());
  Usage(stderr);
  return kBadArguments;
}
