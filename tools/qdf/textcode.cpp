#include "tools/qdf/textcode.h"

#include <stdio.h>

#include "platform/codepage.h"
#include "tools/qdf/escape.h"

namespace {

bool IsUtf8Name(const std::string& charset) {
  std::string upper;
  for (char c : charset) upper += (char)(c >= 'a' && c <= 'z' ? c - 32 : c);
  return upper == "UTF-8" || upper == "UTF8";
}

// UTF-8 to the code page and back to the same UTF-8.
bool EncodeRoundTrip(uint32_t codepage, const std::string& utf8, std::string* out) {
  std::string encoded, back;
  if (Utf8ToCodepage(codepage, utf8, &encoded) != CODEPAGE_OK) return false;
  if (CodepageToUtf8(codepage, encoded, &back) != CODEPAGE_OK || back != utf8) return false;
  out->swap(encoded);
  return true;
}

// Converts one run of literal bytes starting at byte `start` of the text.
bool ConvertRun(const std::string& run, size_t start, const std::string& charset, uint32_t codepage,
                std::string* out, ConversionFailure* failure) {
  std::string utf8;
  bool fromUtf8 = IsUtf8Name(charset);
  if (fromUtf8) {
    size_t bad = 0;
    if (!IsValidUtf8(run, &bad)) {
      failure->index = start + bad;
      failure->reason = "the text is not valid UTF-8";
      return false;
    }
    utf8 = run;
  } else {
    CodepageStatus status = CharsetToUtf8(charset.c_str(), run, &utf8);
    if (status != CODEPAGE_OK) {
      failure->index = start;
      failure->reason = status == CODEPAGE_UNKNOWN ? "unknown charset \"" + charset + "\""
                                                   : "the text is not valid " + charset;
      return false;
    }
  }
  std::string encoded;
  if (EncodeRoundTrip(codepage, utf8, &encoded)) {
    *out += encoded;
    return true;
  }
  // Find the first character that the code page cannot hold.
  for (size_t at = 0; at < utf8.size();) {
    uint32_t cp = 0;
    size_t n = Utf8SequenceAt(utf8, at, &cp);
    if (!n) break;
    std::string one = utf8.substr(at, n), ignored;
    if (!EncodeRoundTrip(codepage, one, &ignored)) {
      char what[96];
      snprintf(what, sizeof what, "U+%04X \"%s\" has no place in code page %u", (unsigned)cp, one.c_str(),
               (unsigned)codepage);
      failure->index = start + (fromUtf8 ? at : 0);
      failure->reason = what;
      return false;
    }
    at += n;
  }
  failure->index = start;
  failure->reason = "the text cannot be converted to code page " + std::to_string(codepage);
  return false;
}

}  // namespace

bool KnownCodepage(uint32_t codepage, std::string* why) {
  if (CodepageAvailable(codepage)) return true;
  *why = "code page " + std::to_string(codepage) + " is not known on this host";
  return false;
}

bool UsableCodepage(uint32_t codepage, std::string* why) {
  if (!KnownCodepage(codepage, why)) return false;
  std::string ascii, encoded;
  for (int c = 1; c < 0x80; ++c) ascii += (char)c;
  if (Utf8ToCodepage(codepage, ascii, &encoded) != CODEPAGE_OK || encoded != ascii) {
    *why = "code page " + std::to_string(codepage) + " does not keep ASCII as it is";
    return false;
  }
  return true;
}

bool ConvertSourceText(const SourceText& text, const std::string& charset, uint32_t codepage,
                       std::string* out, ConversionFailure* failure) {
  std::string result;
  const std::string& b = text.bytes;
  for (size_t at = 0; at < b.size();) {
    size_t end = at;
    const bool raw = text.IsRaw(at);
    while (end < b.size() && text.IsRaw(end) == raw) ++end;
    if (raw) {
      result.append(b, at, end - at);
    } else if (!ConvertRun(b.substr(at, end - at), at, charset, codepage, &result, failure)) {
      return false;
    }
    at = end;
  }
  out->swap(result);
  return true;
}

bool DecodeExactly(uint32_t codepage, const std::string& bytes, std::string* utf8) {
  std::string decoded, back;
  if (CodepageToUtf8(codepage, bytes, &decoded) != CODEPAGE_OK) return false;
  if (Utf8ToCodepage(codepage, decoded, &back) != CODEPAGE_OK || back != bytes) return false;
  for (size_t i = 0; i + 1 < decoded.size(); ++i)
    if ((unsigned char)decoded[i] == 0xC2 && (unsigned char)decoded[i + 1] >= 0x80 &&
        (unsigned char)decoded[i + 1] <= 0x9F)
      return false;
  utf8->swap(decoded);
  return true;
}
