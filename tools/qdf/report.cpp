// The reports of a check: the text for people and the JSON for machines.
#include <stdio.h>

#include "messages/messages.h"
#include "tools/qdf/check.h"
#include "tools/qdf/escape.h"
#include "tools/qdf/textcode.h"

std::string DisplayText(const std::string& bytes, uint32_t codepage) {
  std::string decoded;
  if (codepage && DecodeExactly(codepage, bytes, &decoded)) return EscapeC(decoded, ESCAPE_UTF8);
  return EscapeC(bytes, ESCAPE_BYTES);
}

namespace {

const char* StringStateName(StringState s) {
  switch (s) {
    case STRING_OK: return "ok";
    case STRING_AT_END: return "ends-at-end-of-file";
    case STRING_OUTSIDE_FILE: return "outside-file";
    case STRING_TOO_LONG: return "too-long";
    default: return "read-failed";
  }
}

const char* FateName(RecordFate f) {
  switch (f) {
    case FATE_FILLS: return "fills";
    case FATE_DUPLICATE: return "duplicate";
    default: return "fills-nothing";
  }
}

std::string Status(const CheckReport& r) {
  int code = r.ExitCode();
  return code == 2 ? "errors" : code == 1 ? "warnings" : "clean";
}

}  // namespace

std::string FormatCheckText(const CheckReport& r, const ReportOptions& o) {
  std::string out;
  char line[512];
  if (r.opened) {
    out += r.file + ": " + std::to_string(r.size) + " bytes, directory limit " + std::to_string(r.directoryLimit) +
           "\n";
    for (const SectionEntryInfo& s : r.sections)
      out += "  section entry at " + std::to_string(s.offset) + ": \"" + EscapeC(s.name, ESCAPE_BYTES) + "\"" +
             (s.beyondLimit ? " (beyond the directory limit)"
              : s.afterSection ? " (behind the message section, not read)"
              : (int64_t)s.offset == r.section ? " <- the message section" : "") + "\n";
    if (r.section >= 0) {
      snprintf(line, sizeof line, "  records: count %u, first at %u, %zu read%s\n", (unsigned)r.count,
               (unsigned)r.firstRecord, r.records.size(),
               r.unreadRecords ? (", " + std::to_string(r.unreadRecords) + " more never read").c_str() : "");
      out += line;
      for (const RecordInfo& rec : r.records) {
        out += "    record at " + std::to_string(rec.offset) + ": key \"" + EscapeC(rec.key, ESCAPE_BYTES) +
               "\" at " + std::to_string(rec.keyOffset) + ", text at " + std::to_string(rec.textOffset) + " (" +
               std::to_string(rec.text.size()) + " bytes): " + FateName(rec.fate) +
               (rec.entry >= 0 ? std::string(" ") + ErrMsgTable[rec.entry].key : std::string()) +
               (rec.pastChainEnd ? " (past the chain's end)" : "") + "\n";
      }
    }
    out += "loaded table:\n";
    for (const TableEntryInfo& e : r.table) {
      if (e.loaded)
        out += "  " + e.key + "  \"" + DisplayText(e.text, o.codepage) + "\"" +
               (e.record >= 0 ? "  (record at " + std::to_string(e.record) + ")" : "") + "\n";
      else
        out += "  " + e.key + "  (no text)\n";
    }
  }
  if (!r.findings.items.empty()) out += "findings:\n";
  for (const Diagnostic& d : r.findings.items) out += "  " + FormatDiagnostic(d) + "\n";
  snprintf(line, sizeof line, "result: %d error(s), %d warning(s), %d note(s): %s (exit %d)\n",
           r.findings.Count(SEVERITY_ERROR), r.findings.Count(SEVERITY_WARNING),
           r.findings.Count(SEVERITY_NOTE), Status(r).c_str(), r.ExitCode());
  out += line;
  return out;
}

