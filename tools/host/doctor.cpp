// The doctor's steps. Where the library makes a decision (where the data
// file is, which texts load, the printer name it passes on, the companion's
// path), the step calls the library's own code, linked into this program;
// around it the step asks Windows directly for what the library does not
// keep: error codes, headers, imports.
#include "tools/host/doctor.h"

#include <windows.h>

#include <string.h>

#include "entry/lifecycle.h"
#include "forward/forward.h"
#include "messages/messages.h"
#include "platform/os.h"
#include "platform/path.h"
#include "tools/host/pe_image.h"

namespace host {

const char* const kSettingExports[5] = {"DALVIRE_SettingExport", "DALVIRE_SettingImport",
                                        "DALVIRE_PersonalInfoImport", "DALVIRE_DefaultSetting",
                                        "DALVIRE_FixSetting"};
const char* const kLibraryExports[7] = {"SetChildInfo",          "DALVIRE_GetErrorMsg",
                                        "DALVIRE_SettingExport", "DALVIRE_SettingImport",
                                        "DALVIRE_PersonalInfoImport", "DALVIRE_DefaultSetting",
                                        "DALVIRE_FixSetting"};

namespace {

const uint32_t kBadImage = ERROR_BAD_EXE_FORMAT;  // 193, what the loader says of such a file
const uint32_t kMaxCompanionBytes = 64u << 20;    // read no more of a companion than this
const int kMaxImportDepth = 4;                    // levels of imports followed for 126
const size_t kMaxImportsVisited = 256;

std::string Widen8(const std::wstring& wide) {
  if (wide.empty()) return "";
  int n = WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), (int)wide.size(), nullptr, 0, nullptr, nullptr);
  std::string out((size_t)(n > 0 ? n : 0), '\0');
  if (n > 0) WideCharToMultiByte(CP_UTF8, 0, wide.c_str(), (int)wide.size(), &out[0], n, nullptr, nullptr);
  return out;
}

// Text handed over by the library's platform code, for the report: paths
// cross the seam as UTF-8 already.
std::string SeamText(const char* text) { return text ? text : ""; }

std::string WideText(const wchar_t* text) { return text ? Widen8(text) : ""; }

std::string Quoted(const std::string& text) { return "\"" + text + "\""; }

}  // namespace

std::string FileVersion(const std::string& path) {
  DWORD ignored = 0;
  DWORD size = GetFileVersionInfoSizeA(path.c_str(), &ignored);
  if (size == 0) return "";
  std::string block(size, '\0');
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  if (!GetFileVersionInfoA(path.c_str(), 0, size, &block[0]) ||
      !VerQueryValueA(&block[0], "\\", reinterpret_cast<void**>(&fixed), &length) || !fixed ||
      length < sizeof *fixed)
    return "";
  char text[64];
  snprintf(text, sizeof text, "%lu.%lu.%lu.%lu", fixed->dwFileVersionMS >> 16,
           fixed->dwFileVersionMS & 0xffff, fixed->dwFileVersionLS >> 16,
           fixed->dwFileVersionLS & 0xffff);
  return text;
}

