// The message table: what a data file loads, how lookups fall back, and
// that the walk over the records ends on any file.
#include <gtest/gtest.h>
#include <limits.h>
#include <string.h>

#include <string>
#include <vector>

#include "messages/messages.h"
#include "tests/support/modes.h"
#include "tests/support/probes.h"
#include "tests/support/qdf_builder.h"
#include "tests/support/stand_in.h"
#include "tests/support/temp_dir.h"
#include "tests/support/worst_case.h"

namespace {

// What the table should answer: the expected text of each numbered code and
// of everything else.
struct Expected {
  std::vector<std::string> numbered;  // 16 texts
  std::string other;
};

Expected AllFallback(const std::string& text) { return {std::vector<std::string>(16, text), text}; }

class MessagesTest : public StandInTest, public ::testing::WithParamInterface<OpenMode> {
 protected:
  void Load(const QdfImage& image) {
    std::string path = dir_.Write("TRAMOLED.QDF", image);
    uint32_t fired = OpenModeFired(GetParam());
    ArmOpenMode(GetParam());
    LoadErrorMessages(path.c_str());
    EXPECT_EQ(OpenModeFired(GetParam()), fired + (GetParam() != OpenMode::Image))
        << OpenModeName(GetParam()) << ": fault never fired";
    EXPECT_EQ(OsOpenFiles(), 0) << "the data file stays open after the load";
  }
  void ExpectTable(const char* name, const Expected& e) {
    for (int code = 0; code < 16; ++code)
      EXPECT_EQ(std::string(DALVIRE_GetErrorMsg(code)), e.numbered[code])
          << name << " code " << code << " (" << OpenModeName(GetParam()) << ")";
    for (int32_t code : kProbeCodes) {
      if (code >= 0 && code < 16) continue;
      EXPECT_EQ(std::string(DALVIRE_GetErrorMsg(code)), e.other) << name << " code " << code;
    }
  }
  TempDir dir_;
};

std::string Key(int i) {
  char key[16];
  snprintf(key, sizeof key, "ERMSG_%02d", i);
  return key;
}

TEST_P(MessagesTest, TypicalFileFillsEveryEntry) {
  std::vector<QdfMessage> messages = TypicalMessages();
  Load(BuildMessageFile(messages, nullptr, {"Other", "More"}));
  Expected e;
  for (int i = 0; i < 16; ++i) e.numbered.push_back(messages[i].text);
  e.other = messages[16].text;
  ExpectTable("typical", e);
  EXPECT_EQ(NewAllocations(), 17) << "one block per text";
  FreeErrorMessages();
  ExpectTable("after release", AllFallback(""));
  EXPECT_EQ(NewAllocations(), 0);
}

TEST_P(MessagesTest, KeysAndTextsDecideWhatIsFilled) {
  const std::string t289(289, 't');
  const struct {
    const char* name;
    std::vector<QdfMessage> messages;
    std::vector<std::pair<int, std::string>> numbered;  // codes that get their own text
    std::string other;
    int blocks;
  } cases[] = {
      {"fallback only", {{"ERMSG_XX", "fallback"}}, {}, "fallback", 1},
      {"no fallback", {{"ERMSG_03", "three"}}, {{3, "three"}}, "", 1},
      {"key differing in case", {{"ermsg_05", "five"}, {"ermsg_xx", "x"}}, {{5, "five"}}, "x", 2},
      {"key without the leading zero", {{"ERMSG_7", "seven"}, {"ERMSG_XX", "x"}}, {}, "x", 1},
      {"numbered key beyond 15", {{"ERMSG_16", "sixteen"}, {"ERMSG_XX", "x"}}, {}, "x", 1},
      {"key with a further character", {{"ERMSG_011", "no"}, {"ERMSG_XX", "x"}}, {}, "x", 1},
      {"keys mixing digits and letters", {{"ERMSG_1X", "no"}, {"ERMSG_X1", "no"}, {"ERMSG_0a", "no"}}, {}, "", 0},
      {"fallback key in mixed case", {{"Ermsg_xX", "mixed"}}, {}, "mixed", 1},
      {"other prefix", {{"ERMSGX01", "no"}, {"XRMSG_01", "no"}}, {}, "", 0},
      {"empty key", {{"", "nothing"}, {"ERMSG_XX", "x"}}, {}, "x", 1},
      {"duplicate key: first wins", {{"ERMSG_03", "first"}, {"ERMSG_03", "second"}}, {{3, "first"}}, "", 1},
      {"289-character text", {{"ERMSG_01", t289}}, {{1, t289}}, "", 1},
      {"290-character text is empty, not the fallback", {{"ERMSG_01", t289 + "u"}, {"ERMSG_XX", "x"}}, {{1, ""}}, "x", 2},
      {"empty text", {{"ERMSG_02", ""}, {"ERMSG_XX", "x"}}, {{2, ""}}, "x", 2},
      {"long key starting like a table key", {{"ERMSG_04" + std::string(200, 'k'), "no"}, {"ERMSG_XX", "x"}}, {}, "x", 1},
      {"key of 127 characters", {{std::string(127, 'k'), "no"}, {"ERMSG_XX", "x"}}, {}, "x", 1},
      {"key of 289 characters", {{std::string(289, 'k'), "no"}}, {}, "", 0},
      {"bytes beyond ASCII pass as they are", {{"ERMSG_00", "\xC4rger \x82\xA0"}}, {{0, "\xC4rger \x82\xA0"}}, "", 1},
  };
  for (const auto& c : cases) {
    Load(BuildMessageFile(c.messages));
    Expected e = AllFallback(c.other);
    for (const auto& n : c.numbered) e.numbered[n.first] = n.second;
    ExpectTable(c.name, e);
    EXPECT_EQ(NewAllocations(), c.blocks) << c.name << ": got " << NewAllocations() << " blocks, expected " << c.blocks;
    FreeErrorMessages();
  }
}

TEST_P(MessagesTest, NothingLoadsWithoutSectionOrRecords) {
  QdfLayout l;
  QdfImage wrongName = BuildMessageFile(TypicalMessages(), nullptr, {}, "NALBI_ErrMsgs");
  QdfImage noRecords = BuildMessageFile(TypicalMessages(), &l);
  noRecords.Put32(l.section + 52, 0);
  QdfImage cutEntry = BuildMessageFile({{"ERMSG_XX", "x"}}, &l);
  cutEntry.bytes.resize(l.section + 51);
  const struct {
    const char* name;
    QdfImage image;
  } cases[] = {{"no section of that name", wrongName}, {"record count 0", noRecords}, {"section entry cut off", cutEntry}, {"empty file", QdfImage()}};
  for (const auto& c : cases) {
    Load(c.image);
    ExpectTable(c.name, AllFallback(""));
    EXPECT_EQ(NewAllocations(), 0) << c.name;
    FreeErrorMessages();
  }
  LoadErrorMessages((dir_.path() + "/missing.qdf").c_str());
  ExpectTable("missing file", AllFallback(""));
}

TEST_P(MessagesTest, CountBlockCutOffReadsAsZero) {
  // The count lies behind the entry; a file that ends there has count 0.
  QdfImage cut;
  cut.Header(1000);
  cut.Entry(8, "NALBI_ErrMsg", 100, 1000, 1);
  cut.bytes.resize(8 + 52 + 2);
  Load(cut);
  ExpectTable("count cut off", AllFallback(""));
}

TEST_P(MessagesTest, RecordWalkMakesCountPassesAndEndsOnAnyChain) {
  const struct {
    const char* name;
    std::vector<QdfMessage> messages;
    void (*corrupt)(QdfImage&, const QdfLayout&);
    std::vector<std::pair<int, std::string>> numbered;
    std::string other;
  } cases[] = {
      {"count beyond the records",
       {{"ERMSG_01", "one"}, {"ERMSG_XX", "x"}},
       [](QdfImage& f, const QdfLayout& l) { f.Put32(l.section + 52, 50); },
       {{1, "one"}}, "x"},
      {"count 0xFFFFFFFF",
       {{"ERMSG_01", "one"}, {"ERMSG_02", "two"}},
       [](QdfImage& f, const QdfLayout& l) { f.Put32(l.section + 52, 0xFFFFFFFFu); },
       {{1, "one"}, {2, "two"}}, ""},
      {"record naming itself",
       {{"ERMSG_01", "one"}, {"ERMSG_02", "two"}},
       [](QdfImage& f, const QdfLayout& l) { f.Put32(l.records[0] + 12, l.records[0]); },
       {{1, "one"}}, ""},
      {"ring of records with a huge count",
       {{"ERMSG_01", "one"}, {"ERMSG_02", "two"}, {"ERMSG_03", "three"}},
       [](QdfImage& f, const QdfLayout& l) {
         f.Put32(l.records[2] + 12, l.records[1]);
         f.Put32(l.section + 52, 0xFFFFFFFFu);
       },
       {{1, "one"}, {2, "two"}, {3, "three"}}, ""},
      {"count below the records",
       {{"ERMSG_01", "one"}, {"ERMSG_02", "two"}, {"ERMSG_XX", "x"}},
       [](QdfImage& f, const QdfLayout& l) { f.Put32(l.section + 52, 2); },
       {{1, "one"}, {2, "two"}}, ""},
      {"record past the end of the file, then the record at offset 0",
       {{"ERMSG_01", "one"}},
       [](QdfImage& f, const QdfLayout& l) {
         f.Put32(l.records[0] + 12, 0x7FFFFFF0u);
         f.Put32(l.section + 52, 5);
       },
       {{1, "one"}}, ""},
      {"key and text past the end of the file",
       {{"ERMSG_01", "one"}, {"ERMSG_02", "two"}},
       [](QdfImage& f, const QdfLayout& l) {
         f.Put32(l.records[0], 0xFFFFFFF0u);
         f.Put32(l.records[1] + 4, 0xFFFFFFF0u);
       },
       {{2, ""}}, ""},
  };
  for (const auto& c : cases) {
    QdfLayout l;
    QdfImage image = BuildMessageFile(c.messages, &l);
    c.corrupt(image, l);
    Load(image);
    Expected e = AllFallback(c.other);
    for (const auto& n : c.numbered) e.numbered[n.first] = n.second;
    ExpectTable(c.name, e);
    FreeErrorMessages();
  }
}

TEST_P(MessagesTest, RecordAtOffsetZeroLoadsWhatItsBytesName) {
  // A record read at offset 0 takes its key offset from the header's first
  // word and its text offset from the directory limit.
  QdfImage image;
  const uint32_t limit = 400;  // also the text offset of the record at 0
  image.Header(limit, 300);    // key offset of the record at 0
  image.Entry(8, "NALBI_ErrMsg", 0, limit, 1);
  image.PutString(300, "ERMSG_09");
  image.PutString(limit, "nine");
  Load(image);
  Expected e = AllFallback("");
  e.numbered[9] = "nine";
  ExpectTable("record at 0", e);
}

TEST_P(MessagesTest, NoMemoryForATextFallsBackUnlessALaterRecordGetsOne) {
  // The first text block fails (and in FileNoMemory the image block too).
  const struct {
    const char* name;
    std::vector<QdfMessage> messages;
    std::vector<std::pair<int, std::string>> numbered;
  } cases[] = {
      {"lone key", {{"ERMSG_03", "three"}, {"ERMSG_XX", "x"}}, {}},
      {"a later duplicate fills it", {{"ERMSG_03", "first"}, {"ERMSG_XX", "x"}, {"ERMSG_03", "second"}}, {{3, "second"}}},
  };
  for (const auto& c : cases) {
    std::string path = dir_.Write("TRAMOLED.QDF", BuildMessageFile(c.messages));
    OsTestReset();
    if (GetParam() == OpenMode::FileNoMemory) {
      OsFaultArm(OS_FAULT_ALLOC, LOAD_ALLOC_IMAGE, 2);  // the image and the first text
    } else {
      ArmOpenMode(GetParam());
      OsFaultArm(OS_FAULT_ALLOC, FirstTextAllocation(GetParam()));
    }
    LoadErrorMessages(path.c_str());
    uint32_t fired = OsFaultFired(OS_FAULT_ALLOC);
    uint32_t expected = GetParam() == OpenMode::FileNoMemory ? 2u : 1u;
    EXPECT_EQ(fired, expected) << c.name << ": got " << fired << " faults, expected " << expected;
    Expected e = AllFallback("x");
    for (const auto& n : c.numbered) e.numbered[n.first] = n.second;
    ExpectTable(c.name, e);
    FreeErrorMessages();
  }
}

TEST_P(MessagesTest, TextPointersStayTheSameUntilRelease) {
  Load(BuildMessageFile(TypicalMessages()));
  const char* seven = DALVIRE_GetErrorMsg(7);
  const char* other = DALVIRE_GetErrorMsg(100);
  for (int i = 0; i < 3; ++i) {
    EXPECT_EQ(DALVIRE_GetErrorMsg(7), seven);
    EXPECT_EQ(DALVIRE_GetErrorMsg(-5), other);
  }
  EXPECT_EQ(DALVIRE_GetErrorMsg(16), DALVIRE_GetErrorMsg(INT_MAX));
}

TEST_P(MessagesTest, EveryWorstCaseShapeEndsAndLoadsWhatAnImageLoadLoads) {
  // The corrupt files that cost the walks the most per byte, with a stored
  // record count of 0xFFFFFFFF: each load must end after work in proportion
  // to the file, and every mode must give what the whole image gives.
  const uint32_t size = 4096;
  for (int s = 0; s < WORST_SHAPES; ++s) {
    const char* name = WorstShapeName((WorstShape)s);
    QdfImage image = BuildWorstCase((WorstShape)s, size);
    std::string path = dir_.Write("TRAMOLED.QDF", image);
    LoadErrorMessages(path.c_str());
    std::vector<std::string> expected;
    for (int32_t code : kProbeCodes) expected.push_back(DALVIRE_GetErrorMsg(code));
    FreeErrorMessages();

    uint32_t reads = OsFaultCalls(OS_FAULT_READ);
    Load(image);
    reads = OsFaultCalls(OS_FAULT_READ) - reads;
    // At most three reads a record (record, key, text) for the few laps the
    // cycle guard needs over at most size / 4 distinct positions.
    EXPECT_LE(reads, 3 * size) << name << " (" << OpenModeName(GetParam()) << "): got " << reads
                               << " reads, expected at most " << 3 * size;
    for (size_t i = 0; i < kProbeCodeCount; ++i) {
      std::string got = DALVIRE_GetErrorMsg(kProbeCodes[i]);
      EXPECT_EQ(got, expected[i]) << name << " code " << kProbeCodes[i] << " (" << OpenModeName(GetParam())
                                  << "): got \"" << got << "\", expected \"" << expected[i] << "\"";
    }
    FreeErrorMessages();
  }
}

INSTANTIATE_TEST_SUITE_P(Modes, MessagesTest, ALL_OPEN_MODES, PrintOpenMode);

TEST(MessagesTable, EndsWithTheEmptyEntryAfterTheFallback) {
  EXPECT_STREQ(ErrMsgTable[ERRMSG_FALLBACK].key, "ERMSG_XX");
  EXPECT_STREQ(ErrMsgTable[ERRMSG_ENTRIES - 1].key, "");
  for (int i = 0; i < 16; ++i) EXPECT_EQ(std::string(ErrMsgTable[i].key), Key(i)) << "entry " << i;
}

}  // namespace
