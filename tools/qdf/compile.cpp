#include "tools/qdf/compile.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "datafile/format.h"
#include "messages/messages.h"
#include "tools/qdf/escape.h"
#include "tools/qdf/textcode.h"

bool KeyCanMatch(const std::string& key) { return !key.empty() && key.size() < ERRMSG_KEY_SIZE; }

int TableEntryForKey(const std::string& key) {
  if (!KeyCanMatch(key) || memchr(key.data(), 0, key.size())) return -1;
  for (int i = 0; ErrMsgTable[i].key[0] != '\0'; ++i) {
    size_t tableLength = strlen(ErrMsgTable[i].key);
    size_t count = (key.size() > tableLength ? key.size() : tableLength) + 1;
    if (OsStrnicmp(ErrMsgTable[i].key, key.c_str(), count) == 0) return i;
  }
  return -1;
}

std::string KeyHint(const std::string& key) {
  if (key.size() >= ERRMSG_KEY_SIZE) return "keys of 128 characters or more match nothing";
  std::string upper;
  for (char c : key) upper += (char)(c >= 'a' && c <= 'z' ? c - 32 : c);
  size_t b = upper.find_first_not_of(" \t"), e = upper.find_last_not_of(" \t");
  if (b != std::string::npos && (b > 0 || e + 1 < upper.size()) && TableEntryForKey(key.substr(b, e - b + 1)) >= 0)
    return "the key has spaces around it";
  if (upper.compare(0, 6, "ERMSG_") != 0 || upper.size() == 6) return "";
  std::string digits = upper.substr(6);
  if (digits.find_first_not_of("0123456789") != std::string::npos || digits.size() > 9) return "";
  unsigned long n = strtoul(digits.c_str(), 0, 10);
  char hint[64];
  if (n > 15) return "the numbered keys end at ERMSG_15";
  snprintf(hint, sizeof hint, "did you mean ERMSG_%02lu?", n);
  return hint;
}

namespace {

std::string Quoted(const std::string& bytes) { return "\"" + EscapeC(bytes, ESCAPE_BYTES) + "\""; }

bool HasNonAsciiLiteral(const SourceText& text) {
  for (size_t i = 0; i < text.bytes.size(); ++i)
    if ((unsigned char)text.bytes[i] >= 0x80 && !text.IsRaw(i)) return true;
  return false;
}

uint32_t LineOf(const SourceText& text, size_t index, uint32_t fallback) {
  return index < text.bytes.size() ? text.LineAt(index) : fallback;
}

}  // namespace

namespace {

// Which source line gave each table entry its text.
struct Owner {
  std::string file;
  uint32_t line = 0;
  size_t source = 0;  // index among the sources given
  bool set = false;
};

// The state of one compile: what each step reads and adds to.
struct Compile {
  Compile(const CompileOptions& o, Diagnostics* diagnostics) : options(o), d(diagnostics) {}

  const CompileOptions& options;
  Diagnostics* d;
  Owner owners[ERRMSG_ENTRIES];
  uint64_t total = QDF_HEADER_SIZE + QDF_ENTRY_SIZE + QDF_COUNT_BLOCK_SIZE;

  // Into the host's code page, or the bytes as they are (warned once a source).
  bool Convert(const ParsedSource& source, const SourceMessage& m, bool* warnedNotConverted, Message* message) {
    if (!options.codepage) {
      message->key = m.key.bytes;
      message->text = m.text.bytes;
      if (!*warnedNotConverted && (HasNonAsciiLiteral(m.text) || HasNonAsciiLiteral(m.key))) {
        *warnedNotConverted = true;
        d->AddAtLine(SEVERITY_WARNING, "not-converted", source.name, m.line,
                     "non-ASCII characters go into the file as they are (" + source.charset +
                         "); give --codepage N for the host's code page");
      }
      return true;
    }
    bool converted = true;
    ConversionFailure failure;
    if (!ConvertSourceText(m.key, source.charset, options.codepage, &message->key, &failure)) {
      d->AddAtLine(SEVERITY_ERROR, "conversion", source.name, LineOf(m.key, failure.index, m.line),
                   "key " + Quoted(m.key.bytes) + ": " + failure.reason);
      converted = false;
    }
    if (!ConvertSourceText(m.text, source.charset, options.codepage, &message->text, &failure)) {
      d->AddAtLine(SEVERITY_ERROR, "conversion", source.name, LineOf(m.text, failure.index, m.line),
                   "text of " + Quoted(m.key.bytes) + ": " + failure.reason);
      converted = false;
    }
    return converted;
  }

