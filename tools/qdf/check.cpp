#include "tools/qdf/check.h"

#include <stdio.h>
#include <string.h>

#include <set>
#include <unordered_map>

#include "messages/messages.h"
#include "tools/qdf/compile.h"
#include "tools/qdf/escape.h"
#include "tools/qdf/textcode.h"

namespace {

// A walk follows at most this many records; a file of realistic size holds
// a few dozen, and the chain cannot hold more distinct records than bytes.
const size_t kMaxRecords = 1u << 20;
const size_t kMaxEntries = 1u << 16;
const size_t kMaxPeek = 4096;

std::string Offset(uint64_t at) {
  char text[48];
  snprintf(text, sizeof text, "%llu (0x%llx)", (unsigned long long)at, (unsigned long long)at);
  return text;
}

std::string Quoted(const std::string& bytes) { return "\"" + EscapeC(bytes, ESCAPE_BYTES) + "\""; }

struct StringRead {
  StringState state = STRING_OK;
  std::string value;  // what DataFileReadString placed, or empty
};

// Reads the string at `offset` the library's way, and tells why it reads so.
StringRead ReadStringAt(DataFile* file, uint32_t offset) {
  StringRead r;
  char scratch[QDF_MAX_STRING];
  memset(scratch, 0, sizeof scratch);
  uint32_t got = DataFileReadAt(file, scratch, QDF_MAX_STRING, offset);
  if (got == DATAFILE_READ_FAILED) r.state = STRING_READ_FAILED;
  else if (got == 0) r.state = STRING_OUTSIDE_FILE;
  else if (memchr(scratch, 0, got)) r.state = STRING_OK;
  else r.state = got < QDF_MAX_STRING ? STRING_AT_END : STRING_TOO_LONG;
  char placed[QDF_MAX_STRING];
  if (DataFileReadString(file, offset, placed)) r.value = placed;
  return r;
}

bool NameMatches(const std::string& name) {
  return name.size() == sizeof ERRMSG_SECTION - 1 &&
         OsStrnicmp(name.c_str(), ERRMSG_SECTION, name.size()) == 0;
}

struct Walker {
  Walker(DataFile* f, CheckReport& report) : file(f), r(report) {
    for (int& f : filledBy) f = -1;
  }

  DataFile* file;
  CheckReport& r;
  std::string noSection;  // why the library finds no section

  void Error(const char* id, int64_t at, const std::string& text) {
    r.findings.AddAtOffset(SEVERITY_ERROR, id, r.file, at, text);
  }
  void Warning(const char* id, int64_t at, const std::string& text) {
    r.findings.AddAtOffset(SEVERITY_WARNING, id, r.file, at, text);
  }
  void Note(const char* id, int64_t at, const std::string& text) {
    r.findings.AddAtOffset(SEVERITY_NOTE, id, r.file, at, text);
  }

  // Reads a whole section entry; 0 when fewer than 52 bytes lie there.
  uint32_t ReadEntry(uint32_t at, uint8_t entry[QDF_ENTRY_SIZE], SectionEntryInfo* info) {
    memset(entry, 0, QDF_ENTRY_SIZE);
    uint32_t got = DataFileReadAt(file, entry, QDF_ENTRY_SIZE, at);
    if (got == DATAFILE_READ_FAILED) return DATAFILE_READ_FAILED;
    info->offset = at;
    size_t length = 0;
    while (length < QDF_ENTRY_NAME_SIZE && entry[length]) ++length;
    info->name.assign(reinterpret_cast<const char*>(entry), length);
    info->firstRecord = QdfGet32(entry + QDF_ENTRY_FIRST_RECORD);
    info->next = QdfGet32(entry + QDF_ENTRY_NEXT_ENTRY);
    info->matches = NameMatches(info->name);
    return got;
  }

