#include "tests/qdf/qdf_test_util.h"

#include <stdlib.h>
#include <sys/wait.h>

#include <fstream>
#include <sstream>

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

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

bool Exists(const std::string& path) { return std::ifstream(path).good(); }

std::string WriteText(const TempDir& dir, const std::string& name, const std::string& text) {
  return dir.Write(name, std::vector<uint8_t>(text.begin(), text.end()));
}

Outcome Qdf(const TempDir& dir, const std::string& arguments, const std::string& prefix) {
  std::string out = dir.path() + "/stdout", err = dir.path() + "/stderr";
  std::string command = prefix + " '" + QDF_PROGRAM + "' " + arguments + " >" + out + " 2>" + err;
  int status = system(command.c_str());
  Outcome r;
  r.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + (WIFSIGNALED(status) ? WTERMSIG(status) : 0);
  r.out = ReadFile(out);
  r.err = ReadFile(err);
  return r;
}
