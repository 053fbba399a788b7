// Code-page conversion of message texts on top of platform/codepage.h.
#ifndef TRAMOLE_TOOLS_QDF_TEXTCODE_H
#define TRAMOLE_TOOLS_QDF_TEXTCODE_H

#include <stddef.h>
#include <stdint.h>

#include <string>

#include "tools/qdf/source.h"

struct ConversionFailure {
  size_t index = 0;  // byte of the SourceText where the trouble starts
  std::string reason;
};

// Whether texts can be converted to `codepage`: this host knows it and it
// keeps ASCII as ASCII (the keys and the escapes rely on that).
bool UsableCodepage(uint32_t codepage, std::string* why);

// Whether this host converts from and to `codepage` at all.
bool KnownCodepage(uint32_t codepage, std::string* why);

// The literal bytes of `text`, read in `charset`, converted to `codepage`;
// raw bytes (numeric escapes) are copied as they are. A character that does
// not survive the way there and back (no best fit) is a failure.
bool ConvertSourceText(const SourceText& text, const std::string& charset, uint32_t codepage,
                       std::string* out, ConversionFailure* failure);

// The code-page bytes as UTF-8, but only when converting back gives the
// same bytes and no C1 control character appears; otherwise false.
bool DecodeExactly(uint32_t codepage, const std::string& bytes, std::string* utf8);

#endif