  // The chain past the directory limit is never read; a message section
  // there explains why none is found.
  void PeekBeyondLimit(uint32_t at) {
    std::set<uint32_t> seen;
    for (size_t hops = 0; hops < kMaxPeek && seen.insert(at).second; ++hops) {
      uint8_t entry[QDF_ENTRY_SIZE];
      SectionEntryInfo info;
      if (ReadEntry(at, entry, &info) != QDF_ENTRY_SIZE) return;
      if (info.matches) {
        info.beyondLimit = true;
        r.sections.push_back(info);
        Error("section-beyond-limit", at,
              "section entry \"" + EscapeC(info.name, ESCAPE_BYTES) + "\" lies at or beyond the directory limit " +
                  std::to_string(r.directoryLimit) + ": the library never takes it");
        noSection = "its entry lies beyond the directory limit";
        return;
      }
      at = info.next;
    }
  }

  void ReadHeader() {
    uint8_t header[QDF_HEADER_SIZE];
    memset(header, 0, sizeof header);
    if (DataFileReadAt(file, header, QDF_HEADER_SIZE, 0) == DATAFILE_READ_FAILED)
      Error("read-failed", 0, "the header cannot be read");
    r.headerWord0 = QdfGet32(header);
    r.directoryLimit = QdfGet32(header + QDF_HEADER_DIRECTORY_LIMIT);
  }

  // An entry that cannot be read whole ends the walk; says why.
  void EntryUnreadable(uint32_t at, uint32_t got) {
    if (got == DATAFILE_READ_FAILED) {
      Error("read-failed", at, "the section entry cannot be read");
      noSection = "a read failed";
    } else if (at == QDF_FIRST_ENTRY) {
      noSection = "the file is " + std::to_string(r.size) + " bytes, too short for a section entry at 8";
    } else {
      Error("directory-leaves-file", at,
            got ? "section entry cut off by the end of the file (" + std::to_string(got) + " of 52 bytes)"
                : "the directory chain leads past the end of the file");
      noSection = "the directory chain leaves the file";
    }
  }

  // The entry named like the message section: taken unless it lies beyond the limit.
  void TakeSection(uint32_t at, const SectionEntryInfo& info) {
    if (at >= r.directoryLimit) {
      r.sections.back().beyondLimit = true;
      Error("section-beyond-limit", at,
            "section entry lies at or beyond the directory limit " + std::to_string(r.directoryLimit) +
                ": the library does not take it");
      noSection = "its entry lies beyond the directory limit";
      return;
    }
    if (info.name != ERRMSG_SECTION)
      Note("section-case", at, "section name " + Quoted(info.name) + " differs in case; it is found");
    r.section = at;
  }

  // Whether the walk goes on from `info` to its next entry; says why not.
  bool FollowNext(uint32_t at, const SectionEntryInfo& info, const std::set<uint32_t>& seen) {
    if (info.next >= r.directoryLimit) {
      noSection = "no entry of that name in the directory chain";
      PeekBeyondLimit(info.next);
      return false;
    }
    if (seen.count(info.next)) {
      Error("directory-cycle", at,
            "the directory chain cycles: this entry leads back to the entry at " + Offset(info.next));
      noSection = "the directory chain cycles before it";
      return false;
    }
    return true;
  }

  // The library's directory walk, with the reasons.
  void FindSection() {
    ReadHeader();
    std::set<uint32_t> seen;
    uint32_t at = QDF_FIRST_ENTRY;
    for (size_t hops = 0;; ++hops) {
      if (hops == kMaxEntries) {
        Error("too-many-entries", at, "the directory chain goes on past " + std::to_string(kMaxEntries) +
                                          " entries; the walk stops here");
        noSection = "the walk gave up";
        return;
      }
      uint8_t entry[QDF_ENTRY_SIZE];
      SectionEntryInfo info;
      uint32_t got = ReadEntry(at, entry, &info);
      if (got == DATAFILE_READ_FAILED || got < QDF_ENTRY_SIZE) return EntryUnreadable(at, got);
      seen.insert(at);
      r.sections.push_back(info);
      if (info.matches) return TakeSection(at, info);
      if (!FollowNext(at, info, seen)) return;
      at = info.next;
    }
  }

  // Entries behind the message section are never read: a second section of
  // the same name there is dead.
  void LookBehindSection() {
    std::set<uint32_t> seen;
    uint32_t at = r.sections.back().next;
    seen.insert((uint32_t)r.section);
    for (size_t hops = 0; hops < kMaxPeek && at < r.directoryLimit && seen.insert(at).second; ++hops) {
      uint8_t entry[QDF_ENTRY_SIZE];
      SectionEntryInfo info;
      if (ReadEntry(at, entry, &info) != QDF_ENTRY_SIZE) return;
      info.afterSection = true;
      r.sections.push_back(info);
      if (info.matches)
        Warning("shadowed-section", at,
                "a second message section; the library stops at the one at " + Offset((uint64_t)r.section) +
                    " and never reads this one");
      at = info.next;
    }
  }