namespace {

const char* Bool(bool b) { return b ? "true" : "false"; }

// Items of a JSON array, one a line under the field, or [] when none.
std::string JsonList(const std::vector<std::string>& items) {
  if (items.empty()) return "[]";
  std::string list = "[";
  for (size_t i = 0; i < items.size(); ++i) list += std::string(i ? ",\n    " : "\n    ") + items[i];
  return list + "\n  ]";
}

std::string SectionsJson(const CheckReport& r) {
  std::string sections = "[";
  for (size_t i = 0; i < r.sections.size(); ++i) {
    const SectionEntryInfo& s = r.sections[i];
    sections += std::string(i ? ", " : "") + "{\"offset\": " + std::to_string(s.offset) +
                ", \"name\": " + JsonString(EscapeC(s.name, ESCAPE_BYTES)) +
                ", \"first_record\": " + std::to_string(s.firstRecord) + ", \"next\": " + std::to_string(s.next) +
                ", \"message_section\": " + Bool((int64_t)s.offset == r.section) +
                ", \"beyond_limit\": " + Bool(s.beyondLimit) + ", \"after_section\": " + Bool(s.afterSection) + "}";
  }
  return sections + "]";
}

std::string SectionJson(const CheckReport& r) {
  if (r.section < 0) return "null";
  return "{\"offset\": " + std::to_string(r.section) + ", \"first_record\": " + std::to_string(r.firstRecord) +
         ", \"count\": " + std::to_string(r.count) + ", \"records_read\": " + std::to_string(r.records.size()) +
         ", \"records_unread\": " + std::to_string(r.unreadRecords) + "}";
}

std::string RecordJson(const RecordInfo& rec) {
  return "{\"offset\": " + std::to_string(rec.offset) + ", \"bytes\": " + std::to_string(rec.bytes) +
         ", \"key_offset\": " + std::to_string(rec.keyOffset) +
         ", \"key\": " + JsonString(EscapeC(rec.key, ESCAPE_BYTES)) + ", \"key_hex\": " + JsonString(HexBytes(rec.key)) +
         ", \"key_state\": " + JsonString(StringStateName(rec.keyState)) +
         ", \"text_offset\": " + std::to_string(rec.textOffset) +
         ", \"text_state\": " + JsonString(StringStateName(rec.textState)) +
         ", \"text_length\": " + std::to_string(rec.text.size()) + ", \"next\": " + std::to_string(rec.next) +
         ", \"fate\": " + JsonString(FateName(rec.fate)) + ", \"entry\": " +
         (rec.entry >= 0 ? JsonString(ErrMsgTable[rec.entry].key) : std::string("null")) +
         ", \"past_chain_end\": " + Bool(rec.pastChainEnd) + "}";
}

std::string TableEntryJson(const TableEntryInfo& e, const ReportOptions& o) {
  std::string entry = "{\"key\": " + JsonString(e.key) + ", \"loaded\": " + Bool(e.loaded);
  if (e.loaded)
    entry += ", \"text\": " + JsonString(DisplayText(e.text, o.codepage)) + ", \"text_hex\": " +
             JsonString(HexBytes(e.text)) + ", \"length\": " + std::to_string(e.text.size()) +
             ", \"record\": " + (e.record >= 0 ? std::to_string(e.record) : std::string("null"));
  return entry + "}";
}

std::string FindingJson(const Diagnostic& d) {
  return "{\"severity\": " + JsonString(SeverityName(d.severity)) + ", \"id\": " + JsonString(d.id) +
         ", \"offset\": " + (d.offset >= 0 ? std::to_string(d.offset) : std::string("null")) +
         ", \"message\": " + JsonString(d.message) + "}";
}

}  // namespace

std::string FormatCheckJson(const CheckReport& r, const ReportOptions& o) {
  std::string j = "{\n";
  auto Field = [&](const std::string& name, const std::string& value, bool last = false) {
    j += "  " + JsonString(name) + ": " + value + (last ? "\n" : ",\n");
  };
  std::vector<std::string> records, table, findings;
  for (const RecordInfo& rec : r.records) records.push_back(RecordJson(rec));
  for (const TableEntryInfo& e : r.table) table.push_back(TableEntryJson(e, o));
  for (const Diagnostic& d : r.findings.items) findings.push_back(FindingJson(d));
  Field("file", JsonString(r.file));
  Field("opened", Bool(r.opened));
  Field("size", std::to_string(r.size));
  Field("directory_limit", std::to_string(r.directoryLimit));
  Field("status", JsonString(Status(r)));
  Field("exit_code", std::to_string(r.ExitCode()));
  Field("sections", SectionsJson(r));
  Field("section", SectionJson(r));
  Field("records", JsonList(records));
  Field("table", JsonList(table));
  Field("findings", JsonList(findings), true);
  return j + "}\n";
}

