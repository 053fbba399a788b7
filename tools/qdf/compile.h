// From parsed sources to the bytes of a message data file.
#ifndef TRAMOLE_TOOLS_QDF_COMPILE_H
#define TRAMOLE_TOOLS_QDF_COMPILE_H

#include <stdint.h>

#include <string>
#include <vector>

#include "tools/qdf/diagnostics.h"
#include "tools/qdf/source.h"

struct CompileOptions {
  uint32_t codepage = 0;  // ANSI code page of the host; 0 copies the bytes as they are
};

// A message as it goes into the file.
struct Message {
  std::string key;
  std::string text;
};

// Whether a key can fill an entry at all: not empty and under 128 characters.
bool KeyCanMatch(const std::string& key);

// Index of the table entry that `key` fills, or -1. It walks the table and
// compares each key whole, case aside. The library picks the entry faster,
// by the key's last two characters; this walk stays separate from that, so
// that build, check and the fuzz targets hold the library to it.
int TableEntryForKey(const std::string& key);

// Why a key that fills nothing may have been meant otherwise ("" when no idea).
std::string KeyHint(const std::string& key);

// Converts the sources' messages, in order, and checks them the way the
// library will read them. Returns false when an error was reported; `out`
// then holds what could be converted.
bool CompileMessages(const std::vector<ParsedSource>& sources, const CompileOptions& options,
                     std::vector<Message>* out, Diagnostics* diagnostics);

// The same, freeing each source message once it is converted (the sources
// keep their names and charsets, their messages are left empty).
bool CompileAndReleaseMessages(std::vector<ParsedSource>* sources, const CompileOptions& options,
                               std::vector<Message>* out, Diagnostics* diagnostics);

// The file layout: header (word 0 zero, directory limit 72), the section
// entry "NALBI_ErrMsg" at 8 with its count block, the 16-byte records in
// order at 72, then each record's key and text. Same messages, same bytes.
// Keys must hold no zero byte; lengths are the caller's concern.
std::vector<uint8_t> LayOutMessageFile(const std::vector<Message>& messages);

#endif