  int filledBy[ERRMSG_ENTRIES];  // index in r.records of the record that fills each entry, or -1

  void ReadRecord(uint32_t at, bool pastChainEnd, RecordInfo* rec) {
    uint8_t bytes[QDF_RECORD_SIZE];
    memset(bytes, 0, sizeof bytes);
    uint32_t got = DataFileReadAt(file, bytes, QDF_RECORD_SIZE, at);
    rec->offset = at;
    rec->bytes = got == DATAFILE_READ_FAILED ? 0 : got;
    rec->keyOffset = QdfGet32(bytes + QDF_RECORD_KEY);
    rec->textOffset = QdfGet32(bytes + QDF_RECORD_TEXT);
    rec->next = QdfGet32(bytes + QDF_RECORD_NEXT);
    rec->pastChainEnd = pastChainEnd;
    StringRead key = ReadStringAt(file, rec->keyOffset);
    rec->keyState = key.state;
    rec->key = key.value;
    StringRead text = ReadStringAt(file, rec->textOffset);
    rec->textState = text.state;
    rec->text = text.value;
    if (got == DATAFILE_READ_FAILED && !pastChainEnd) Error("read-failed", at, "the record cannot be read");
  }

  // Why a key that cannot match fills nothing.
  void ReportUnusableKey(const RecordInfo& rec) {
    switch (rec.keyState) {
      case STRING_TOO_LONG:
        Warning("key-too-long", rec.keyOffset, "key of the record at " + Offset(rec.offset) +
                                                    " has no zero byte within 290 bytes: it fills nothing");
        break;
      case STRING_OUTSIDE_FILE:
        Error("key-outside-file", rec.offset, "key offset " + Offset(rec.keyOffset) +
                                                  " lies past the end of the file: the key reads as empty");
        break;
      case STRING_READ_FAILED: Error("read-failed", rec.keyOffset, "the key cannot be read"); break;
      default:
        if (rec.key.empty())
          Warning("empty-key", rec.offset,
                  "record with an empty key at " + Offset(rec.keyOffset) + ": it fills nothing");
        else
          Warning("key-too-long", rec.keyOffset,
                  "key of " + std::to_string(rec.key.size()) + " characters; keys over 127 match nothing");
    }
  }

  // What is wrong with the text a record puts into its entry.
  void ReportFilledText(const RecordInfo& rec, const char* tableKey) {
    std::string what = std::string("text of ") + tableKey;
    switch (rec.textState) {
      case STRING_TOO_LONG:
        Error("text-too-long", rec.textOffset,
              what + " has no zero byte within 290 bytes: the library loads an empty text, not the fallback");
        break;
      case STRING_OUTSIDE_FILE:
        Error("text-outside-file", rec.offset, what + " at " + Offset(rec.textOffset) +
                                                   " lies past the end of the file: it loads as an empty text");
        break;
      case STRING_READ_FAILED: Error("read-failed", rec.textOffset, what + " cannot be read"); break;
      case STRING_AT_END:
        Warning("text-unterminated", rec.textOffset, what + " has no zero byte; the end of the file ends it");
        break;
      default:
        if (rec.text.empty())
          Warning("empty-text", rec.textOffset, what + " is empty: the code shows nothing, not the fallback");
    }
  }

  // The record fills its entry.
  void Fill(RecordInfo* rec, bool quiet) {
    const char* tableKey = ErrMsgTable[rec->entry].key;
    rec->fate = FATE_FILLS;
    filledBy[rec->entry] = (int)r.records.size();
    if (quiet)
      Error("beyond-chain-fills", rec->offset,
            "the record, read only because the count runs past the chain, fills " + std::string(tableKey));
    if (rec->key != tableKey)
      Note("key-case", rec->offset, "key " + Quoted(rec->key) + " fills " + tableKey + " (case does not matter)");
    ReportFilledText(*rec, tableKey);
  }