namespace {

std::string Joined(const std::vector<std::string>& items) {
  std::string out;
  for (const std::string& item : items) out += (out.empty() ? "" : ", ") + item;
  return out;
}

// ---- library and data file

Step LibraryStep(const std::string& path, HMODULE* module) {
  Step step;
  step.name = kStepLibrary;
  step.String("path", AnsiToUtf8(path));
  *module = LoadLibraryA(path.c_str());
  if (!*module) {
    uint32_t error = GetLastError();
    step.FailWith(error, "cannot load " + AnsiToUtf8(path) + " (" + ErrorText(error) + ")",
                  "reinstall the printer driver package, or give the library with --library PATH");
    return step;
  }
  std::string version = FileVersion(path);
  step.String("version", version);
  std::vector<std::string> missing;
  for (const char* name : kLibraryExports)
    if (!GetProcAddress(*module, name)) missing.push_back(name);
  step.List("exports_missing", missing);
  std::string what = AnsiToUtf8(path) + ", file version " + (version.empty() ? "unknown" : version);
  if (missing.empty()) {
    step.detail = what + ", all seven exports present";
  } else {
    step.Fail(what + ", lacks " + Joined(missing),
              "this is not a complete TRAMOLEW.dll: reinstall the printer driver package");
  }
  return step;
}

// The path the library builds for its data file, with the same calls and
// the same rule for a cut-off module path; "" when it builds none.
std::string DataFilePath(HMODULE module) {
  char own[OS_PATH_BYTES];
  memset(own, 0, sizeof own);
  if (OsGetModuleFileName(module, own, sizeof own) == OS_MODULE_PATH_UNUSABLE) return "";
  char path[OS_PATH_BYTES];
  if (BuildSiblingPath(own, DATA_FILE_NAME, path) != PATH_BUILT) return "";
  return path;
}

Step DataFileStep(HMODULE module) {
  Step step;
  step.name = kStepDataFile;
  std::string path = DataFilePath(module);
  step.String("path", SeamText(path.c_str()));
  if (path.empty()) {
    step.Fail("the library builds no data file path: its own path is cut off, cannot be converted, or is too long",
              "install the printer driver in a directory with a shorter path");
    return step;
  }
  OsFile file = OsOpenFileForRead(path.c_str());
  if (file == OS_NO_FILE) {
    uint32_t error = GetLastError();
    step.FailWith(error, "no " DATA_FILE_NAME " at " + SeamText(path.c_str()) + " (" + ErrorText(error) + "): every message text is empty",
                  "reinstall the printer driver package: " DATA_FILE_NAME " belongs beside TRAMOLEW.dll");
    return step;
  }
  uint32_t size = OsGetFileSize(file);
  OsCloseFile(file);
  step.Number("size", size == OS_FAILED_U32 ? -1 : (long long)size);

  // What the library loads on attach, done by the library's own code.
  OnProcessAttach(module);
  std::vector<std::string> missing;
  for (int i = 0; i <= ERRMSG_FALLBACK; ++i)
    if (!ErrMsgTable[i].text) missing.push_back(ErrMsgTable[i].key);
  OnProcessDetach();
  long long loaded = ERRMSG_FALLBACK + 1 - (long long)missing.size();
  step.Number("texts_loaded", loaded);
  step.List("texts_missing", missing);
  std::string what = SeamText(path.c_str()) + ", " + std::to_string(size) + " bytes, " +
                     std::to_string(loaded) + " of 17 texts load";
  if (missing.empty()) step.detail = what;
  else
    step.Fail(what + " (missing: " + Joined(missing) + ")",
              "the data file lacks texts: check it with 'qdf check', or reinstall the printer driver package");
  return step;
}

// ---- printer and driver

// The library passes at most PRINTER_NAME_CHARS bytes of the name on.
std::string NameAsPassed(const char* printer) {
  char name[PRINTER_NAME_CHARS + 1];
  memset(name, 0, sizeof name);
  strncpy(name, printer, PRINTER_NAME_CHARS);
  return name;
}

Step PrinterStep(const char* printer, OsPrinter* handle) {
  Step step;
  step.name = kStepPrinter;
  std::string name = NameAsPassed(printer);
  step.String("name", AnsiToUtf8(name));
  if (!OsOpenPrinter(name.c_str(), handle)) {
    uint32_t error = GetLastError();
    *handle = 0;
    step.FailWith(error, "the spooler cannot open the printer " + Quoted(AnsiToUtf8(name)) + " (" + ErrorText(error) + ")",
                  "check the printer name (as in Devices and Printers), or add the printer");
    return step;
  }
  step.detail = "the spooler opens " + Quoted(AnsiToUtf8(name));
  if (name.size() < strlen(printer)) step.detail += " (the first 259 bytes of the name given, as the library passes it)";
  return step;
}

// The driver's names for the report, from the wide query; the library
// itself takes only the driver path, through its own call below.
struct DriverNames {
  std::string name, environment, configFile;
};

DriverNames NamesOfDriver(OsPrinter printer) {
  DriverNames names;
  DWORD needed = 0;
  GetPrinterDriverW(static_cast<HANDLE>(printer), nullptr, 2, nullptr, 0, &needed);
  if (needed < sizeof(DRIVER_INFO_2W)) return names;
  std::vector<uint64_t> block((needed + 7) / 8);
  if (!GetPrinterDriverW(static_cast<HANDLE>(printer), nullptr, 2, reinterpret_cast<BYTE*>(block.data()),
                         needed, &needed))
    return names;
  const DRIVER_INFO_2W* info = reinterpret_cast<const DRIVER_INFO_2W*>(block.data());
  names.name = WideText(info->pName);
  names.environment = WideText(info->pEnvironment);
  names.configFile = WideText(info->pConfigFile);
  return names;
}

Step DriverStep(OsPrinter printer, std::string* driverPath) {
  Step step;
  step.name = kStepDriver;
  uint32_t needed = 0;
  OsGetPrinterDriver2(printer, 0, 0, &needed);
  uint32_t error = GetLastError();
  if (needed < sizeof(OsDriverInfo2)) {
    step.FailWith(error, "the spooler gives no driver information for the printer (" + ErrorText(error) + ")",
                  "reinstall the printer driver: the printer names a driver the spooler does not have");
    return step;
  }
  std::vector<uint64_t> buffer((needed + 7) / 8);
  if (!OsGetPrinterDriver2(printer, buffer.data(), needed, &needed)) {
    error = GetLastError();
    step.FailWith(error, "the spooler's driver query fails, or its driver path is no valid text (" +
                             ErrorText(error) + ")",
                  "reinstall the printer driver");
    return step;
  }
  const OsDriverInfo2* info = reinterpret_cast<const OsDriverInfo2*>(buffer.data());
  DriverNames names = NamesOfDriver(printer);
  step.String("driver_name", names.name);
  step.String("environment", names.environment);
  step.String("driver_path", SeamText(info->pDriverPath));
  step.String("config_file", names.configFile);
  if (!info->pDriverPath || info->pDriverPath[0] == '\0') {
    step.Fail("driver " + Quoted(names.name) + ": no driver path",
              "reinstall the printer driver: its registration names no driver file");
    return step;
  }
  *driverPath = info->pDriverPath;
  step.detail = "driver " + Quoted(names.name) + " (" + names.environment + "), " + SeamText(info->pDriverPath);
  return step;
}

// ---- companion

Step CompanionPathStep(const std::string& driverPath, std::string* companion) {
  Step step;
  step.name = kStepCompanionPath;
  char path[OS_PATH_BYTES];
  PathVerdict result = BuildCompanionPath(driverPath.c_str(), path);
  const char* rules[] = {"built", "no driver path", "too long", "not rooted"};
  step.String("rule", rules[result]);
  step.String("path", SeamText(path));
  std::string driver = SeamText(driverPath.c_str());
  switch (result) {
    case PATH_BUILT:
      *companion = path;
      step.detail = SeamText(path);
      break;
    case PATH_NO_PATH:
      step.Fail("refused (no driver path): the driver path is empty", "reinstall the printer driver");
      break;
    case PATH_TOO_LONG: {
      // Measured as the library measures: UTF-16 units of drive and directory.
      PathParts n = {0, 0, 0};
      size_t units = SplitPath(driverPath.c_str(), driverPath.size() + 1, &n)
                         ? PathUnits(driverPath.c_str(), n.drive + n.dir)
                         : 0;
      step.Number("directory_length", (long long)units);
      step.Fail("refused (too long): the companion beside " + driver + " would not fit 259 characters (drive and directory: " +
                    std::to_string(units) + ")",
                "install the printer driver in a directory with a shorter path");
      break;
    }
    case PATH_NOT_ROOTED:
      step.Fail("refused (not rooted): the directory of " + driver +
                    " does not start at a separator, so the loader would search for the companion",
                "reinstall the printer driver with a full driver path");
      break;
  }
  return step;
}

// Reads the start of the companion through the library's own file calls,
// so that the same path names the same file.
bool ReadCompanion(const std::string& path, std::vector<uint8_t>* bytes, uint32_t* size, uint32_t* error) {
  OsFile file = OsOpenFileForRead(path.c_str());
  if (file == OS_NO_FILE) {
    *error = GetLastError();
    return false;
  }
  *size = OsGetFileSize(file);
  uint32_t want = *size == OS_FAILED_U32 ? 0 : (*size < kMaxCompanionBytes ? *size : kMaxCompanionBytes);
  bytes->assign(want, 0);
  uint32_t got = 0;
  if (want && !OsReadFile(file, bytes->data(), want, &got)) got = 0;
  bytes->resize(got);
  OsCloseFile(file);
  return true;
}

struct CompanionFile {
  bool present = false;
  PeImage image;
};

Step CompanionFileStep(const std::string& path, CompanionFile* file) {
  Step step;
  step.name = kStepCompanionFile;
  std::vector<uint8_t> bytes;
  uint32_t size = 0, error = 0;
  if (!ReadCompanion(path, &bytes, &size, &error)) {
    step.FailWith(error, "no " COMPANION_FILE_NAME " at " + SeamText(path.c_str()) + " (" + ErrorText(error) + ")",
                  "reinstall the printer driver package: " COMPANION_FILE_NAME " belongs in the driver's directory");
    return step;
  }
  file->present = true;
  file->image = ReadPeImage(bytes);
  const PeImage& image = file->image;
  std::string machine = image.isPe ? MachineName(image.machine) : "not a PE image";
  step.Number("size", (long long)size);
  step.String("machine", machine);
  step.Bool("dll", image.isPe && image.isDll);
  std::string what = std::to_string(size) + " bytes, ";
  if (!image.isPe) {
    step.FailWith(kBadImage, what + "not a PE image",
                  "the companion is not a Windows library: reinstall the printer driver package");
  } else if (image.machine != kMachineX64) {
    std::string bits = image.machine == 0x014c ? "32-bit" : machine;
    step.FailWith(kBadImage, what + machine + " (" + bits + "), the library is x64",
                  "the companion is " + bits + ": install the 64-bit driver package");
  } else if (!image.isDll) {
    step.FailWith(kBadImage, what + "x64, but a program, not a DLL",
                  "the companion is not a DLL: reinstall the printer driver package");
  } else {
    step.detail = what + "x64 DLL";
  }
  return step;
}

// Whether the loader would find the DLL `name` for a module loaded by full
// path: already loaded, or on the standard search order.
bool FindImport(const std::string& name, std::string* where) {
  if (GetModuleHandleA(name.c_str())) return true;
  // Wide, and handed to the library's file calls as UTF-8 when read.
  std::wstring wideName(name.begin(), name.end());
  wchar_t path[MAX_PATH + 1] = {};
  DWORD n = SearchPathW(nullptr, wideName.c_str(), nullptr, MAX_PATH, path, nullptr);
  if (n > 0 && n < MAX_PATH) {
    *where = Widen8(path);
    return true;
  }
  // A DLL the system provides without a file of its own.
  HMODULE data = LoadLibraryExA(name.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
  if (!data) return false;
  FreeLibrary(data);
  return true;
}

// Imports that cannot be found, following the found ones' imports a few
// levels down: "VENDORHLP.dll" or "LIBX.dll (needed by VENDORHLP.dll)".
void MissingImports(const std::vector<std::string>& imports, const std::string& neededBy, int depth,
                    std::vector<std::string>* visited, std::vector<std::string>* missing) {
  for (const std::string& name : imports) {
    bool seen = false;
    for (const std::string& v : *visited) seen = seen || _stricmp(v.c_str(), name.c_str()) == 0;
    if (seen || visited->size() >= kMaxImportsVisited) continue;
    visited->push_back(name);
    std::string where;
    if (!FindImport(name, &where)) {
      missing->push_back(neededBy.empty() ? name : name + " (needed by " + neededBy + ")");
      continue;
    }
    if (where.empty() || depth >= kMaxImportDepth) continue;
    std::vector<uint8_t> bytes;
    uint32_t size = 0, error = 0;
    if (ReadCompanion(where, &bytes, &size, &error))
      MissingImports(ReadPeImage(bytes).imports, name, depth + 1, visited, missing);
  }
}

Step CompanionLoadStep(const std::string& path, const CompanionFile& file, OsModule* module) {
  Step step;
  step.name = kStepCompanionLoad;
  *module = OsLoadLibrary(path.c_str());
  if (*module) {
    step.detail = "loaded " + SeamText(path.c_str());
    return step;
  }
  uint32_t error = GetLastError();
  std::string failed = "cannot load " + SeamText(path.c_str()) + " (" + ErrorText(error) + ")";
  if (error == ERROR_MOD_NOT_FOUND && file.present) {
    std::vector<std::string> visited, missing;
    MissingImports(file.image.imports, "", 0, &visited, &missing);
    step.List("missing_dlls", missing);
    if (!missing.empty()) {
      std::vector<std::string> notFound;
      for (const std::string& m : missing) notFound.push_back(m + " not found");
      std::string first = missing[0].substr(0, missing[0].find(' '));
      step.FailWith(error, failed + ": " + Joined(notFound),
                    "install the missing " + first + " (the companion needs it), or reinstall the printer driver package");
      return step;
    }
    step.FailWith(error, failed + ": every DLL it imports is found",
                  "reinstall the printer driver package");
    return step;
  }
  if (error == ERROR_DLL_INIT_FAILED) {
    step.FailWith(error, failed + ": its DllMain returned FALSE",
                  "the companion's DllMain returned FALSE, so it refuses to load: reinstall the printer driver package, or ask its maker");
    return step;
  }
  step.FailWith(error, failed, "reinstall the printer driver package");
  return step;
}

Step EntryPointsStep(OsModule module, const char* entry) {
  Step step;
  step.name = kStepEntryPoints;
  std::vector<std::string> present, missing;
  for (const char* name : kSettingExports) (OsGetProcAddress(module, name) ? present : missing).push_back(name);
  step.List("present", present);
  step.List("missing", missing);
  if (entry) {
    step.String("export", entry);
    bool has = OsGetProcAddress(module, entry) != nullptr;
    step.Bool("export_present", has);
    if (has) step.detail = std::string(entry) + " present (" + std::to_string(present.size()) + " of 5 entry points)";
    else
      step.Fail(std::string("the companion lacks ") + entry,
                std::string("the companion lacks ") + entry +
                    ", so that operation returns 99: install a driver package whose companion provides it");
    return step;
  }
  if (missing.empty()) step.detail = "all five entry points present";
  else
    step.Fail("the companion lacks " + Joined(missing),
              "the companion lacks " + Joined(missing) +
                  ", so those operations return 99: install a driver package whose companion provides them");
  return step;
}

// The forwarding steps, printer to entry points, each run only when the
// one before left something to look at.
void ForwardingSteps(const char* printer, const char* entry, std::vector<Step>* steps) {
  OsPrinter handle = 0;
  steps->push_back(PrinterStep(printer, &handle));
  if (!handle) return;
  std::string driverPath;
  steps->push_back(DriverStep(handle, &driverPath));
  OsClosePrinter(handle);
  if (!steps->back().ok) return;
  std::string companion;
  steps->push_back(CompanionPathStep(driverPath, &companion));
  if (!steps->back().ok) return;
  CompanionFile file;
  steps->push_back(CompanionFileStep(companion, &file));
  // A file that is there but no x64 DLL is still given to the loader, as
  // the library would: its error is the one the library meets.
  if (!file.present) return;
  OsModule module = 0;
  steps->push_back(CompanionLoadStep(companion, file, &module));
  if (!module) return;
  steps->push_back(EntryPointsStep(module, entry));
  OsFreeLibrary(module);
}

std::string Verdict(const Report& report) {
  if (report.failed < 0) {
    return report.entry.empty()
               ? "every step passed: the library finds the companion and all five entry points"
               : "every step passed: the library can call the companion's " + report.entry;
  }
  const Step& first = report.steps[(size_t)report.failed];
  std::string verdict = first.name + " failed: " + first.remedy;
  std::vector<std::string> others;
  for (size_t i = (size_t)report.failed + 1; i < report.steps.size(); ++i)
    if (!report.steps[i].ok) others.push_back(report.steps[i].name);
  if (!others.empty()) verdict += " (also failed: " + Joined(others) + ")";
  return verdict;
}

}  // namespace

static Field MakeField(Field::Kind kind, const std::string& key) {
  Field f;
  f.kind = kind;
  f.key = key;
  return f;
}

void Step::String(const std::string& key, const std::string& value) {
  fields.push_back(MakeField(Field::kString, key));
  fields.back().text = value;
}

void Step::Number(const std::string& key, long long value) {
  fields.push_back(MakeField(Field::kNumber, key));
  fields.back().text = std::to_string(value);
}

void Step::Bool(const std::string& key, bool value) {
  fields.push_back(MakeField(Field::kBool, key));
  fields.back().flag = value;
}

void Step::List(const std::string& key, const std::vector<std::string>& values) {
  fields.push_back(MakeField(Field::kList, key));
  fields.back().items = values;
}

void Step::Fail(const std::string& why, const std::string& whatToDo) {
  ok = false;
  detail = why;
  remedy = whatToDo;
}

void Step::FailWith(uint32_t code, const std::string& why, const std::string& whatToDo) {
  Fail(why, whatToDo);
  hasError = true;
  error = code;
}

std::string ErrorText(uint32_t error) {
  wchar_t* text = nullptr;
  DWORD length = FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                    FORMAT_MESSAGE_IGNORE_INSERTS,
                                nullptr, error, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
  std::string message = "error " + std::to_string(error);
  if (length && text) {
    std::string detail = Widen8(std::wstring(text, length));
    while (!detail.empty() && (detail.back() == '\n' || detail.back() == '\r' || detail.back() == ' ' ||
                               detail.back() == '.'))
      detail.pop_back();
    message += ": " + detail;
  }
  if (text) LocalFree(text);
  return message;
}

std::string AnsiToUtf8(const std::string& text) {
  if (text.empty()) return "";
  int n = MultiByteToWideChar(CP_ACP, 0, text.c_str(), (int)text.size(), nullptr, 0);
  std::wstring wide((size_t)(n > 0 ? n : 0), L'\0');
  if (n > 0) MultiByteToWideChar(CP_ACP, 0, text.c_str(), (int)text.size(), &wide[0], n);
  return Widen8(wide);
}

Report RunDoctor(const std::string& libraryPath, const char* printer, const char* entry) {
  Report report;
  report.printer = AnsiToUtf8(printer);
  report.entry = entry ? entry : "";
  HMODULE library = nullptr;
  report.steps.push_back(LibraryStep(libraryPath, &library));
  // The forwarding steps use the library's code linked into this program,
  // so they can still say something when the DLL itself is broken.
  if (library) report.steps.push_back(DataFileStep(library));
  ForwardingSteps(printer, entry, &report.steps);
  if (library) FreeLibrary(library);
  for (size_t i = 0; i < report.steps.size() && report.failed < 0; ++i)
    if (!report.steps[i].ok) report.failed = (int)i;
  report.verdict = Verdict(report);
  return report;
}

}  // namespace host
