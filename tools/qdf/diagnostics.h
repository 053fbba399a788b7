// Findings of the qdf tool: what it reports about a source or a data file.
#ifndef TRAMOLE_TOOLS_QDF_DIAGNOSTICS_H
#define TRAMOLE_TOOLS_QDF_DIAGNOSTICS_H

#include <stdint.h>

#include <string>
#include <vector>

enum Severity { SEVERITY_NOTE, SEVERITY_WARNING, SEVERITY_ERROR };

struct Diagnostic {
  Severity severity = SEVERITY_NOTE;
  std::string id;       // stable short name, such as "text-too-long"
  std::string file;     // the source or data file it is about
  uint32_t line = 0;    // source line (1-based), 0 when none
  int64_t offset = -1;  // byte offset in a data file, -1 when none
  std::string message;
};

struct Diagnostics {
  std::vector<Diagnostic> items;
  // When set, each finding goes here as it is made and only its severity is
  // kept, so that a source of a million warnings costs no memory for them.
  void (*sink)(const Diagnostic& d, void* context) = nullptr;
  void* sinkContext = nullptr;

  void AddAtLine(Severity severity, const char* id, const std::string& file, uint32_t line,
                 const std::string& message);
  void AddAtOffset(Severity severity, const char* id, const std::string& file, int64_t offset,
                   const std::string& message);
  int Count(Severity severity) const;
  bool HasId(const std::string& id) const;
  // 0 clean (notes allowed), 1 warnings, 2 errors.
  int ExitCode() const;

 private:
  int passed[3] = {0, 0, 0};  // findings handed to the sink, by severity
  void Add(Severity severity, const char* id, const std::string& file, uint32_t line, int64_t offset,
           const std::string& message);
};

const char* SeverityName(Severity severity);

// "file:line: error: message [id]" or "file: offset 353 (0x161): ...".
std::string FormatDiagnostic(const Diagnostic& d);

#endif
