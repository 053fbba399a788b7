// tramole-host doctor: walks the steps the library takes for a forwarded
// call, one by one with the system's own error at each, and says which one
// fails and what to do about it.
#ifndef TRAMOLE_TOOLS_HOST_DOCTOR_H
#define TRAMOLE_TOOLS_HOST_DOCTOR_H

#include <stdint.h>
#include <stdio.h>

#include <string>
#include <vector>

namespace host {

extern const char* const kSettingExports[5];
extern const char* const kLibraryExports[7];

// One step-specific value, shown as "  key: value" and as a JSON member.
struct Field {
  enum Kind { kString, kNumber, kBool, kList };
  Kind kind = kString;
  std::string key;
  std::string text;                // string, or the number's digits
  bool flag = false;               // kBool
  std::vector<std::string> items;  // kList
};

struct Step {
  std::string name;
  bool ok = true;
  bool hasError = false;
  uint32_t error = 0;  // Win32 error code when hasError
  std::string detail;  // one line saying what was found
  std::string remedy;  // what to do, when the step failed
  std::vector<Field> fields;

  void String(const std::string& key, const std::string& value);
  void Number(const std::string& key, long long value);
  void Bool(const std::string& key, bool value);
  void List(const std::string& key, const std::vector<std::string>& items);
  void Fail(const std::string& why, const std::string& whatToDo);
  void FailWith(uint32_t code, const std::string& why, const std::string& whatToDo);
};

struct Report {
  std::string printer;       // as given, UTF-8
  std::string entry;         // the export asked about, or "" for all five
  std::vector<Step> steps;   // the steps run, in order
  int failed = -1;           // index of the first failed step, or -1
  std::string verdict;
};

// Names of the steps, in the order they run.
const char kStepLibrary[] = "library";
const char kStepDataFile[] = "datafile";
const char kStepPrinter[] = "printer";
const char kStepDriver[] = "driver";
const char kStepCompanionPath[] = "companion-path";
const char kStepCompanionFile[] = "companion-file";
const char kStepCompanionLoad[] = "companion-load";
const char kStepEntryPoints[] = "entry-points";

// Runs every step for `printer` (host's ANSI code page, as a host passes
// it) with the library at `libraryPath` (a full path). `entry` is one of the
// five setting exports, or null to ask for all five.
Report RunDoctor(const std::string& libraryPath, const char* printer, const char* entry);

void PrintReport(const Report& report, FILE* out);
void PrintReportJson(const Report& report, FILE* out);
// Only the first failed step from `first` on, with the verdict: what `call`
// shows after a 99.
void PrintFailedStep(const Report& report, const char* first, FILE* out);

// "error N: the system's text for it", in UTF-8.
std::string ErrorText(uint32_t error);
// The file version of a PE file as "a.b.c.d", or "" when it has none.
std::string FileVersion(const std::string& path);
// Text of the host's ANSI code page as UTF-8, for the report.
std::string AnsiToUtf8(const std::string& text);

}  // namespace host

#endif
