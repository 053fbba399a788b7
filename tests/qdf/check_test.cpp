// `qdf check`: each finding on a small fixture, and the tool's own walk
// agreeing with what the library loads on damaged files.
#include <gtest/gtest.h>

#include "messages/messages.h"
#include "platform/os_test.h"
#include "tests/qdf/fixtures.h"
#include "tests/qdf/qdf_test_util.h"
#include "tests/support/temp_dir.h"
#include "tools/qdf/escape.h"

namespace {

bool HasFinding(const CheckReport& r, const std::string& id, int64_t offset) {
  for (const Diagnostic& d : r.findings.items)
    if (d.id == id && (offset < 0 || d.offset == offset)) return true;
  return false;
}

TEST(QdfCheck, ReportsEachFindingAtItsOffset) {
  for (const FindingCase& c : FindingCases()) {
    Fixture f = c.make();
    CheckReport r = Check(f.image);
    std::string ids = FindingIds(r.findings);
    if (c.id[0] == '\0') {
      std::string serious;
      for (const Diagnostic& d : r.findings.items)
        if (d.severity != SEVERITY_NOTE) serious += d.id + " ";
      EXPECT_EQ(serious, "") << c.name << ": got these findings, expected none";
    } else {
      EXPECT_TRUE(HasFinding(r, c.id, f.offset))
          << c.name << ": got\n" << Describe(r.findings) << "expected " << c.id << " at offset " << f.offset;
    }
    EXPECT_EQ(r.ExitCode(), c.exitCode) << c.name << ": got this exit code, expected the other; findings:\n"
                                        << Describe(r.findings);
    EXPECT_NE(TableOf(r).find(c.table), std::string::npos)
        << c.name << ": got table " << TableOf(r) << ", expected it to hold " << c.table;
    EXPECT_FALSE(r.findings.HasId("library-disagrees")) << c.name << ":\n" << Describe(r.findings);
  }
}

// The walk that explains the findings must expect exactly what the library
// loads, whatever the damage: every prefix of a file, and every byte changed.
TEST(QdfCheck, WalkAgreesWithTheLibraryOnEveryTruncation) {
  QdfImage image = BuildMessageFile(WithFallback({{"ERMSG_00", "zero"}, {"ermsg_01", "one"}, {"ERMSG_00", "dup"}}));
  for (uint32_t size = 0; size <= image.Size(); ++size) {
    CheckReport r = CheckDataBytes(image.bytes.data(), size, "cut.qdf");
    ASSERT_FALSE(r.findings.HasId("library-disagrees")) << "size " << size << ":\n" << Describe(r.findings);
  }
}

TEST(QdfCheck, WalkAgreesWithTheLibraryOnEveryChangedByte) {
  QdfImage original = BuildMessageFile(WithFallback({{"ERMSG_00", "zero"}, {"ERMSG_00", "dup"}}));
  const uint8_t values[] = {0x00, 0x01, 0x08, 0x48, 0x58, 0x80, 0xFF};
  for (uint32_t at = 0; at < original.Size(); ++at) {
    for (uint8_t v : values) {
      QdfImage image = original;
      image.bytes[at] = v;
      CheckReport r = Check(image);
      ASSERT_FALSE(r.findings.HasId("library-disagrees"))
          << "byte " << at << " set to " << (int)v << ":\n" << Describe(r.findings);
    }
  }
}

// A stored count of 4 billion over a record that names itself, and a
// directory whose two entries name each other, end at once.
TEST(QdfCheck, BoundsItsWalksOnCyclesAndHugeCounts) {
  QdfLayout l;
  QdfImage records = BuildMessageFile(WithFallback({{"ERMSG_00", "a"}}), &l);
  records.Put32(l.records[1] + 12, l.records[0]);
  records.Put32(l.section + 52, 0xFFFFFFFF);
  CheckReport r = Check(records);
  EXPECT_TRUE(r.findings.HasId("record-cycle")) << Describe(r.findings);
  EXPECT_EQ(r.records.size(), 2u) << "got this many records read, expected each of the two once";

  QdfImage entries = BuildMessageFile(TypicalMessages(), &l, {"A", "B"});
  entries.Put32(l.entries[1] + 48, l.entries[0]);
  r = Check(entries);
  EXPECT_TRUE(r.findings.HasId("directory-cycle")) << Describe(r.findings);
  EXPECT_EQ(r.sections.size(), 2u) << "got this many entries read, expected two";
}

// Reading from the open file (no memory for the image) and from the image
// give the same report.
TEST(QdfCheck, FileModeAndImageModeAgree) {
  TempDir dir("qdf-check");
  for (const FindingCase& c : FindingCases()) {
    Fixture f = c.make();
    std::string path = dir.Write("f.qdf", f.image);
    CheckReport image = CheckDataFile(path);
    OsTestReset();
    OsFaultArm(OS_FAULT_ALLOC, 2);  // the DataFile record gets memory, its image does not
    CheckReport file = CheckDataFile(path);
    uint32_t fired = OsFaultFired(OS_FAULT_ALLOC);
    OsTestReset();
    ASSERT_EQ(fired, 1u) << c.name << ": got the image allocation not refused, expected file mode";
    EXPECT_EQ(FindingIds(file.findings), FindingIds(image.findings)) << c.name << ": got other findings in file mode";
    EXPECT_EQ(TableOf(file), TableOf(image)) << c.name << ": got another table in file mode";
  }
}

TEST(QdfCheck, LeavesTheLibraryTableEmptyAndNothingAllocated) {
  int64_t before = OsLiveAllocations();
  Check(BuildMessageFile(TypicalMessages()));
  EXPECT_EQ(OsLiveAllocations(), before) << "got blocks still allocated after a check, expected none";
  for (const ErrMsgEntry* e = ErrMsgTable; e->key[0]; ++e)
    EXPECT_EQ(e->text, nullptr) << e->key << ": got a text left in the table, expected none";
}

TEST(QdfCheck, JsonNamesEachFindingWithItsOffset) {
  QdfLayout l;
  QdfImage image = BuildMessageFile(WithFallback({{"ERMSG_00", std::string(300, 'a')}}), &l);
  std::string json = FormatCheckJson(Check(image), ReportOptions());
  std::string finding = "\"id\": \"text-too-long\", \"offset\": " + std::to_string(l.texts[1]);
  EXPECT_NE(json.find(finding), std::string::npos) << "got\n" << json << "expected it to hold " << finding;
  EXPECT_NE(json.find("\"exit_code\": 2"), std::string::npos) << json;
  EXPECT_NE(json.find("{\"key\": \"ERMSG_00\", \"loaded\": true, \"text\": \"\", \"text_hex\": \"\""),
            std::string::npos)
      << json;
}

TEST(QdfShow, TellsWhichRuleGaveTheText) {
  TempDir dir("qdf-show");
  std::string withFallback = dir.Write("a.qdf", BuildMessageFile({{"ERMSG_00", "zero"}, {"ERMSG_XX", "other"}}));
  std::string without = dir.Write("b.qdf", BuildMessageFile({{"ERMSG_00", "zero"}}));
  const struct {
    const char* name;
    const std::string& path;
    int32_t code;
    const char* text;
    int entry;
    const char* rule;
  } cases[] = {
      {"own text", withFallback, 0, "zero", 0, "its own text, ERMSG_00"},
      {"numbered code without text", withFallback, 1, "other", 16, "fallback ERMSG_XX: ERMSG_01 has no text"},
      {"code 16", withFallback, 16, "other", 16, "fallback ERMSG_XX: the code is outside 0..15"},
      {"code -1", withFallback, -1, "other", 16, "fallback ERMSG_XX: the code is outside 0..15"},
      {"largest code", withFallback, 2147483647, "other", 16, "fallback ERMSG_XX: the code is outside 0..15"},
      {"no fallback", without, 5, "", -1, "empty text: ERMSG_05 has no text and ERMSG_XX has none"},
  };
  for (const auto& c : cases) {
    std::vector<LookupResult> got = LookUpCodes(c.path, {c.code});
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].text, c.text) << c.name << ": got this text, expected the other";
    EXPECT_EQ(got[0].entry, c.entry) << c.name << ": got this entry, expected the other";
    EXPECT_EQ(got[0].rule, c.rule) << c.name << ": got this rule, expected the other";
  }
}

}  // namespace
