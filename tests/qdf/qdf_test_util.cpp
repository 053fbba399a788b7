#include "tests/qdf/qdf_test_util.h"

#include "tools/qdf/escape.h"
#include "tools/qdf/source.h"

std::string FindingIds(const Diagnostics& d) {
  std::string ids;
  for (const Diagnostic& item : d.items) ids += (ids.empty() ? "" : " ") + item.id;
  return ids;
}

std::string Describe(const Diagnostics& d) {
  std::string out;
  for (const Diagnostic& item : d.items) out += FormatDiagnostic(item) + "\n";
  return out;
}

bool ParseOne(const std::string& name, const std::string& text, ParsedSource* out, Diagnostics* d,
              bool useFuzzy) {
  if (SourceKindOf(name) == SOURCE_PO) {
    PoOptions options;
    options.useFuzzy = useFuzzy;
    return ParsePoSource(text.data(), text.size(), name, options, out, d);
  }
  return ParseKvSource(text.data(), text.size(), name, out, d);
}

std::vector<uint8_t> BuildBytes(const std::string& name, const std::string& text, uint32_t codepage,
                                Diagnostics* d) {
  ParsedSource source;
  if (!ParseOne(name, text, &source, d)) return {};
  CompileOptions options;
  options.codepage = codepage;
  std::vector<Message> messages;
  if (!CompileMessages({source}, options, &messages, d)) return {};
  return LayOutMessageFile(messages);
}

std::string TableOf(const CheckReport& r) {
  std::string out;
  for (const TableEntryInfo& e : r.table)
    if (e.loaded) out += e.key + "=" + EscapeC(e.text, ESCAPE_BYTES) + "|";
  return out;
}

CheckReport Check(const QdfImage& image) {
  return CheckDataBytes(image.bytes.data(), image.bytes.size(), "fixture.qdf");
}

std::vector<QdfMessage> AsBuilderMessages(const std::vector<Message>& messages) {
  std::vector<QdfMessage> out;
  for (const Message& m : messages) out.push_back({m.key, m.text});
  return out;
}
