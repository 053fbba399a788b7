#include "tools/qdf/escape.h"

#include <stdint.h>
#include <stdio.h>

std::string EscapeC(const std::string& bytes, EscapeStyle style) {
  bool octal = style == ESCAPE_BYTES_OCTAL || style == ESCAPE_UTF8_OCTAL;
  bool passHigh = style == ESCAPE_UTF8 || style == ESCAPE_UTF8_OCTAL;
  std::string out;
  for (unsigned char c : bytes) {
    switch (c) {
      case '\\': out += "\\\\"; continue;
      case '"': out += "\\\""; continue;
      case '\n': out += "\\n"; continue;
      case '\t': out += "\\t"; continue;
      case '\r': out += "\\r"; continue;
      default: break;
    }
    if ((c >= 0x20 && c < 0x7F) || (passHigh && c >= 0x80)) {
      out += (char)c;
      continue;
    }
    char escaped[8];
    snprintf(escaped, sizeof escaped, octal ? "\\%03o" : "\\x%02X", c);
    out += escaped;
  }
  return out;
}

size_t Utf8SequenceAt(const std::string& s, size_t at, uint32_t* codePoint) {
  unsigned char c = (unsigned char)s[at];
  if (c < 0x80) {
    if (codePoint) *codePoint = c;
    return 1;
  }
  size_t n;
  uint32_t cp;
  if (c >= 0xC2 && c <= 0xDF) n = 2, cp = c & 0x1F;
  else if (c >= 0xE0 && c <= 0xEF) n = 3, cp = c & 0x0F;
  else if (c >= 0xF0 && c <= 0xF4) n = 4, cp = c & 0x07;
  else return 0;
  if (s.size() - at < n) return 0;
  for (size_t i = 1; i < n; ++i) {
    unsigned char k = (unsigned char)s[at + i];
    if ((k & 0xC0) != 0x80) return 0;
    cp = cp << 6 | (k & 0x3F);
  }
  if ((n == 3 && cp < 0x800) || (n == 4 && (cp < 0x10000 || cp > 0x10FFFF)) ||
      (cp >= 0xD800 && cp <= 0xDFFF))
    return 0;
  if (codePoint) *codePoint = cp;
  return n;
}

bool IsValidUtf8(const std::string& bytes, size_t* badOffset) {
  for (size_t at = 0; at < bytes.size();) {
    size_t n = Utf8SequenceAt(bytes, at);
    if (!n) {
      if (badOffset) *badOffset = at;
      return false;
    }
    at += n;
  }
  return true;
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (size_t at = 0; at < text.size();) {
    unsigned char c = (unsigned char)text[at];
    size_t n = Utf8SequenceAt(text, at);
    if (n == 0) {
      out += "\xEF\xBF\xBD";
      ++at;
      continue;
    }
    if (n > 1) {
      out.append(text, at, n);
      at += n;
      continue;
    }
    ++at;
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\n': out += "\\n"; break;
      case '\t': out += "\\t"; break;
      case '\r': out += "\\r"; break;
      default:
        if (c < 0x20 || c == 0x7F) {
          char escaped[8];
          snprintf(escaped, sizeof escaped, "\\u%04x", c);
          out += escaped;
        } else {
          out += (char)c;
        }
    }
  }
  return out + "\"";
}

std::string HexBytes(const std::string& bytes) {
  static const char digits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += digits[c >> 4];
    out += digits[c & 15];
  }
  return out;
}
