// The data file reader, in image mode and in every way of falling back to
// file mode: the two must give the same result for every read.
#include <gtest/gtest.h>
#include <string.h>

#include <string>
#include <vector>

#include "datafile/cycle.h"
#include "datafile/datafile.h"
#include "tests/support/modes.h"
#include "tests/support/paths.h"
#include "tests/support/qdf_builder.h"
#include "tests/support/stand_in.h"
#include "tests/support/temp_dir.h"

namespace {

class DataFileTest : public StandInTest, public ::testing::WithParamInterface<OpenMode> {
 protected:
  // Writes the image and opens it in the mode under test.
  DataFile* Open(const QdfImage& image) {
    std::string path = dir_.Write("TRAMOLED.QDF", image);
    uint32_t fired = OpenModeFired(GetParam());
    ArmOpenMode(GetParam());
    DataFile* file = DataFileOpen(path.c_str());
    EXPECT_EQ(OpenModeFired(GetParam()), fired + (GetParam() != OpenMode::Image))
        << OpenModeName(GetParam()) << ": fault never fired";
    if (file) EXPECT_EQ(file->image == nullptr, GetParam() != OpenMode::Image) << OpenModeName(GetParam());
    files_.push_back(file);
    return file;
  }
  void TearDown() override {
    for (DataFile* f : files_)
      if (f) DataFileClose(f);
    StandInTest::TearDown();
  }
  TempDir dir_;
  std::vector<DataFile*> files_;
};

QdfImage Bytes(const std::string& text) {
  QdfImage image;
  image.PutBytes(0, text.data(), text.size());
  return image;
}

TEST_P(DataFileTest, ReadAtPlacesWhatLiesInsideTheFile) {
  DataFile* f = Open(Bytes("0123456789"));
  ASSERT_NE(f, nullptr);
  const struct {
    const char* name;
    uint32_t count, offset, result;
    const char* placed;
  } cases[] = {
      {"inside", 4, 2, 4, "2345"},
      {"running over the end", 8, 6, 4, "6789"},
      {"last byte", 1, 9, 1, "9"},
      {"at the end", 4, 10, 0, ""},
      {"far past the end", 4, 0x7FFFFFF0u, 0, ""},
      {"offset with the high bit", 4, 0x80000000u, 0, ""},
      {"nothing asked", 0, 3, 0, ""},
  };
  for (const auto& c : cases) {
    char out[16];
    memset(out, '#', sizeof out);
    uint32_t got = DataFileReadAt(f, out, c.count, c.offset);
    EXPECT_EQ(got, c.result) << c.name << ": got " << got << ", expected " << c.result;
    EXPECT_EQ(std::string(out, strlen(c.placed)), c.placed) << c.name;
    EXPECT_EQ(out[strlen(c.placed)], '#') << c.name << ": placed more than it reported";
  }
}

TEST_P(DataFileTest, EmptyFileReadsNothingAndHasNoSection) {
  DataFile* f = Open(QdfImage());
  ASSERT_NE(f, nullptr);
  char out[QDF_MAX_STRING];
  EXPECT_EQ(DataFileReadAt(f, out, 8, 0), 0u);
  EXPECT_EQ(DataFileFindSection(f, "NALBI_ErrMsg"), 0u);
  memset(out, '#', sizeof out);
  EXPECT_EQ(DataFileReadString(f, 0, out), 1) << "a string at the end of the file is empty";
  EXPECT_STREQ(out, "");
}

TEST_P(DataFileTest, ReadStringAcceptsAtMost289CharactersAndItsTerminator) {
  QdfImage image;
  image.PutString(0, std::string(289, 'a'));                   // 0..289
  image.PutBytes(290, std::string(290, 'b').data(), 290);       // 290..579, no zero
  image.PutString(580, "short");                                // 580..585
  const uint32_t tail = 586;
  image.PutBytes(tail, std::string(289, 'c').data(), 289);      // to the end, no zero
  DataFile* f = Open(image);
  ASSERT_NE(f, nullptr);
  QdfImage longTail;
  longTail.PutBytes(0, std::string(290, 'd').data(), 290);

  const struct {
    const char* name;
    uint32_t offset;
    int result;
    std::string text;
  } cases[] = {
      {"289 characters", 0, 1, std::string(289, 'a')},
      {"290 without a zero", 290, 0, ""},
      {"ends at its zero", 580, 1, "short"},
      {"289 characters up to the end of the file", tail, 1, std::string(289, 'c')},
      {"inside that tail", tail + 200, 1, std::string(89, 'c')},
      {"past the end", tail + 1000, 1, ""},
  };
  for (const auto& c : cases) {
    char out[QDF_MAX_STRING + 4];
    memset(out, '#', sizeof out);
    int got = DataFileReadString(f, c.offset, out);
    EXPECT_EQ(got, c.result) << c.name << ": got " << got << ", expected " << c.result;
    if (c.result) EXPECT_EQ(std::string(out), c.text) << c.name;
    else EXPECT_EQ(out[0], '#') << c.name << ": destination touched";
    EXPECT_EQ(std::string(out + QDF_MAX_STRING, 4), "####") << c.name << ": wrote past 290 bytes";
  }
  DataFile* g = Open(longTail);
  ASSERT_NE(g, nullptr);
  char out[QDF_MAX_STRING];
  EXPECT_EQ(DataFileReadString(g, 0, out), 0) << "290 characters up to the end of the file";
}

// A chain of section entries laid out by hand: name and next offset each.
struct Chain {
  uint32_t limit;
  std::vector<std::pair<uint32_t, std::string>> entries;  // offset, name
  std::vector<uint32_t> next;
  uint32_t size = 0;  // 0: just past the last entry
};

QdfImage Lay(const Chain& chain) {
  QdfImage image;
  image.Header(chain.limit);
  for (size_t i = 0; i < chain.entries.size(); ++i)
    image.Entry(chain.entries[i].first, chain.entries[i].second, 0, chain.next[i], 0);
  if (chain.size) image.bytes.resize(chain.size);
  return image;
}

TEST_P(DataFileTest, FindSectionFollowsTheChainWithinTheDirectoryLimit) {
  const std::string name32(32, 'N');
  const struct {
    const char* name;
    Chain chain;
    std::string wanted;
    uint32_t found;
  } cases[] = {
      {"first entry", {1000, {{8, "NALBI_ErrMsg"}}, {1000}}, "NALBI_ErrMsg", 8},
      {"case differs", {1000, {{8, "nalbi_errmsg"}}, {1000}}, "NALBI_ErrMsg", 8},
      {"further character", {1000, {{8, "NALBI_ErrMsgs"}}, {1000}}, "NALBI_ErrMsg", 0},
      {"shorter name", {1000, {{8, "NALBI_Err"}}, {1000}}, "NALBI_ErrMsg", 0},
      {"third in the chain", {1000, {{8, "A"}, {200, "B"}, {100, "NALBI_ErrMsg"}}, {200, 100, 1000}}, "NALBI_ErrMsg", 100},
      {"limit 8", {8, {{8, "NALBI_ErrMsg"}}, {1000}}, "NALBI_ErrMsg", 0},
      {"limit 9", {9, {{8, "NALBI_ErrMsg"}}, {1000}}, "NALBI_ErrMsg", 8},
      {"next equal to the limit", {200, {{8, "A"}, {200, "NALBI_ErrMsg"}}, {200, 1000}}, "NALBI_ErrMsg", 0},
      {"match at or past the limit", {150, {{8, "A"}, {100, "NALBI_ErrMsg"}}, {100, 1000}}, "NALBI_ErrMsg", 100},
      {"name filling its field", {1000, {{8, name32}}, {1000}}, name32, 8},
      {"field without terminator, wanted longer", {1000, {{8, name32}}, {1000}}, name32 + "N", 0},
      {"cut off inside its unused bytes", {1000, {{8, "NALBI_ErrMsg"}}, {1000}, 8 + 40}, "NALBI_ErrMsg", 0},
      {"cut off one byte short", {1000, {{8, "NALBI_ErrMsg"}}, {1000}, 8 + 51}, "NALBI_ErrMsg", 0},
      {"entry of exactly 52 bytes", {1000, {{8, "NALBI_ErrMsg"}}, {1000}, 8 + 52}, "NALBI_ErrMsg", 8},
      {"next beyond the file", {0xFFFFFFFF, {{8, "A"}}, {5000}}, "NALBI_ErrMsg", 0},
  };
  for (const auto& c : cases) {
    DataFile* f = Open(Lay(c.chain));
    ASSERT_NE(f, nullptr) << c.name;
    uint32_t got = DataFileFindSection(f, c.wanted.c_str());
    EXPECT_EQ(got, c.found) << c.name << ": got " << got << ", expected " << c.found;
  }
}

TEST_P(DataFileTest, FindSectionEndsOnChainsThatComeBackRound) {
  const struct {
    const char* name;
    Chain chain;
    uint32_t found;
  } cases[] = {
      {"entry naming itself", {1000, {{8, "A"}}, {8}}, 0},
      {"two entries in a ring", {1000, {{8, "A"}, {100, "B"}}, {100, 8}}, 0},
      {"tail into a ring", {1000, {{8, "A"}, {100, "B"}, {200, "C"}, {300, "D"}}, {100, 200, 300, 200}}, 0},
      {"ring holding the match", {1000, {{8, "A"}, {100, "B"}, {200, "NALBI_ErrMsg"}}, {100, 8, 0}}, 0},
      {"match behind a long ring", {1000, {{8, "A"}, {100, "B"}, {200, "C"}, {300, "NALBI_ErrMsg"}}, {100, 200, 300, 8}}, 300},
  };
  for (const auto& c : cases) {
    DataFile* f = Open(Lay(c.chain));
    ASSERT_NE(f, nullptr) << c.name;
    uint32_t got = DataFileFindSection(f, "NALBI_ErrMsg");
    EXPECT_EQ(got, c.found) << c.name << ": got " << got << ", expected " << c.found;
  }
}

TEST_P(DataFileTest, NextOffsetZeroReadsTheFileStartAsAnEntry) {
  // Entry 8 leads to offset 0, whose 52 bytes (header plus the start of
  // entry 8) are an entry too: its next offset, bytes 48..51, lies inside
  // entry 8's unused bytes and leads on to the match.
  QdfImage image;
  image.Header(1000);
  image.Entry(8, "A", 0, 0, 0);
  image.Put32(48, 300);
  image.Entry(300, "NALBI_ErrMsg", 0, 1000, 0);
  DataFile* f = Open(image);
  ASSERT_NE(f, nullptr);
  EXPECT_EQ(DataFileFindSection(f, "NALBI_ErrMsg"), 300u);
}

INSTANTIATE_TEST_SUITE_P(Modes, DataFileTest, ALL_OPEN_MODES, PrintOpenMode);

// Failures that only file mode can meet: each read goes to the file.
class DataFileFileMode : public StandInTest {
 protected:
  DataFile* OpenFileMode(const QdfImage& image) {
    std::string path = dir_.Write("TRAMOLED.QDF", image);
    OsFaultArm(OS_FAULT_FILE_SIZE, 1);
    file_ = DataFileOpen(path.c_str());
    return file_;
  }
  void TearDown() override {
    if (file_) DataFileClose(file_);
    StandInTest::TearDown();
  }
  TempDir dir_;
  DataFile* file_ = nullptr;
};

TEST_F(DataFileFileMode, FailedReadIsReportedAndBytesAlreadyPlacedStay) {
  DataFile* f = OpenFileMode(BuildMessageFile(TypicalMessages()));
  ASSERT_NE(f, nullptr);
  char out[64];
  memset(out, '#', sizeof out);
  OsFaultArm(OS_FAULT_SHORT_READ, 1);
  OsFaultArm(OS_FAULT_READ, 2);
  EXPECT_EQ(DataFileReadAt(f, out, 8, 0), DATAFILE_READ_FAILED);
  EXPECT_EQ(OsFaultFired(OS_FAULT_READ), 1u);
  EXPECT_NE(out[0], '#') << "the short read's bytes stay in the destination";

  OsFaultArm(OS_FAULT_READ, 1);
  memset(out, '#', sizeof out);
  EXPECT_EQ(DataFileReadString(f, 8, out), 0);
  EXPECT_EQ(out[0], '#') << "destination untouched";

  OsFaultArm(OS_FAULT_READ, 1);
  EXPECT_EQ(DataFileFindSection(f, "NALBI_ErrMsg"), 0u);

  OsFaultArm(OS_FAULT_SEEK, 1);
  EXPECT_EQ(DataFileReadAt(f, out, 8, 0), 0u) << "a failed seek reads nothing";
}

TEST_F(DataFileFileMode, ShortReadsAreTopped) {
  DataFile* f = OpenFileMode(BuildMessageFile(TypicalMessages()));
  ASSERT_NE(f, nullptr);
  OsFaultArm(OS_FAULT_SHORT_READ, 1, 3);
  EXPECT_EQ(DataFileFindSection(f, "NALBI_ErrMsg"), 8u);
  EXPECT_EQ(OsFaultFired(OS_FAULT_SHORT_READ), 3u);
}

TEST_F(DataFileFileMode, OpenFailsCleanly) {
  TempDir dir;
  const struct {
    const char* name;
    OsFaultKind fault;
    bool missing;
  } cases[] = {
      {"missing file", OS_FAULT_KINDS, true},
      {"no memory for the record", OS_FAULT_ALLOC, false},
      {"cannot be opened", OS_FAULT_OPEN_FILE, false},
  };
  std::string present = dir.Write("TRAMOLED.QDF", BuildMessageFile(TypicalMessages()));
  for (const auto& c : cases) {
    OsTestReset();
    if (c.fault != OS_FAULT_KINDS) OsFaultArm(c.fault, 1);
    DataFile* f = DataFileOpen(c.missing ? (dir.path() + "/none").c_str() : present.c_str());
    EXPECT_EQ(f, nullptr) << c.name;
    if (c.fault != OS_FAULT_KINDS) EXPECT_EQ(OsFaultFired(c.fault), 1u) << c.name;
    EXPECT_EQ(NewAllocations(), 0) << c.name;
  }
}

TEST_F(DataFileFileMode, OpensAPathOf259UnitsInAnyScriptButNot260) {
  // The system's limit counts UTF-16 units, not bytes: a 259-unit CJK path
  // takes about 700 bytes of UTF-8 and must still open.
  const struct {
    const char* name;
    const char* character;
    size_t units;
    bool opens;
  } cases[] = {
      {"ASCII, 259", "p", 259, true},         {"ASCII, 260", "p", 260, false},
      {"Cyrillic, 259", PATH_CYRILLIC, 259, true}, {"Cyrillic, 260", PATH_CYRILLIC, 260, false},
      {"CJK, 259", PATH_CJK, 259, true},       {"CJK, 260", PATH_CJK, 260, false},
  };
  for (const auto& c : cases) {
    TempDir dir;
    std::string path = PathOfUnits(dir.path(), c.character, c.units, "TRAMOLED.QDF");
    ASSERT_EQ(Utf16Units(path), c.units) << c.name;
    std::string written = dir.Write(path.substr(dir.path().size() + 1), BuildMessageFile(TypicalMessages()));
    DataFile* f = DataFileOpen(written.c_str());
    EXPECT_EQ(f != nullptr, c.opens) << c.name << ": got " << (f ? "opened" : "not opened") << ", " << path.size()
                                     << " bytes";
    if (!f) continue;
    EXPECT_EQ(std::string(f->path), written) << c.name;
    DataFileClose(f);
  }
}

TEST(CycleGuard, EndsEveryChainAfterVisitingAllOfIt) {
  // Position p leads to p + 1, and the last one back to `loopTo`.
  const struct {
    const char* name;
    uint32_t length;
    uint32_t loopTo;
  } cases[] = {
      {"self loop at the start", 1, 0}, {"self loop after a tail", 5, 4}, {"whole chain a cycle", 9, 0},
      {"long tail, short cycle", 1000, 990}, {"short tail, long cycle", 1000, 3}, {"cycle of 2", 2, 0},
  };
  for (const auto& c : cases) {
    std::vector<int> visits(c.length, 0);
    CycleGuard guard;
    uint32_t position = 0;
    CycleGuardStart(&guard, position);
    uint32_t steps = 0;
    for (;;) {
      ++visits[position];
      uint32_t next = position + 1 == c.length ? c.loopTo : position + 1;
      if (CycleGuardComesRound(&guard, next)) break;
      position = next;
      ASSERT_LT(++steps, 4 * c.length) << c.name << ": the walk does not end";
    }
    for (uint32_t p = 0; p < c.length; ++p)
      EXPECT_GE(visits[p], 1) << c.name << ": position " << p << " was never visited";
  }
}

}  // namespace
