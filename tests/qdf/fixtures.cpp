// Small damaged message files, each showing one finding of `qdf check`.
#include "tests/qdf/fixtures.h"

std::vector<QdfMessage> WithFallback(std::vector<QdfMessage> messages) {
  messages.insert(messages.begin(), {"ERMSG_XX", "fallback"});
  return messages;
}

namespace {

std::string Repeat(char c, size_t n) { return std::string(n, c); }

// "ERMSG_XX" = "fallback", then `message`; the finding points at `part` of
// that message: its record, key or text.
Fixture BesideFallback(const QdfMessage& message, std::vector<uint32_t> QdfLayout::*part) {
  QdfLayout l;
  QdfImage image = BuildMessageFile(WithFallback({message}), &l);
  return Fixture{image, (l.*part)[1]};
}

const FindingCase kFindingList[] = {
    {"clean file", [] { return Fixture{BuildMessageFile(TypicalMessages())}; }, "", 0,
     "ERMSG_XX=An unexpected error occurred.|"},
    {"no message section",
     [] { return Fixture{BuildMessageFile(TypicalMessages(), nullptr, {}, "OTHER_Section")}; }, "no-section", 2, ""},
    {"empty file", [] { return Fixture{QdfImage()}; }, "no-section", 2, ""},
    {"section name in another case",
     [] { return Fixture{BuildMessageFile(TypicalMessages(), nullptr, {}, "nalbi_ERRMSG"), 8}; }, "section-case", 0,
     "ERMSG_00=Message number 0"},
    {"no fallback",
     [] {
       std::vector<QdfMessage> m = TypicalMessages();
       m.pop_back();
       return Fixture{BuildMessageFile(m)};
     },
     "no-fallback", 1, "ERMSG_15="},
    {"duplicate key, the first wins",
     [] {
       QdfLayout l;
       QdfImage image = BuildMessageFile(WithFallback({{"ERMSG_03", "first"}, {"ERMSG_03", "second"}}), &l);
       return Fixture{image, l.records[2]};
     },
     "duplicate-key", 1, "ERMSG_03=first|"},
    {"key without the leading zero",
     [] { return BesideFallback({"ERMSG_7", "x"}, &QdfLayout::records); },
     "key-fills-nothing", 1, ""},
    {"numbered key beyond 15",
     [] { return BesideFallback({"ERMSG_16", "x"}, &QdfLayout::records); },
     "key-fills-nothing", 1, ""},
    {"key in another case fills its entry",
     [] { return BesideFallback({"ermsg_05", "x"}, &QdfLayout::records); },
     "key-case", 0, "ERMSG_05=x|"},
    {"text of 290 bytes loads as an empty text",
     [] { return BesideFallback({"ERMSG_00", Repeat('a', 290)}, &QdfLayout::texts); },
     "text-too-long", 2, "ERMSG_00=|"},
    {"text of 289 bytes loads whole",
     [] { return Fixture{BuildMessageFile(WithFallback({{"ERMSG_00", Repeat('a', 289)}}))}; }, "", 0,
     "ERMSG_00=aaaaaaaaaa"},
    {"key of 128 characters",
     [] { return BesideFallback({Repeat('K', 128), "x"}, &QdfLayout::keys); },
     "key-too-long", 1, ""},
    {"key with no zero byte within 290",
     [] { return BesideFallback({Repeat('K', 300), "x"}, &QdfLayout::keys); },
     "key-too-long", 1, ""},
    {"empty key",
     [] { return BesideFallback({"", "x"}, &QdfLayout::records); },
     "empty-key", 1, ""},
    {"empty text",
     [] { return BesideFallback({"ERMSG_01", ""}, &QdfLayout::texts); },
     "empty-text", 1, "ERMSG_01=|"},
    {"count larger than the chain",
     [] {
       QdfLayout l;
       QdfImage image = BuildMessageFile(TypicalMessages(), &l);
       image.Put32(l.section + 52, 20);
       return Fixture{image, l.records.back()};
     },
     "count-exceeds-chain", 2, "ERMSG_XX=An unexpected error occurred.|"},
    {"count smaller than the chain loses the fallback",
     [] {
       QdfLayout l;
       QdfImage image = BuildMessageFile(TypicalMessages(), &l);
       image.Put32(l.section + 52, 16);
       return Fixture{image, l.records[15]};
     },
     "count-below-chain", 2, "ERMSG_15="},
    {"count smaller than the chain loses only an unknown key",
     [] {
       QdfLayout l;
       QdfImage image = BuildMessageFile(WithFallback({{"OTHER", "x"}}), &l);
       image.Put32(l.section + 52, 1);
       return Fixture{image, l.records[0]};
     },
     "count-below-chain", 1, "ERMSG_XX=fallback|"},
    {"count zero with records behind it",
     [] {
       QdfLayout l;
       QdfImage image = BuildMessageFile(TypicalMessages(), &l);
       image.Put32(l.section + 52, 0);
       return Fixture{image, l.section};
     },
     "count-below-chain", 2, ""},
    {"section without records", [] { return Fixture{BuildMessageFile({}), 8}; }, "nothing-loads", 2, ""},
    {"record pointing at itself",
     [] {
       QdfLayout l;
       QdfImage image = BuildMessageFile(WithFallback({{"ERMSG_00", "a"}}), &l);
       image.Put32(l.records[1] + 12, l.records[1]);
       image.Put32(l.section + 52, 5);
       return Fixture{image, l.records[1]};
     },
     "record-cycle", 2, "ERMSG_00=a|"},
    {"record chain leaving the file",
     [] {
       QdfLayout l;
       QdfImage image = BuildMessageFile(WithFallback({{"ERMSG_00", "a"}}), &l);
       image.Put32(l.records[0] + 12, 0x100000);
       return Fixture{image, l.records[0]};
     },
     "chain-leaves-file", 2, "ERMSG_XX=fallback|"},
    {"record cut off by the end of the file",
     [] {
       QdfLayout l;
       QdfImage image = BuildMessageFile({{"ERMSG_00", "a"}, {"ERMSG_XX", "x"}}, &l);
       uint32_t end = image.Size();
       image.Put32(end, l.keys[1]);
       image.Put32(end + 4, l.texts[1]);
       image.Put32(l.records[0] + 12, end);
       return Fixture{image, end};
     },
     "record-cut", 2, "ERMSG_XX=x|"},
    {"key offset outside the file",
     [] {
       QdfLayout l;
       QdfImage image = BuildMessageFile(WithFallback({{"ERMSG_00", "a"}}), &l);
       image.Put32(l.records[1], 0x7FFFFFFF);
       return Fixture{image, l.records[1]};
     },
     "key-outside-file", 2, "ERMSG_XX=fallback|"},
    {"text offset outside the file",
     [] {
       QdfLayout l;
       QdfImage image = BuildMessageFile(WithFallback({{"ERMSG_00", "a"}}), &l);
       image.Put32(l.records[1] + 4, image.Size() + 100);
       return Fixture{image, l.records[1]};
     },
     "text-outside-file", 2, "ERMSG_00=|"},
    {"text ended by the end of the file",
     [] {
       QdfLayout l;
       QdfImage image = BuildMessageFile({{"ERMSG_XX", "fallback"}}, &l);
       image.bytes.pop_back();
       return Fixture{image, l.texts[0]};
     },
     "text-unterminated", 1, "ERMSG_XX=fallback|"},
    {"record count cut off by the end of the file",
     [] {
       QdfImage image = BuildMessageFile({{"ERMSG_XX", "x"}});
       image.bytes.resize(62);
       return Fixture{image, 60};
     },
     "count-cut", 2, ""},
    {"directory chain cycling before the section",
     [] {
       QdfLayout l;
       QdfImage image = BuildMessageFile(TypicalMessages(), &l, {"FIRST"});
       image.Put32(l.entries[0] + 48, l.entries[0]);
       return Fixture{image, l.entries[0]};
     },
     "directory-cycle", 2, ""},
    {"directory chain leaving the file",
     [] {
       QdfLayout l;
       QdfImage image = BuildMessageFile(TypicalMessages(), &l, {"FIRST"});
       image.Header(0xFFFFFFFF);
       image.Put32(l.entries[0] + 48, image.Size() - 20);
       return Fixture{image, image.Size() - 20};
     },
     "directory-leaves-file", 2, ""},
    {"section at 8 with a directory limit of 8",
     [] {
       QdfImage image = BuildMessageFile(TypicalMessages());
       image.Header(8);
       return Fixture{image, 8};
     },
     "section-beyond-limit", 2, ""},
    {"section behind the directory limit in the chain",
     [] {
       QdfLayout l;
       QdfImage image = BuildMessageFile(TypicalMessages(), &l, {"FIRST"});
       image.Header(l.section);
       return Fixture{image, l.section};
     },
     "section-beyond-limit", 2, ""},
    {"second message section never read",
     [] {
       QdfLayout l;
       QdfImage image = BuildMessageFile(TypicalMessages(), &l, {"FIRST"});
       image.Entry(l.entries[0], "NALBI_ErrMsg", l.records[0], l.section, (uint32_t)l.records.size());
       return Fixture{image, l.section};
     },
     "shadowed-section", 1, "ERMSG_XX="},
    {"garbage read past the chain's end fills an entry",
     [] {
       // The pass after the chain's end reads the first 16 bytes of the file
       // as a record; its key offset is header word 0.
       QdfLayout l;
       QdfImage image = BuildMessageFile({{"ERMSG_00", "a"}}, &l);
       uint32_t key = image.Size();
       image.PutString(key, "ERMSG_XX");
       image.Header(72, key);
       image.Put32(l.section + 52, 2);
       return Fixture{image, 0};
     },
     "beyond-chain-fills", 2, "ERMSG_XX="},
};

}  // namespace

std::vector<FindingCase> FindingCases() {
  return std::vector<FindingCase>(std::begin(kFindingList), std::end(kFindingList));
}
