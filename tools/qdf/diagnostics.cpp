#include "tools/qdf/diagnostics.h"

#include <stdio.h>

void Diagnostics::Add(Severity severity, const char* id, const std::string& file, uint32_t line, int64_t offset,
                      const std::string& message) {
  Diagnostic d;
  d.severity = severity;
  d.id = id;
  d.file = file;
  d.line = line;
  d.offset = offset;
  d.message = message;
  if (sink) {
    ++passed[severity];
    sink(d, sinkContext);
    return;
  }
  items.push_back(d);
}

void Diagnostics::AddAtLine(Severity severity, const char* id, const std::string& file, uint32_t line,
                            const std::string& message) {
  Add(severity, id, file, line, -1, message);
}

void Diagnostics::AddAtOffset(Severity severity, const char* id, const std::string& file,
                              int64_t offset, const std::string& message) {
  Add(severity, id, file, 0, offset, message);
}

int Diagnostics::Count(Severity severity) const {
  int n = passed[severity];
  for (const Diagnostic& d : items) n += d.severity == severity;
  return n;
}

bool Diagnostics::HasId(const std::string& id) const {
  for (const Diagnostic& d : items)
    if (d.id == id) return true;
  return false;
}

int Diagnostics::ExitCode() const {
  if (Count(SEVERITY_ERROR)) return 2;
  if (Count(SEVERITY_WARNING)) return 1;
  return 0;
}

const char* SeverityName(Severity severity) {
  switch (severity) {
    case SEVERITY_ERROR: return "error";
    case SEVERITY_WARNING: return "warning";
    default: return "note";
  }
}

std::string FormatDiagnostic(const Diagnostic& d) {
  std::string out = d.file;
  char where[64];
  if (d.line) {
    snprintf(where, sizeof where, ":%u", (unsigned)d.line);
    out += where;
  } else if (d.offset >= 0) {
    snprintf(where, sizeof where, ": offset %lld (0x%llx)", (long long)d.offset, (long long)d.offset);
    out += where;
  }
  out += ": ";
  out += SeverityName(d.severity);
  out += ": ";
  out += d.message;
  out += " [" + d.id + "]";
  return out;
}
