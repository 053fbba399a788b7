// Escaping of message bytes for sources, reports and JSON.
#ifndef TRAMOLE_TOOLS_QDF_ESCAPE_H
#define TRAMOLE_TOOLS_QDF_ESCAPE_H

#include <stddef.h>
#include <stdint.h>

#include <string>

enum EscapeStyle {
  ESCAPE_BYTES,       // printable ASCII as it is, every other byte as \xNN
  ESCAPE_UTF8,        // like ESCAPE_BYTES, but bytes 0x80 and up pass (decoded text)
  ESCAPE_BYTES_OCTAL, // like ESCAPE_BYTES with \ooo, which gettext reads the same way
  ESCAPE_UTF8_OCTAL,
};

// The body of a C string literal for `bytes` (no surrounding quotes).
std::string EscapeC(const std::string& bytes, EscapeStyle style);

// A JSON string literal, quotes included. Bytes that are not valid UTF-8
// become U+FFFD.
std::string JsonString(const std::string& text);

std::string HexBytes(const std::string& bytes);

// Length of the valid UTF-8 sequence at byte `at` of `s`, or 0; its code
// point goes to *codePoint when one is given.
size_t Utf8SequenceAt(const std::string& s, size_t at, uint32_t* codePoint = nullptr);

// Whether the bytes are valid UTF-8 (no overlongs, no surrogates).
bool IsValidUtf8(const std::string& bytes, size_t* badOffset = nullptr);

#endif