  // What the record does to the table; findings on the way.
  void Judge(RecordInfo* rec) {
    const int64_t at = rec->offset;
    const bool quiet = rec->pastChainEnd;  // garbage: only a fill is worth saying
    if (!quiet && rec->bytes > 0 && rec->bytes < QDF_RECORD_SIZE)
      Error("record-cut", at, "record cut off by the end of the file (" + std::to_string(rec->bytes) +
                                  " of 16 bytes); the rest reads as zero");
    rec->fate = FATE_NO_ENTRY;
    if (!KeyCanMatch(rec->key)) {
      if (!quiet) ReportUnusableKey(*rec);
      return;
    }
    rec->entry = TableEntryForKey(rec->key);
    if (rec->entry < 0) {
      if (quiet) return;
      std::string hint = KeyHint(rec->key);
      Warning("key-fills-nothing", at, "key " + Quoted(rec->key) + " fills no table entry" +
                                           (hint.empty() ? "" : ": " + hint));
      return;
    }
    if (filledBy[rec->entry] >= 0) {
      rec->fate = FATE_DUPLICATE;
      if (quiet) return;
      Warning("duplicate-key", at, "key " + Quoted(rec->key) + " repeats the record at " +
                                       Offset(r.records[(size_t)filledBy[rec->entry]].offset) +
                                       ", whose text stays");
      return;
    }
    Fill(rec, quiet);
  }

  // The section's first-record offset and record count.
  void ReadSectionCount() {
    const uint32_t section = (uint32_t)r.section;
    uint8_t entry[QDF_ENTRY_SIZE];
    memset(entry, 0, sizeof entry);
    DataFileReadAt(file, entry, QDF_ENTRY_SIZE, section);
    uint8_t countBlock[QDF_COUNT_BLOCK_SIZE];
    memset(countBlock, 0, sizeof countBlock);
    uint32_t got = DataFileReadAt(file, countBlock, QDF_COUNT_BLOCK_SIZE, section + QDF_ENTRY_SIZE);
    if (got == DATAFILE_READ_FAILED) got = 0;
    r.count = QdfGet32(countBlock);
    r.firstRecord = QdfGet32(entry + QDF_ENTRY_FIRST_RECORD);
    if (got < 4)
      Warning("count-cut", section + QDF_ENTRY_SIZE,
              "the record count is cut off by the end of the file (" + std::to_string(got) +
                  " of 4 bytes); it reads as " + std::to_string(r.count));
  }

  // The `i`-th pass reached offset 0 or the file's end before the count ran out.
  void ReportChainEnd(uint64_t i, uint32_t at) {
    const int64_t where = i == 0 ? r.section : (int64_t)r.records.back().offset;
    std::string from = i == 0 ? std::string("the section's first-record offset")
                              : "the next-record offset of the record at " + Offset(r.records.back().offset);
    if (at == 0)
      Error("count-exceeds-chain", where,
            "record count " + std::to_string(r.count) + " but the chain ends after " + std::to_string(i) +
                " records: " + from + " is 0, so the library reads the file's first 16 bytes as a record");
    else
      Error("chain-leaves-file", where,
            from + " names " + Offset(at) + ", past the end of the file (record count " + std::to_string(r.count) +
                ", " + std::to_string(i) + " read)");
  }

  // Whether the walk may read a record at `at` as its `i`-th; says why not.
  bool MayRead(uint64_t i, uint32_t at, bool chainEnded, const std::unordered_map<uint32_t, size_t>& seen) {
    if (seen.count(at)) {
      if (!chainEnded)
        Error("record-cycle", r.records.back().offset,
              "the record chain cycles: this record leads back to the record at " + Offset(at) + " after " +
                  std::to_string(i) + " of " + std::to_string(r.count) + " records");
      return false;
    }
    if (r.records.size() == kMaxRecords) {
      Error("too-many-records", at, "the walk stops after " + std::to_string(kMaxRecords) + " records");
      return false;
    }
    return true;
  }

