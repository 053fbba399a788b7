#include "tools/qdf/dump.h"

#include "tools/qdf/compile.h"
#include "tools/qdf/escape.h"
#include "tools/qdf/textcode.h"

namespace {

bool IsBareKey(const std::string& key) {
  if (key.empty()) return false;
  for (unsigned char c : key)
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_' || c == '-' ||
          c == '.'))
      return false;
  return true;
}

// The body of a string literal for `bytes`: decoded when the code page
// gives exactly these bytes back, escaped byte by byte otherwise.
std::string Literal(const std::string& bytes, uint32_t codepage, bool octal) {
  std::string decoded;
  if (codepage && DecodeExactly(codepage, bytes, &decoded))
    return EscapeC(decoded, octal ? ESCAPE_UTF8_OCTAL : ESCAPE_UTF8);
  return EscapeC(bytes, octal ? ESCAPE_BYTES_OCTAL : ESCAPE_BYTES);
}

const char* RefusedWhy(StringState state) {
  switch (state) {
    case STRING_TOO_LONG: return "has no zero byte within 290 bytes";
    case STRING_READ_FAILED: return "cannot be read";
    default: return "";
  }
}

}  // namespace

std::string DumpSource(const CheckReport& r, const DumpOptions& o, bool* lossy) {
  *lossy = false;
  std::string out = "# Messages of " + r.file + ", as the library reads them.\n";
  if (o.codepage)
    out += "# Texts decoded from code page " + std::to_string(o.codepage) + ": build with --codepage " +
           std::to_string(o.codepage) + ".\n";
  if (r.section < 0) {
    out += "# The file has no message section: nothing loads.\n";
    *lossy = !r.opened;
  }
  if (o.po)
    out += "\nmsgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n";
  for (const RecordInfo& rec : r.records) {
    std::string at = std::to_string(rec.offset);
    if (!KeyCanMatch(rec.key)) {
      // Such a record fills nothing, and a source cannot hold its key.
      if (!rec.key.empty() || rec.keyState == STRING_TOO_LONG) {
        out += "# record at " + at + " left out: its key fills nothing and is too long for a source\n";
        *lossy = true;
      }
      continue;
    }
    std::string text = rec.text;
    bool refused = rec.textState == STRING_TOO_LONG || rec.textState == STRING_READ_FAILED;
    if (refused) {
      out += std::string("# record at ") + at + ": its text " + RefusedWhy(rec.textState) +
             "; the library loads an empty text in its place\n";
      *lossy = true;
    }
    std::string key = Literal(rec.key, o.codepage, o.po);
    std::string body = Literal(text, o.codepage, o.po);
    if (o.po) {
      if (text.empty()) {
        out += "# record at " + at + " (" + EscapeC(rec.key, ESCAPE_BYTES) +
               "): its empty text cannot be written in a .po file, where an empty msgstr means untranslated\n";
        *lossy = true;
        continue;
      }
      out += "\nmsgctxt \"" + key + "\"\nmsgid \"" + body + "\"\nmsgstr \"" + body + "\"\n";
    } else {
      out += (IsBareKey(rec.key) ? rec.key : "\"" + key + "\"") + " = \"" + body + "\"\n";
    }
  }
  return out;
}
