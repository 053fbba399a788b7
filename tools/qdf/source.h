// Readers of the two message source formats: gettext .po files and plain
// "KEY = text" files. Both work on a byte buffer and keep no state between
// calls, so that tests and fuzz targets can call them without the CLI.
#ifndef TRAMOLE_TOOLS_QDF_SOURCE_H
#define TRAMOLE_TOOLS_QDF_SOURCE_H

#include <stddef.h>
#include <stdint.h>

#include <string>
#include <utility>
#include <vector>

#include "tools/qdf/diagnostics.h"

// A string as the source spells it, byte for byte. Bytes that came from a
// numeric escape (\x41, \101) are raw: they go into the data file as they
// are, never through code-page conversion. Every byte knows its source line.
// Raw bytes are rare and a string spans few lines, so both are kept as
// lists of where they change rather than a mark per byte.
struct SourceText {
  std::string bytes;
  std::vector<uint32_t> rawAt;  // indices of the raw bytes, ascending
  std::vector<std::pair<uint32_t, uint32_t>> lineFrom;  // (first index, line), ascending

  void Append(char c, bool isRaw, uint32_t line);
  bool IsRaw(size_t index) const;
  uint32_t LineAt(size_t index) const;  // 0 past the end
};

struct SourceMessage {
  SourceText key;
  SourceText text;
  uint32_t line = 0;  // where the entry starts
};

struct ParsedSource {
  std::string name;                // file name used in diagnostics
  std::string charset = "UTF-8";   // of the literal bytes
  std::string codepage;            // the .po header's X-Codepage value, as written ("" when none)
  std::string header;              // the .po header entry's msgstr ("" when none)
  std::vector<SourceMessage> messages;
};

struct PoOptions {
  bool useFuzzy = false;  // take entries flagged "fuzzy" too
};

// gettext .po: msgctxt is the key, msgstr the text, the charset comes from
// the header entry. Returns false when an error was reported.
bool ParsePoSource(const char* data, size_t size, const std::string& name, const PoOptions& options,
                   ParsedSource* out, Diagnostics* diagnostics);

// Plain source: "KEY = text" lines, '#' comment lines, C escapes. Its
// literal bytes are UTF-8. Returns false when an error was reported.
bool ParseKvSource(const char* data, size_t size, const std::string& name, ParsedSource* out,
                   Diagnostics* diagnostics);

enum SourceKind { SOURCE_PO, SOURCE_KV };

// .po and .pot files are gettext sources; everything else is plain.
SourceKind SourceKindOf(const std::string& path);

#endif