  // The library's record walk: `count` passes along the chain, each record once.
  void WalkRecords() {
    ReadSectionCount();
    std::unordered_map<uint32_t, size_t> seen;
    bool chainEnded = false;
    bool stopped = false;
    uint32_t at = r.firstRecord;
    for (uint64_t i = 0; i < r.count; ++i) {
      if (i > 0) at = r.records.back().next;
      if (!MayRead(i, at, chainEnded, seen)) {
        stopped = true;
        break;
      }
      RecordInfo rec;
      ReadRecord(at, chainEnded, &rec);
      if (!chainEnded && (at == 0 || rec.bytes == 0)) {
        chainEnded = true;
        rec.pastChainEnd = true;
        ReportChainEnd(i, at);
      }
      seen[at] = r.records.size();
      Judge(&rec);
      r.records.push_back(rec);
    }
    if (stopped || chainEnded || r.count == 0) {
      if (r.count == 0 && r.firstRecord != 0) CountBelowChain(r.firstRecord, seen, true);
      return;
    }
    CountBelowChain(r.records.back().next, seen, false);
  }

  // Records that the chain still names after `count` passes: never read.
  void CountBelowChain(uint32_t at, std::unordered_map<uint32_t, size_t>& seen, bool fromSection) {
    uint32_t unread = 0;
    uint32_t first = at;
    std::string lost;
    bool wouldFill[ERRMSG_ENTRIES] = {};
    for (size_t hops = 0; hops < kMaxPeek && at != 0 && !seen.count(at); ++hops) {
      uint8_t bytes[QDF_RECORD_SIZE];
      memset(bytes, 0, sizeof bytes);
      if (DataFileReadAt(file, bytes, QDF_RECORD_SIZE, at) != QDF_RECORD_SIZE) break;
      StringRead key = ReadStringAt(file, QdfGet32(bytes + QDF_RECORD_KEY));
      if (!KeyCanMatch(key.value)) break;
      seen[at] = r.records.size();
      ++unread;
      int entry = TableEntryForKey(key.value);
      if (entry >= 0 && filledBy[entry] < 0 && !wouldFill[entry]) {
        wouldFill[entry] = true;
        lost += std::string(lost.empty() ? "" : ", ") + ErrMsgTable[entry].key;
      }
      at = QdfGet32(bytes + QDF_RECORD_NEXT);
    }
    if (!unread) return;
    r.unreadRecords = unread;
    std::string text = "record count " + std::to_string(r.count) + " but the chain goes on: " +
                       std::to_string(unread) + " more record(s) from " + Offset(first) + " are never read";
    int64_t where = fromSection ? r.section : (int64_t)r.records.back().offset;
    if (lost.empty()) Warning("count-below-chain", where, text);
    else Error("count-below-chain", where, text + "; " + lost + " stay(s) without text");
  }
};

void LoadWithLibrary(DataFile* file, std::vector<TableEntryInfo>* table) {
  // The table is the library's one global: start and end it empty.
  FreeErrorMessages();
  ReadErrMsgSection(file);
  table->clear();
  for (int i = 0; ErrMsgTable[i].key[0] != '\0'; ++i) {
    TableEntryInfo e;
    e.key = ErrMsgTable[i].key;
    e.loaded = ErrMsgTable[i].text != 0;
    if (e.loaded) e.text.assign(ErrMsgTable[i].text, strnlen(ErrMsgTable[i].text, ERRMSG_TEXT_SIZE));
    table->push_back(e);
  }
  FreeErrorMessages();
}

}  // namespace

