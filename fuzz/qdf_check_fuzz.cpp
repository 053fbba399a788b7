// Fuzz target: arbitrary bytes as a data file for `qdf check`. The report
// (text and JSON) must come out for any file, and its table must be what the
// library itself loads from the same bytes through the real load path.
#include <stdint.h>

#include <string>

#include "fuzz/fuzz_common.h"
#include "messages/messages.h"
#include "platform/os_test.h"
#include "tools/qdf/check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  int64_t allocations = OsLiveAllocations();
  int64_t files = OsOpenFiles();
  CheckReport report = CheckDataBytes(data, size, "fuzz.qdf");
  FormatCheckText(report, ReportOptions());
  FormatCheckJson(report, ReportOptions());
  if (OsLiveAllocations() != allocations || OsOpenFiles() != files)
    FuzzFail("qdf_check_fuzz", "the check left allocations or files behind");

  FuzzWriteScratch(data, size);
  LoadErrorMessages(FuzzScratchFile().c_str());
  if (report.table.size() != ERRMSG_FALLBACK + 1)
    FuzzFail("qdf_check_fuzz", "table of " + std::to_string(report.table.size()) + " entries, expected 17");
  for (int i = 0; i <= ERRMSG_FALLBACK; ++i) {
    const TableEntryInfo& e = report.table[i];
    const char* loaded = ErrMsgTable[i].text;
    if (e.loaded != (loaded != nullptr) || (loaded && e.text != loaded))
      FuzzFail("qdf_check_fuzz", std::string("entry ") + ErrMsgTable[i].key + ": the check says " +
                                     (e.loaded ? "\"" + e.text + "\"" : std::string("no text")) +
                                     ", the library loaded " +
                                     (loaded ? "\"" + std::string(loaded) + "\"" : std::string("no text")));
  }
  FreeErrorMessages();
  if (OsLiveAllocations() != allocations || OsOpenFiles() != files)
    FuzzFail("qdf_check_fuzz", "the load left allocations or files behind");
  return 0;
}
