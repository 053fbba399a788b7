#include "tools/qdf/source.h"

#include <string.h>

#include <algorithm>

#include "tools/qdf/escape.h"

void SourceText::Append(char c, bool isRaw, uint32_t line) {
  uint32_t index = (uint32_t)bytes.size();
  bytes += c;
  if (isRaw) rawAt.push_back(index);
  if (lineFrom.empty() || lineFrom.back().second != line) lineFrom.push_back({index, line});
}

bool SourceText::IsRaw(size_t index) const {
  return std::binary_search(rawAt.begin(), rawAt.end(), (uint32_t)index);
}

uint32_t SourceText::LineAt(size_t index) const {
  if (index >= bytes.size() || lineFrom.empty()) return 0;
  auto after = std::upper_bound(lineFrom.begin(), lineFrom.end(), std::make_pair((uint32_t)index, UINT32_MAX));
  return (after - 1)->second;
}

SourceKind SourceKindOf(const std::string& path) {
  size_t dot = path.find_last_of('.');
  size_t slash = path.find_last_of("/\\");
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return SOURCE_KV;
  std::string ext = path.substr(dot + 1);
  for (char& c : ext) c = (char)(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return ext == "po" || ext == "pot" ? SOURCE_PO : SOURCE_KV;
}

namespace {

// One line of a source, without its end-of-line characters.
struct Line {
  const char* begin;
  const char* end;
  uint32_t number;
};

std::vector<Line> SplitLines(const char* data, size_t size) {
  std::vector<Line> lines;
  const char* p = data;
  const char* end = data + size;
  // A UTF-8 byte-order mark is not part of the first line.
  if (size >= 3 && memcmp(p, "\xEF\xBB\xBF", 3) == 0) p += 3;
  uint32_t number = 1;
  while (p < end) {
    const char* eol = static_cast<const char*>(memchr(p, '\n', (size_t)(end - p)));
    const char* lineEnd = eol ? eol : end;
    const char* trimmed = lineEnd;
    if (trimmed > p && trimmed[-1] == '\r') --trimmed;
    lines.push_back({p, trimmed, number++});
    p = eol ? eol + 1 : end;
  }
  return lines;
}

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\f' || c == '\v' || c == '\r'; }

const char* SkipSpace(const char* p, const char* end) {
  while (p < end && IsSpace(*p)) ++p;
  return p;
}

int HexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads one escape behind a backslash at *p (p points past the backslash).
// Returns false with `error` set when it is not a valid escape.
bool ReadEscape(const char*& p, const char* end, uint32_t line, SourceText* out, std::string* error) {
  if (p >= end) {
    *error = "backslash at the end of the line";
    return false;
  }
  char c = *p++;
  switch (c) {
    case 'n': out->Append('\n', false, line); return true;
    case 't': out->Append('\t', false, line); return true;
    case 'r': out->Append('\r', false, line); return true;
    case 'a': out->Append('\a', false, line); return true;
    case 'b': out->Append('\b', false, line); return true;
    case 'f': out->Append('\f', false, line); return true;
    case 'v': out->Append('\v', false, line); return true;
    case '\\': case '"': case '\'': case '?': out->Append(c, false, line); return true;
    case 'x': {
      int value = 0, digits = 0;
      while (digits < 2 && p < end && HexValue(*p) >= 0) value = value * 16 + HexValue(*p++), ++digits;
      if (!digits) {
        *error = "\\x needs one or two hexadecimal digits";
        return false;
      }
      out->Append((char)value, true, line);
      return true;
    }
    default:
      if (c >= '0' && c <= '7') {
        int value = c - '0', digits = 1;
        while (digits < 3 && p < end && *p >= '0' && *p <= '7') value = value * 8 + (*p++ - '0'), ++digits;
        if (value > 255) {
          *error = "octal escape above \\377";
          return false;
        }
        out->Append((char)value, true, line);
        return true;
      }
      *error = std::string("unknown escape \\") + (c >= 0x20 && c < 0x7F ? std::string(1, c) : "?");
      return false;
  }
}

// Reads a double-quoted string starting at *p == '"'. On success p is past
// the closing quote.
bool ReadQuoted(const char*& p, const char* end, uint32_t line, SourceText* out, std::string* error) {
  ++p;
  while (p < end) {
    char c = *p++;
    if (c == '"') return true;
    if (c == '\\') {
      if (!ReadEscape(p, end, line, out, error)) return false;
      continue;
    }
    out->Append(c, false, line);
  }
  *error = "unterminated string: the closing quote is missing";
  return false;
}

// ---- plain "KEY = text" -----------------------------------------------------

bool IsBareKeyChar(char c) { return !IsSpace(c) && c != '=' && c != '"' && c != '\0'; }

}  // namespace

namespace {

// The text behind the '=': a quoted string, or bare to the end of the line
// (spaces around it do not count).
bool ReadKvText(const char* p, const Line& line, SourceText* text, std::string* error) {
  if (p < line.end && *p == '"') {
    if (!ReadQuoted(p, line.end, line.number, text, error)) return false;
    p = SkipSpace(p, line.end);
    if (p < line.end && *p != '#') {
      *error = "unexpected characters after the closing quote";
      return false;
    }
    return true;
  }
  const char* last = line.end;
  while (last > p && IsSpace(last[-1])) --last;
  while (p < last) {
    char c = *p++;
    if (c != '\\') text->Append(c, false, line.number);
    else if (!ReadEscape(p, last, line.number, text, error)) return false;
  }
  return true;
}

// One "KEY = text" line into `message`; false with `error` set when it is not one.
bool ReadKvLine(const char* p, const Line& line, SourceMessage* message, std::string* error) {
  message->line = line.number;
  if (*p == '"') {
    if (!ReadQuoted(p, line.end, line.number, &message->key, error)) return false;
  } else {
    while (p < line.end && IsBareKeyChar(*p)) message->key.Append(*p++, false, line.number);
  }
  p = SkipSpace(p, line.end);
  if (p == line.end || *p != '=') {
    *error = "expected KEY = text, or a '#' comment";
    return false;
  }
  return ReadKvText(SkipSpace(p + 1, line.end), line, &message->text, error);
}

}  // namespace

bool ParseKvSource(const char* data, size_t size, const std::string& name, ParsedSource* out,
                   Diagnostics* diagnostics) {
  out->name = name;
  out->charset = "UTF-8";
  out->codepage.clear();
  out->header.clear();
  out->messages.clear();
  bool ok = true;
  std::vector<Line> lines = SplitLines(data, size);
  out->messages.reserve(lines.size());  // at most one message a line; no regrowth of a large source
  for (const Line& line : lines) {
    const char* p = SkipSpace(line.begin, line.end);
    if (p == line.end || *p == '#') continue;
    SourceMessage message;
    std::string error;
    if (!ReadKvLine(p, line, &message, &error)) {
      diagnostics->AddAtLine(SEVERITY_ERROR, "syntax", name, line.number, error);
      ok = false;
      continue;
    }
    message.key.bytes.shrink_to_fit();  // grown a byte at a time: give the slack back
    message.text.bytes.shrink_to_fit();
    out->messages.push_back(std::move(message));
  }
  return ok;
}

// ---- gettext .po ------------------------------------------------------------

namespace {

enum PoField { PO_NONE, PO_CTXT, PO_ID, PO_ID_PLURAL, PO_STR };

struct PoEntry {
  bool started = false;
  bool hasCtxt = false, hasId = false, hasStr = false, plural = false, fuzzy = false;
  uint32_t line = 0, ctxtLine = 0, strLine = 0;
  SourceText ctxt, id, str;
};

struct PoParser {
  PoParser(const std::string& n, const PoOptions& o, ParsedSource* p, Diagnostics* d)
      : name(n), options(o), out(p), diagnostics(d) {}

  const std::string& name;
  const PoOptions& options;
  ParsedSource* out;
  Diagnostics* diagnostics;
  bool ok = true;
  bool headerSeen = false;
  bool pendingFuzzy = false;
  PoEntry entry;
  PoField field = PO_NONE;

  void Error(uint32_t line, const std::string& message) {
    diagnostics->AddAtLine(SEVERITY_ERROR, "syntax", name, line, message);
    ok = false;
  }

  void Finish() {
    PoEntry e = entry;
    entry = PoEntry();
    field = PO_NONE;
    if (!e.started) return;
    if (!e.hasStr) {
      Error(e.line, "entry has no msgstr");
      return;
    }
    if (!e.hasId) {
      Error(e.line, "entry has no msgid");
      return;
    }
    if (!e.hasCtxt && e.id.bytes.empty()) {
      if (!headerSeen) ReadHeader(e);
      headerSeen = true;
      return;
    }
    if (e.plural) {
      Error(e.line, "plural forms (msgid_plural, msgstr[n]) are not supported");
      return;
    }
    if (!e.hasCtxt) {
      diagnostics->AddAtLine(SEVERITY_WARNING, "no-msgctxt", name, e.line,
                             "entry has no msgctxt, so it has no key: left out");
      return;
    }
    if (e.fuzzy && !options.useFuzzy) {
      diagnostics->AddAtLine(SEVERITY_NOTE, "fuzzy", name, e.line,
                             "fuzzy entry \"" + EscapeC(e.ctxt.bytes, ESCAPE_BYTES) + "\" left out (--use-fuzzy takes it)");
      return;
    }
    SourceMessage message;
    message.key = e.ctxt;
    message.text = e.str;
    if (e.str.bytes.empty()) {
      // As gettext's runtime does: an untranslated entry shows its msgid.
      diagnostics->AddAtLine(SEVERITY_WARNING, "untranslated", name, e.strLine,
                             "entry \"" + EscapeC(e.ctxt.bytes, ESCAPE_BYTES) +
                                 "\" has an empty msgstr: its msgid stands in");
      message.text = e.id;
    }
    message.line = e.ctxtLine;
    message.key.bytes.shrink_to_fit();  // grown a byte at a time: give the slack back
    message.text.bytes.shrink_to_fit();
    out->messages.push_back(std::move(message));
  }

  // The charset named in the header's Content-Type line.
  void ReadHeader(const PoEntry& e) {
    const std::string& h = e.str.bytes;
    out->header = h;
    ReadCodepage(h);
    size_t at = h.find("charset=");
    if (at == std::string::npos) return;
    at += 8;
    size_t end = at;
    while (end < h.size() && h[end] != '\n' && h[end] != ';' && !IsSpace(h[end])) ++end;
    std::string charset = h.substr(at, end - at);
    // A template's placeholder means nothing was chosen yet: UTF-8.
    if (!charset.empty() && charset != "CHARSET") out->charset = charset;
  }

  // The target code page a translator named in the header, so that a
  // build needs no --codepage. Checked where it is used.
  void ReadCodepage(const std::string& h) {
    static const char kField[] = "X-Codepage:";
    for (size_t at = 0; at < h.size();) {
      size_t end = h.find('\n', at);
      if (end == std::string::npos) end = h.size();
      if (end - at >= sizeof kField - 1 && h.compare(at, sizeof kField - 1, kField) == 0) {
        size_t b = at + sizeof kField - 1;
        while (b < end && IsSpace(h[b])) ++b;
        size_t e = end;
        while (e > b && IsSpace(h[e - 1])) --e;
        out->codepage = h.substr(b, e - b);
        return;
      }
      at = end + 1;
    }
  }

  // Starts the field `f` of an entry; a new msgctxt or msgid behind a
  // finished msgstr begins the next entry.
  void Begin(PoField f, uint32_t line) {
    if ((f == PO_CTXT || f == PO_ID) && entry.hasStr) Finish();
    if (!entry.started) {
      entry.started = true;
      entry.line = line;
      entry.fuzzy = pendingFuzzy;
      pendingFuzzy = false;
    }
    field = f;
  }

  SourceText* Target() {
    switch (field) {
      case PO_CTXT: return &entry.ctxt;
      case PO_ID: return &entry.id;
      case PO_STR: return &entry.str;
      default: return nullptr;  // msgid_plural, msgstr[n]: read and dropped
    }
  }

  void Keyword(const Line& line, const char* p) {
    const char* word = p;
    while (p < line.end && !IsSpace(*p) && *p != '"') ++p;
    std::string keyword(word, p);
    uint32_t n = line.number;
    if (keyword == "msgctxt") {
      if (entry.hasCtxt && !entry.hasStr) return Error(n, "second msgctxt in one entry");
      if (entry.hasId && !entry.hasStr) return Error(n, "msgctxt must come before msgid");
      Begin(PO_CTXT, n);
      entry.hasCtxt = true;
      entry.ctxtLine = n;
    } else if (keyword == "msgid") {
      if (entry.hasId && !entry.hasStr) return Error(n, "msgid without msgstr before it");
      Begin(PO_ID, n);
      entry.hasId = true;
    } else if (keyword == "msgid_plural") {
      if (!entry.hasId || entry.hasStr) return Error(n, "msgid_plural without msgid");
      Begin(PO_ID_PLURAL, n);
      entry.plural = true;
    } else if (keyword == "msgstr") {
      if (!entry.hasId) return Error(n, "msgstr without msgid");
      if (entry.hasStr) return Error(n, "second msgstr in one entry");
      Begin(PO_STR, n);
      entry.hasStr = true;
      entry.strLine = n;
    } else if (keyword.compare(0, 7, "msgstr[") == 0) {
      if (!entry.hasId) return Error(n, "msgstr[n] without msgid");
      Begin(PO_ID_PLURAL, n);
      entry.plural = true;
      entry.hasStr = true;
      entry.strLine = n;
    } else {
      return Error(n, "expected msgctxt, msgid, msgstr, a quoted string or a comment");
    }
    p = SkipSpace(p, line.end);
    if (p == line.end || *p != '"') return Error(n, "expected a quoted string after " + keyword);
    String(line, p);
  }

  void String(const Line& line, const char* p) {
    SourceText scratch;
    SourceText* target = Target();
    std::string error;
    if (!ReadQuoted(p, line.end, line.number, target ? target : &scratch, &error))
      return Error(line.number, error);
    p = SkipSpace(p, line.end);
    if (p != line.end) Error(line.number, "unexpected characters after the closing quote");
  }

  void Comment(const Line& line, const char* p) {
    // "#~" marks obsolete entries, which are not part of the catalogue; a
    // flag before one belongs to it and goes with it.
    if (line.end - p >= 2 && p[1] == '~') pendingFuzzy = false;
    if (line.end - p >= 2 && p[1] == ',') {
      if (entry.hasStr) Finish();
      std::string flags(p + 2, line.end);
      size_t at = 0;
      while (at < flags.size()) {
        size_t comma = flags.find(',', at);
        std::string flag = flags.substr(at, comma == std::string::npos ? std::string::npos : comma - at);
        size_t b = flag.find_first_not_of(" \t"), e = flag.find_last_not_of(" \t");
        if (b != std::string::npos && flag.substr(b, e - b + 1) == "fuzzy") pendingFuzzy = true;
        if (comma == std::string::npos) break;
        at = comma + 1;
      }
    }
  }

  void Run(const char* data, size_t size) {
    std::vector<Line> lines = SplitLines(data, size);
    out->messages.reserve(lines.size() / 3 + 1);  // an entry takes three lines at least
    for (const Line& line : lines) {
      const char* p = SkipSpace(line.begin, line.end);
      if (p == line.end) continue;
      if (*p == '#') Comment(line, p);
      else if (*p == '"') {
        if (field == PO_NONE) Error(line.number, "string without msgctxt, msgid or msgstr before it");
        else String(line, p);
      } else Keyword(line, p);
    }
    Finish();
  }
};

}  // namespace

bool ParsePoSource(const char* data, size_t size, const std::string& name, const PoOptions& options,
                   ParsedSource* out, Diagnostics* diagnostics) {
  out->name = name;
  out->charset = "UTF-8";
  out->codepage.clear();
  out->header.clear();
  out->messages.clear();
  PoParser parser(name, options, out, diagnostics);
  parser.Run(data, size);
  return parser.ok;
}