namespace {

// What the walk expects must be what the library did.
void CompareWithLibrary(Walker& w, CheckReport& r) {
  for (size_t i = 0; i < r.table.size(); ++i) {
    TableEntryInfo& e = r.table[i];
    int by = r.section >= 0 ? w.filledBy[i] : -1;
    if (by >= 0) e.record = r.records[(size_t)by].offset;
    bool expected = by >= 0;
    std::string expectedText = by >= 0 ? r.records[(size_t)by].text : std::string();
    if (e.loaded != expected || e.text != expectedText)
      w.Error("library-disagrees", -1,
              "the library loaded " + (e.loaded ? Quoted(e.text) : std::string("nothing")) + " for " + e.key +
                  ", the tool's walk expected " + (expected ? Quoted(expectedText) : std::string("nothing")));
  }
}

// What the loaded table means for the codes.
void JudgeTable(Walker& w, CheckReport& r) {
  if (r.section < 0) {
    w.Error("no-section", -1, std::string("no section \"") + ERRMSG_SECTION + "\" (" + w.noSection +
                                  "): the library loads no text and every code shows an empty text");
    return;
  }
  bool any = false;
  for (const TableEntryInfo& e : r.table) any = any || e.loaded;
  if (!any) {
    w.Error("nothing-loads", r.section, "the message section loads no text: every code shows an empty text");
    return;
  }
  if (!r.table[ERRMSG_FALLBACK].loaded)
    w.Warning("no-fallback", -1, "no ERMSG_XX: codes without a text of their own show an empty text");
  std::string missing;
  for (int i = 0; i < ERRMSG_NUMBERED; ++i)
    if (!r.table[(size_t)i].loaded) missing += std::string(missing.empty() ? "" : ", ") + r.table[(size_t)i].key;
  if (!missing.empty())
    w.Note("missing-entries", -1, "no text for " + missing + ": those codes show the " +
                                      (r.table[ERRMSG_FALLBACK].loaded ? "ERMSG_XX" : "empty") + " text");
}

}  // namespace

CheckReport CheckOpenDataFile(DataFile* file, const std::string& name) {
  CheckReport r;
  r.file = name;
  r.opened = true;
  r.size = file->size;
  Walker w(file, r);
  w.FindSection();
  if (r.section >= 0) {
    w.LookBehindSection();
    w.WalkRecords();
  }
  LoadWithLibrary(file, &r.table);
  CompareWithLibrary(w, r);
  JudgeTable(w, r);
  return r;
}

CheckReport CheckDataFile(const std::string& path) {
  DataFile* file = DataFileOpen(path.c_str());
  if (!file) {
    CheckReport r;
    r.file = path;
    r.findings.AddAtLine(SEVERITY_ERROR, "open-failed", path, 0, "cannot open the file");
    return r;
  }
  CheckReport r = CheckOpenDataFile(file, path);
  DataFileClose(file);
  return r;
}

CheckReport CheckDataBytes(const uint8_t* data, size_t size, const std::string& name) {
  if (size > 0xFFFFFFFFu) {
    CheckReport r;
    r.file = name;
    r.findings.AddAtLine(SEVERITY_ERROR, "too-large", name, 0, "a data file holds at most 4 GiB");
    return r;
  }
  DataFile file;
  DataFileWrapImage(&file, data, (uint32_t)size);
  return CheckOpenDataFile(&file, name);
}

std::vector<TableEntryInfo> LoadedTable(const uint8_t* data, size_t size) {
  std::vector<TableEntryInfo> table;
  if (size > 0xFFFFFFFFu) return table;
  DataFile file;
  DataFileWrapImage(&file, data, (uint32_t)size);
  LoadWithLibrary(&file, &table);
  return table;
}

// ---- lookups ----------------------------------------------------------------

std::vector<LookupResult> LookUpCodes(const std::string& path, const std::vector<int32_t>& codes) {
  std::vector<LookupResult> results;
  FreeErrorMessages();
  LoadErrorMessages(path.c_str());
  for (int32_t code : codes) {
    LookupResult l;
    l.code = code;
    const char* text = DALVIRE_GetErrorMsg(code);
    l.text.assign(text, strnlen(text, ERRMSG_TEXT_SIZE));
    for (int i = 0; ErrMsgTable[i].key[0] != '\0'; ++i)
      if (ErrMsgTable[i].text == text) l.entry = i;
    uint32_t index = (uint32_t)code;
    std::string own = index < ERRMSG_NUMBERED ? ErrMsgTable[index].key : "";
    if (l.entry >= 0 && l.entry < ERRMSG_NUMBERED) l.rule = "its own text, " + own;
    else if (l.entry == ERRMSG_FALLBACK)
      l.rule = own.empty() ? "fallback ERMSG_XX: the code is outside 0..15"
                           : "fallback ERMSG_XX: " + own + " has no text";
    else
      l.rule = std::string("empty text: ") + (own.empty() ? "the code is outside 0..15" : own + " has no text") +
               " and ERMSG_XX has none";
    results.push_back(l);
  }
  FreeErrorMessages();
  return results;
}
