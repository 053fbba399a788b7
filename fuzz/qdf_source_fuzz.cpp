// Fuzz target: arbitrary bytes as a message source, read by both of the qdf
// tool's parsers (.po and "KEY = text"). Whatever compiles without errors is
// laid out as a data file and loaded by the library: every code must then
// return what the compiled messages say it should.
#include <stdint.h>

#include <string>
#include <vector>

#include "fuzz/fuzz_common.h"
#include "messages/messages.h"
#include "platform/os_test.h"
#include "tools/qdf/compile.h"
#include "tools/qdf/diagnostics.h"
#include "tools/qdf/source.h"

namespace {

// The text each code must return: the first message that fills an entry
// keeps it; codes without one take ERMSG_XX's, else the empty text.
std::string Expected(const std::vector<Message>& messages, int32_t code) {
  std::string text[ERRMSG_FALLBACK + 1];
  bool set[ERRMSG_FALLBACK + 1] = {};
  for (const Message& m : messages) {
    int entry = TableEntryForKey(m.key);
    if (entry < 0 || entry > ERRMSG_FALLBACK || set[entry]) continue;
    set[entry] = true;
    text[entry] = m.text;
  }
  uint32_t index = (uint32_t)code;
  if (index < ERRMSG_NUMBERED && set[index]) return text[index];
  return set[ERRMSG_FALLBACK] ? text[ERRMSG_FALLBACK] : std::string();
}

void RoundTrip(const ParsedSource& source, const char* how) {
  std::vector<Message> messages;
  Diagnostics diagnostics;
  bool compiled = CompileMessages({source}, CompileOptions(), &messages, &diagnostics);
  for (const Diagnostic& d : diagnostics.items) FormatDiagnostic(d);
  if (!compiled) return;
  std::vector<uint8_t> file = LayOutMessageFile(messages);
  FuzzWriteScratch(file.data(), file.size());
  int64_t allocations = OsLiveAllocations();
  LoadErrorMessages(FuzzScratchFile().c_str());
  for (int32_t code : kFuzzCodes) {
    std::string got = DALVIRE_GetErrorMsg(code);
    std::string expected = Expected(messages, code);
    if (got != expected)
      FuzzFail("qdf_source_fuzz", std::string(how) + ": code " + std::to_string(code) + " got \"" + got +
                                      "\", expected \"" + expected + "\"");
  }
  FreeErrorMessages();
  if (OsLiveAllocations() != allocations)
    FuzzFail("qdf_source_fuzz", "allocations left: " + std::to_string(OsLiveAllocations() - allocations));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const char* text = reinterpret_cast<const char*>(data);
  {
    ParsedSource source;
    Diagnostics diagnostics;
    if (ParsePoSource(text, size, "fuzz.po", PoOptions(), &source, &diagnostics)) RoundTrip(source, ".po");
    for (const Diagnostic& d : diagnostics.items) FormatDiagnostic(d);
  }
  {
    PoOptions fuzzy;
    fuzzy.useFuzzy = true;
    ParsedSource source;
    Diagnostics diagnostics;
    ParsePoSource(text, size, "fuzz.po", fuzzy, &source, &diagnostics);
  }
  {
    ParsedSource source;
    Diagnostics diagnostics;
    if (ParseKvSource(text, size, "fuzz.txt", &source, &diagnostics)) RoundTrip(source, "key = text");
    for (const Diagnostic& d : diagnostics.items) FormatDiagnostic(d);
  }
  return 0;
}