  // What the library could not read as meant: empty or long keys, zero bytes, long texts.
  bool Readable(const ParsedSource& source, const SourceMessage& m, const Message& message) {
    const std::string shown = Quoted(message.key);
    bool bad = false;
    auto Error = [&](const char* id, const std::string& text) {
      d->AddAtLine(SEVERITY_ERROR, id, source.name, m.line, text);
      bad = true;
    };
    if (message.key.empty()) Error("empty-key", "empty key: it fills nothing");
    if (memchr(message.key.data(), 0, message.key.size()))
      Error("zero-byte", "key " + shown + " holds a zero byte, which would end it early");
    if (memchr(message.text.data(), 0, message.text.size()))
      Error("zero-byte", "text of " + shown + " holds a zero byte, which would end it early");
    if (message.key.size() >= ERRMSG_KEY_SIZE)
      Error("key-too-long",
            "key of " + std::to_string(message.key.size()) + " bytes; keys over 127 characters match nothing");
    if (message.text.size() >= ERRMSG_TEXT_SIZE)
      Error("text-too-long", "text of " + shown + " is " + std::to_string(message.text.size()) + " bytes" +
                                 (options.codepage ? " in code page " + std::to_string(options.codepage)
                                                   : std::string()) +
                                 "; the library takes at most 289 and loads a longer one as an empty text");
    return !bad;
  }

  // Which entry the message fills, and whether an earlier one got there
  // first. Returns false when the message is to be left out: an entry an
  // earlier source filled is not written again from a later one, since the
  // later sources only fill what the earlier ones lack.
  bool Assign(const ParsedSource& source, size_t sourceIndex, const SourceMessage& m, const Message& message) {
    const std::string shown = Quoted(message.key);
    int entry = TableEntryForKey(message.key);
    if (entry < 0) {
      std::string hint = KeyHint(message.key);
      d->AddAtLine(SEVERITY_WARNING, "key-fills-nothing", source.name, m.line,
                   "key " + shown + " fills no table entry" + (hint.empty() ? "" : ": " + hint));
      return true;
    }
    if (owners[entry].set && owners[entry].source < sourceIndex) return false;
    if (owners[entry].set) {
      d->AddAtLine(SEVERITY_WARNING, "duplicate-key", source.name, m.line,
                   "key " + shown + " repeats " + owners[entry].file + ":" + std::to_string(owners[entry].line) +
                       "; the first one's text stays");
      return true;
    }
    owners[entry] = {source.name, m.line, sourceIndex, true};
    if (message.key != ErrMsgTable[entry].key)
      d->AddAtLine(SEVERITY_NOTE, "key-case", source.name, m.line,
                   "key " + shown + " fills " + ErrMsgTable[entry].key + " (case does not matter)");
    if (message.text.empty())
      d->AddAtLine(SEVERITY_WARNING, "empty-text", source.name, m.line,
                   "empty text for " + shown + ": the code shows nothing, not the fallback");
    return true;
  }

  // Which keys came from a later source, for each such source.
  template <class Sources>
  void ReportLayers(const Sources& sources) {
    for (size_t index = 1; index < sources.size(); ++index) {
      std::string keys;
      for (int i = 0; i < ERRMSG_ENTRIES; ++i)
        if (owners[i].set && owners[i].source == index)
          keys += std::string(keys.empty() ? "" : ", ") + ErrMsgTable[i].key;
      if (!keys.empty())
        d->AddAtLine(SEVERITY_NOTE, "from-later-source", sources[index].name, 0,
                     keys + " came from this source: the sources before it lack them");
    }
  }

  // Which codes the file leaves without a text of their own.
  void ReportCoverage(const std::string& where, bool empty) {
    if (empty) d->AddAtLine(SEVERITY_WARNING, "no-messages", where, 0, "no messages");
    if (!owners[ERRMSG_FALLBACK].set)
      d->AddAtLine(SEVERITY_WARNING, "no-fallback", where, 0,
                   "no ERMSG_XX: codes without a text of their own show an empty text");
    std::string missing;
    for (int i = 0; i < ERRMSG_NUMBERED; ++i)
      if (!owners[i].set) missing += std::string(missing.empty() ? "" : ", ") + ErrMsgTable[i].key;
    if (!missing.empty())
      d->AddAtLine(SEVERITY_NOTE, "missing-entries", where, 0,
                   "no text for " + missing + ": those codes show the ERMSG_XX text");
  }
};

}  // namespace

