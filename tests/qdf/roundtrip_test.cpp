// build -> dump -> build gives the same bytes; the dump of any file, damaged
// or not, builds into a file that loads the same table.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "tests/qdf/fixtures.h"
#include "tests/qdf/qdf_test_util.h"
#include "tests/support/temp_dir.h"
#include "tools/qdf/dump.h"
#include "tools/qdf/escape.h"

namespace {

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string Hex(const std::vector<uint8_t>& bytes) { return HexBytes(std::string(bytes.begin(), bytes.end())); }

// Dumps the file's bytes and builds the dump again.
std::vector<uint8_t> Rebuild(const std::vector<uint8_t>& file, const DumpOptions& options, uint32_t buildCodepage,
                             std::string* dump, Diagnostics* d) {
  CheckReport r = CheckDataBytes(file.data(), file.size(), "in.qdf");
  bool lossy = false;
  *dump = DumpSource(r, options, &lossy);
  return BuildBytes(options.po ? "dump.po" : "dump.txt", *dump, buildCodepage, d);
}

struct RoundTrip {
  const char* name;
  const char* file;
  std::string source;
  uint32_t codepage;  // for the first build, the dump and the second build
  bool po;            // the dump can be a .po file too (no empty texts)
};

std::vector<RoundTrip> RoundTrips() {
  return {
      {"default English messages", "en.po", ReadText(QDF_DEFAULT_SOURCE), 0, true},
      {"the same, converted to 1252", "en.po", ReadText(QDF_DEFAULT_SOURCE), 1252, true},
      {"control bytes, quotes, backslashes", "m.txt",
       "ERMSG_00 = \"tab\\t nl\\n cr\\r q\\\" bs\\\\ \\x01\\x1F\\x7F\\xFF\\x80\"\n", 0, true},
      {"spaces around a text", "m.txt", "ERMSG_01 = \"  both sides  \"\n", 0, true},
      {"keys that need quotes", "m.txt",
       "\"odd key\" = a\n\"a=b\" = b\n\"#hash\" = c\n\"\\x80\\xFF\" = d\n\"q\\\"\" = e\n", 0, true},
      {"duplicates, unknown keys, empty texts", "m.txt",
       "ERMSG_03 = first\nermsg_03 = second\nERMSG_7 = x\nERMSG_XX = \"\"\n", 0, false},
      {"text of 289 bytes", "m.txt", "ERMSG_00 = " + std::string(289, 'z') + "\n", 0, true},
      {"Japanese, decoded in the dump", "m.txt",
       "ERMSG_00 = \xE7\x94\xA8\xE7\xB4\x99\xE3\x81\x8C\xE3\x81\x82\xE3\x82\x8A\xE3\x81\xBE\xE3\x81\x9B\xE3\x82\x93\n"
       "ERMSG_01 = \"\\xED\\x40 NEC duplicate, kept as bytes\"\n",
       932, true},
      {"Western European, decoded in the dump", "m.po",
       "msgctxt \"ERMSG_00\"\nmsgid \"x\"\nmsgstr \"Druckerw\xC3\xA4hlen \xE2\x82\xAC\"\n", 1252, true},
      {"undefined 1252 byte as a raw escape", "m.txt", "ERMSG_00 = \"\\x81 a\"\n", 1252, true},
  };
}

TEST(QdfRoundTrip, BuildDumpBuildGivesTheSameBytes) {
  for (const RoundTrip& c : RoundTrips()) {
    Diagnostics first;
    std::vector<uint8_t> built = BuildBytes(c.file, c.source, c.codepage, &first);
    ASSERT_FALSE(built.empty()) << c.name << ": the first build failed:\n" << Describe(first);
    for (bool po : {false, true}) {
      if (po && !c.po) continue;
      DumpOptions options;
      options.po = po;
      options.codepage = c.codepage;
      std::string dump;
      Diagnostics second;
      std::vector<uint8_t> rebuilt = Rebuild(built, options, c.codepage, &dump, &second);
      EXPECT_EQ(Hex(rebuilt), Hex(built)) << c.name << (po ? " (.po)" : " (plain)")
                                          << ": got other bytes from the dump, expected the same; dump:\n"
                                          << dump << Describe(second);
    }
  }
}

// A dump made without --codepage escapes every non-ASCII byte, so it builds
// to the same bytes with or without a code page.
TEST(QdfRoundTrip, EscapedDumpIgnoresTheCodePage) {
  Diagnostics d;
  std::vector<uint8_t> built =
      BuildBytes("m.txt", "ERMSG_00 = \xE6\x97\xA5\xE6\x9C\xAC\n", 932, &d);
  ASSERT_FALSE(built.empty()) << Describe(d);
  std::string dump;
  DumpOptions plain;
  for (uint32_t codepage : {0u, 932u, 1252u}) {
    Diagnostics again;
    EXPECT_EQ(Hex(Rebuild(built, plain, codepage, &dump, &again)), Hex(built))
        << "built with code page " << codepage << ": got other bytes; dump:\n" << dump << Describe(again);
  }
}

TEST(QdfRoundTrip, DumpOfADamagedFileLoadsTheSameTable) {
  for (const FindingCase& c : FindingCases()) {
    QdfImage image = c.make().image;
    CheckReport original = Check(image);
    if (original.section < 0) continue;  // nothing loads; the dump says so in a comment
    std::string dump;
    Diagnostics d;
    std::vector<uint8_t> rebuilt = Rebuild(image.bytes, DumpOptions(), 0, &dump, &d);
    ASSERT_FALSE(rebuilt.empty()) << c.name << ": the dump does not build:\n" << dump << Describe(d);
    CheckReport again = CheckDataBytes(rebuilt.data(), rebuilt.size(), "rebuilt.qdf");
    EXPECT_EQ(TableOf(again), TableOf(original)) << c.name << ": got another table from the dump; dump:\n" << dump;
  }
}

TEST(QdfRoundTrip, DumpSaysWhatItCouldNotKeep) {
  const struct {
    const char* name;
    std::vector<QdfMessage> messages;
    bool po;
    bool lossy;
    const char* comment;
  } cases[] = {
      {"clean file", TypicalMessages(), false, false, ""},
      {"text of 290 bytes", {{"ERMSG_00", std::string(290, 'a')}}, false, true, "no zero byte within 290"},
      {"key of 128 characters", {{std::string(128, 'K'), "x"}}, false, true, "too long for a source"},
      {"empty text in a .po dump", {{"ERMSG_00", ""}}, true, true, "empty msgstr means untranslated"},
      {"empty text in a plain dump", {{"ERMSG_00", ""}}, false, false, ""},
  };
  for (const auto& c : cases) {
    CheckReport r = Check(BuildMessageFile(c.messages));
    DumpOptions options;
    options.po = c.po;
    bool lossy = false;
    std::string dump = DumpSource(r, options, &lossy);
    EXPECT_EQ(lossy, c.lossy) << c.name << ": got the other answer to lossy; dump:\n" << dump;
    EXPECT_NE(dump.find(c.comment), std::string::npos) << c.name << ": got\n" << dump << "expected " << c.comment;
  }
}

}  // namespace
