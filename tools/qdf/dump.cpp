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

// The template's msgid for a record's key: the same bytes, or failing that
// the key that fills the same table entry (the library ignores case).
const std::string* TemplateId(const std::vector<std::pair<std::string, std::string>>& ids, const std::string& key) {
  for (const auto& p : ids)
    if (p.first == key) return &p.second;
  int entry = TableEntryForKey(key);
  if (entry < 0) return nullptr;
  for (const auto& p : ids)
    if (TableEntryForKey(p.first) == entry) return &p.second;
  return nullptr;
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
      std::string id = body;
      if (o.templateIds) {
        const std::string* found = TemplateId(*o.templateIds, rec.key);
        if (found)
          id = EscapeC(*found, ESCAPE_UTF8_OCTAL);
        else
          out += "# record at " + at + " (" + EscapeC(rec.key, ESCAPE_BYTES) + "): not in the template, its text stands as msgid\n";
      }
      out += "\nmsgctxt \"" + key + "\"\nmsgid \"" + id + "\"\nmsgstr \"" + body + "\"\n";
    } else {
      out += (IsBareKey(rec.key) ? rec.key : "\"" + key + "\"") + " = \"" + body + "\"\n";
    }
  }
  return out;
}

namespace {

// The value of a "Name: value" line of a .po header, or `otherwise`.
std::string HeaderField(const std::string& header, const std::string& name, const std::string& otherwise) {
  for (size_t at = 0; at < header.size();) {
    size_t end = header.find('\n', at);
    if (end == std::string::npos) end = header.size();
    if (header.compare(at, name.size() + 2, name + ": ") == 0) return header.substr(at + name.size() + 2, end - at - name.size() - 2);
    at = end + 1;
  }
  return otherwise;
}

}  // namespace

bool TemplateSource(const ParsedSource& source, const std::string& base, std::string* out, std::string* why) {
  std::string t =
      "# Template of the printer driver's error messages.\n"
      "#\n"
      "# Each entry's msgctxt is the key the library looks up (ERMSG_00 to ERMSG_15\n"
      "# for error codes 0 to 15, ERMSG_XX for every other code) and its msgid the\n"
      "# English text. A translation keeps msgctxt and msgid and puts its text in\n"
      "# msgstr, under 290 bytes in the language's ANSI code page, which the header\n"
      "# names as X-Codepage. Made by qdf template from " + base + ".\n"
      "#\n"
      "#, fuzzy\n"
      "msgid \"\"\n"
      "msgstr \"\"\n"
      "\"Project-Id-Version: " + EscapeC(HeaderField(source.header, "Project-Id-Version", "PACKAGE VERSION"), ESCAPE_UTF8) + "\\n\"\n"
      "\"Report-Msgid-Bugs-To: \\n\"\n"
      "\"POT-Creation-Date: " + EscapeC(HeaderField(source.header, "POT-Creation-Date", "YEAR-MO-DA HO:MI+ZONE"), ESCAPE_UTF8) + "\\n\"\n"
      "\"PO-Revision-Date: YEAR-MO-DA HO:MI+ZONE\\n\"\n"
      "\"Last-Translator: FULL NAME <EMAIL@ADDRESS>\\n\"\n"
      "\"Language-Team: LANGUAGE <LL@li.org>\\n\"\n"
      "\"Language: \\n\"\n"
      "\"MIME-Version: 1.0\\n\"\n"
      "\"Content-Type: text/plain; charset=UTF-8\\n\"\n"
      "\"Content-Transfer-Encoding: 8bit\\n\"\n";
  for (const SourceMessage& m : source.messages) {
    std::string key, text;
    ConversionFailure failure;
    // The template is UTF-8 whatever the source's charset was.
    if (!ConvertSourceText(m.key, source.charset, 65001, &key, &failure) ||
        !ConvertSourceText(m.text, source.charset, 65001, &text, &failure)) {
      *why = "entry at line " + std::to_string(m.line) + ": " + failure.reason;
      return false;
    }
    t += "\nmsgctxt \"" + EscapeC(key, ESCAPE_UTF8) + "\"\nmsgid \"" + EscapeC(text, ESCAPE_UTF8) + "\"\nmsgstr \"\"\n";
  }
  *out = t;
  return true;
}