namespace {

void Release(const SourceMessage&) {}
void Release(SourceMessage& m) { m = SourceMessage(); }

// One loop for both entry points; with mutable sources each message is
// freed once converted, so the sources and the messages are never both whole.
template <class Sources>
bool CompileAll(Sources& sources, const CompileOptions& options, std::vector<Message>* out, Diagnostics* d) {
  out->clear();
  size_t count = 0;
  for (const ParsedSource& source : sources) count += source.messages.size();
  out->reserve(count);
  bool ok = true;
  std::string where = sources.empty() ? std::string("qdf") : sources[0].name;
  Compile c(options, d);
  for (size_t index = 0; index < sources.size(); ++index) {
    auto& source = sources[index];
    bool warnedNotConverted = false;
    for (auto& m : source.messages) {
      Message message;
      if (!c.Convert(source, m, &warnedNotConverted, &message) || !c.Readable(source, m, message)) {
        ok = false;
        Release(m);
        continue;
      }
      bool keep = c.Assign(source, index, m, message);
      Release(m);
      if (!keep) continue;
      c.total += QDF_RECORD_SIZE + message.key.size() + 1 + message.text.size() + 1;
      out->push_back(std::move(message));
    }
  }
  if (c.total > 0xFFFFFFFFull) {
    d->AddAtLine(SEVERITY_ERROR, "too-large", where, 0, "the messages do not fit a file of 4 GiB");
    ok = false;
  }
  if (ok) c.ReportLayers(sources);
  if (ok) c.ReportCoverage(where, out->empty());
  return ok;
}

}  // namespace

bool CompileMessages(const std::vector<ParsedSource>& sources, const CompileOptions& options,
                     std::vector<Message>* out, Diagnostics* d) {
  return CompileAll(sources, options, out, d);
}

bool CompileAndReleaseMessages(std::vector<ParsedSource>* sources, const CompileOptions& options,
                               std::vector<Message>* out, Diagnostics* d) {
  return CompileAll(*sources, options, out, d);
}

std::vector<uint8_t> LayOutMessageFile(const std::vector<Message>& messages) {
  const uint32_t section = QDF_FIRST_ENTRY;
  const uint32_t limit = section + QDF_ENTRY_SIZE + QDF_COUNT_BLOCK_SIZE;
  const uint32_t count = (uint32_t)messages.size();
  uint32_t strings = limit + count * QDF_RECORD_SIZE;
  uint64_t size = strings;
  for (const Message& m : messages) size += m.key.size() + 1 + m.text.size() + 1;
  std::vector<uint8_t> file((size_t)size, 0);
  auto Put32 = [&](uint32_t at, uint32_t value) {
    for (int i = 0; i < 4; ++i) file[at + i] = (uint8_t)(value >> (8 * i));
  };
  auto PutString = [&](uint32_t at, const std::string& s) {
    if (!s.empty()) memcpy(&file[at], s.data(), s.size());
    return at + (uint32_t)s.size() + 1;
  };
  Put32(QDF_HEADER_DIRECTORY_LIMIT, limit);
  memcpy(&file[section + QDF_ENTRY_NAME], ERRMSG_SECTION, sizeof ERRMSG_SECTION - 1);
  Put32(section + QDF_ENTRY_FIRST_RECORD, count ? limit : 0);
  Put32(section + QDF_ENTRY_NEXT_ENTRY, limit);
  Put32(section + QDF_ENTRY_SIZE, count);
  uint32_t at = strings;
  for (uint32_t i = 0; i < count; ++i) {
    uint32_t record = limit + i * QDF_RECORD_SIZE;
    Put32(record + QDF_RECORD_KEY, at);
    at = PutString(at, messages[i].key);
    Put32(record + QDF_RECORD_TEXT, at);
    at = PutString(at, messages[i].text);
    Put32(record + QDF_RECORD_NEXT, i + 1 < count ? record + QDF_RECORD_SIZE : 0);
  }
  return file;
}
