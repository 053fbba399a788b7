// What the library makes of a message data file, and everything it would
// silently ignore or get wrong. The file is read only through the library's
// DataFile operations; what loads is learned by running the library's own
// ReadErrMsgSection and reading its table. The tool's own walk, which finds
// the reasons, is bounded and checks every read against the file's end.
#ifndef TRAMOLE_TOOLS_QDF_CHECK_H
#define TRAMOLE_TOOLS_QDF_CHECK_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <vector>

#include "datafile/datafile.h"
#include "tools/qdf/diagnostics.h"

// How a string at an offset reads.
enum StringState {
  STRING_OK,            // a zero byte ends it
  STRING_AT_END,        // no zero byte, but the end of the file ends it (fewer than 290 bytes)
  STRING_OUTSIDE_FILE,  // the offset lies at or past the end: it reads as empty
  STRING_TOO_LONG,      // no zero byte among 290: the library refuses it
  STRING_READ_FAILED,
};

enum RecordFate {
  FATE_FILLS,      // gives its entry the text
  FATE_DUPLICATE,  // its entry has a text from an earlier record
  FATE_NO_ENTRY,   // its key fills nothing
};

struct SectionEntryInfo {
  uint32_t offset = 0;
  std::string name;  // up to its first zero byte or the end of the 32-byte field
  uint32_t firstRecord = 0;
  uint32_t next = 0;
  bool matches = false;       // "NALBI_ErrMsg" but for case
  bool beyondLimit = false;   // at or past the directory limit: never taken
  bool afterSection = false;  // behind the message section in the chain: never read
};

struct RecordInfo {
  uint32_t offset = 0;
  uint32_t bytes = 0;  // of the 16 that lie inside the file
  uint32_t keyOffset = 0, textOffset = 0, next = 0;
  StringState keyState = STRING_OK;
  std::string key;  // as the library uses it: empty when it cannot be read
  StringState textState = STRING_OK;
  std::string text;  // as DataFileReadString places it: empty when refused
  RecordFate fate = FATE_NO_ENTRY;
  int entry = -1;             // table entry it fills or repeats
  bool pastChainEnd = false;  // read only because the count runs past the chain
};

struct TableEntryInfo {
  std::string key;
  bool loaded = false;
  std::string text;
  int64_t record = -1;  // offset of the record that filled it
};

struct CheckReport {
  std::string file;
  bool opened = false;
  uint32_t size = 0;
  uint32_t headerWord0 = 0;
  uint32_t directoryLimit = 0;
  std::vector<SectionEntryInfo> sections;  // in chain order
  int64_t section = -1;                    // offset of the message section, -1 when none
  uint32_t firstRecord = 0;
  uint32_t count = 0;
  std::vector<RecordInfo> records;  // as the library reads them, each once
  uint32_t unreadRecords = 0;       // the chain goes on past the count by these
  std::vector<TableEntryInfo> table;  // the 17 entries as the library loaded them
  Diagnostics findings;

  int ExitCode() const { return findings.ExitCode(); }
};

// The file at `path`, opened with DataFileOpen.
CheckReport CheckDataFile(const std::string& path);
// A file's bytes, read in the library's image mode; `name` names it in findings.
CheckReport CheckDataBytes(const uint8_t* data, size_t size, const std::string& name);
// The table the library loads from a file's bytes, with no walk or findings.
std::vector<TableEntryInfo> LoadedTable(const uint8_t* data, size_t size);
// A file already open; it stays open.
CheckReport CheckOpenDataFile(DataFile* file, const std::string& name);

struct ReportOptions {
  uint32_t codepage = 0;  // decode texts from this code page for display; 0 shows bytes
};

std::string FormatCheckText(const CheckReport& report, const ReportOptions& options);
std::string FormatCheckJson(const CheckReport& report, const ReportOptions& options);

// A text for display: decoded when the code page allows it exactly, else
// printable ASCII with escapes. Quotes not included.
std::string DisplayText(const std::string& bytes, uint32_t codepage);

// What DALVIRE_GetErrorMsg returns for a code, and which rule gave it.
struct LookupResult {
  int32_t code = 0;
  std::string text;
  int entry = -1;     // table entry whose text came back, -1 for the constant empty text
  std::string rule;   // in words
};

// Loads the file with the library's LoadErrorMessages, asks
// DALVIRE_GetErrorMsg for each code, then frees the table.
std::vector<LookupResult> LookUpCodes(const std::string& path, const std::vector<int32_t>& codes);

#endif
