// From sources to file bytes: the layout, the checks made at build time and
// the code-page conversion.
#include <gtest/gtest.h>

#include "tests/qdf/qdf_test_util.h"
#include "tools/qdf/escape.h"
#include "tools/qdf/textcode.h"

namespace {

// The writer lays a file out exactly as the test builder does, so every
// fixture the library's own tests use is a file that `qdf build` could make.
TEST(QdfCompile, LaysOutTheFileLikeTheFixtureBuilder) {
  const struct {
    const char* name;
    std::vector<QdfMessage> messages;
  } cases[] = {
      {"typical", TypicalMessages()},
      {"none", {}},
      {"one", {{"ERMSG_XX", "only"}}},
      {"empty text and unknown key", {{"ERMSG_00", ""}, {"OTHER", "x"}, {"ERMSG_00", "second"}}},
  };
  for (const auto& c : cases) {
    std::vector<Message> messages;
    for (const QdfMessage& m : c.messages) messages.push_back({m.key, m.text});
    std::vector<uint8_t> got = LayOutMessageFile(messages);
    std::vector<uint8_t> expected = BuildMessageFile(c.messages).bytes;
    EXPECT_EQ(HexBytes(std::string(got.begin(), got.end())), HexBytes(std::string(expected.begin(), expected.end())))
        << c.name << ": got these bytes, expected the builder's";
  }
}

std::string Repeat(const std::string& s, size_t n) {
  std::string out;
  while (n--) out += s;
  return out;
}

// The ids of what a build reports, without the summary of missing entries.
std::string BuildIds(const std::string& source, uint32_t codepage, int* exitCode) {
  Diagnostics d;
  BuildBytes("m.txt", source, codepage, &d);
  std::vector<Diagnostic> kept;
  for (const Diagnostic& item : d.items)
    if (item.id != "missing-entries") kept.push_back(item);
  d.items = kept;
  *exitCode = d.ExitCode();
  return FindingIds(d);
}

TEST(QdfCompile, ChecksWhatTheLibraryWouldGetWrong) {
  const std::string xx = "ERMSG_XX = fallback\n";
  const struct {
    const char* name;
    std::string source;
    uint32_t codepage;
    const char* ids;
    int exitCode;
  } cases[] = {
      {"clean", xx + "ERMSG_00 = a\n", 0, "", 0},
      {"text of 289 bytes", xx + "ERMSG_00 = " + Repeat("a", 289) + "\n", 0, "", 0},
      {"text of 290 bytes", xx + "ERMSG_00 = " + Repeat("a", 290) + "\n", 0, "text-too-long", 2},
      {"290 UTF-8 bytes that are 145 in code page 1252", xx + "ERMSG_00 = " + Repeat("\xC3\xA9", 145) + "\n", 1252,
       "", 0},
      {"145 characters that stay 290 bytes unconverted", xx + "ERMSG_00 = " + Repeat("\xC3\xA9", 145) + "\n", 0,
       "not-converted text-too-long", 2},
      {"key of 127 characters", xx + Repeat("K", 127) + " = a\n", 0, "key-fills-nothing", 1},
      {"key of 128 characters", xx + Repeat("K", 128) + " = a\n", 0, "key-too-long", 2},
      {"empty key", xx + "\"\" = a\n", 0, "empty-key", 2},
      {"zero byte in a text", xx + "ERMSG_00 = \"a\\0b\"\n", 0, "zero-byte", 2},
      {"zero byte in a key", xx + "\"ERMSG\\000\" = a\n", 0, "zero-byte", 2},
      {"duplicate key", xx + "ERMSG_03 = a\nermsg_03 = b\n", 0, "duplicate-key", 1},
      {"key without the leading zero", xx + "ERMSG_7 = a\n", 0, "key-fills-nothing", 1},
      {"numbered key beyond 15", xx + "ERMSG_16 = a\n", 0, "key-fills-nothing", 1},
      {"key differing only in case", xx + "ermsg_05 = a\n", 0, "key-case", 0},
      {"no fallback", "ERMSG_00 = a\n", 0, "no-fallback", 1},
      {"empty text", xx + "ERMSG_01 = \"\"\n", 0, "empty-text", 1},
      {"non-ASCII text without a code page", xx + "ERMSG_01 = caf\xC3\xA9\n", 0, "not-converted", 1},
      {"no messages", "# nothing\n", 0, "no-messages no-fallback", 1},
  };
  for (const auto& c : cases) {
    int exitCode = -1;
    std::string ids = BuildIds(c.source, c.codepage, &exitCode);
    EXPECT_EQ(ids, c.ids) << c.name << ": got these findings, expected the others";
    EXPECT_EQ(exitCode, c.exitCode) << c.name << ": got this exit code, expected the other";
  }
}

TEST(QdfCompile, HintsWhatAKeyThatFillsNothingMeant) {
  const struct {
    const char* key;
    const char* hint;
  } cases[] = {
      {"ERMSG_7", "did you mean ERMSG_07?"},
      {"ermsg_3", "did you mean ERMSG_03?"},
      {"ERMSG_007", "did you mean ERMSG_07?"},
      {"ERMSG_16", "the numbered keys end at ERMSG_15"},
      {" ERMSG_01", "the key has spaces around it"},
      {"ERMSG_X", ""},
      {"HELLO", ""},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TableEntryForKey(c.key), -1) << c.key << ": got a table entry, expected none";
    EXPECT_EQ(KeyHint(c.key), c.hint) << c.key << ": got this hint, expected the other";
  }
}

struct CodepageCase {
  const char* name;
  const char* file;
  std::string source;
  uint32_t codepage;
  const char* textHex;  // the text of the one message; null when an error is expected
  uint32_t errorLine;
  const char* fragment;
};

const CodepageCase kCodepages[] = {
    {"Western European", "m.txt", "ERMSG_00 = caf\xC3\xA9 \xE2\x82\xAC\n", 1252, "636166e92080", 0, ""},
    {"Central European", "m.txt", "ERMSG_00 = \xC5\x82\n", 1250, "b3", 0, ""},
    {"Cyrillic", "m.txt", "ERMSG_00 = \xD0\x96\n", 1251, "c6", 0, ""},
    {"Japanese", "m.txt", "ERMSG_00 = \xE6\x97\xA5\xE6\x9C\xAC\n", 932, "93fa967b", 0, ""},
    {"Simplified Chinese", "m.txt", "ERMSG_00 = \xE4\xB8\xAD\n", 936, "d6d0", 0, ""},
    {"Korean", "m.txt", "ERMSG_00 = \xED\x95\x9C\n", 949, "c7d1", 0, ""},
    {"Traditional Chinese", "m.txt", "ERMSG_00 = \xE4\xB8\xAD\n", 950, "a4a4", 0, ""},
    {"numeric escapes are bytes, not characters", "m.txt", "ERMSG_00 = \"\\x81\\x40a\"\n", 1252, "814061", 0, ""},
    {"po charset read from the header", "m.po",
     "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=ISO-8859-1\\n\"\n"
     "msgctxt \"ERMSG_00\"\nmsgid \"x\"\nmsgstr \"caf\xE9\"\n",
     1252, "636166e9", 0, ""},
    {"unmappable character names its line", "m.txt", "ERMSG_01 = ok\nERMSG_00 = a\xE6\x97\xA5\n", 1252, nullptr, 2,
     "U+65E5"},
    {"accented letter has no place in Japanese", "m.txt", "ERMSG_00 = caf\xC3\xA9\n", 932, nullptr, 1, "U+00E9"},
    {"no best fit: the yen sign is not a backslash", "m.txt", "ERMSG_00 = \xC2\xA5\n", 932, nullptr, 1, "U+00A5"},
    {"line of a po continuation string", "m.po",
     "msgctxt \"ERMSG_00\"\nmsgid \"x\"\nmsgstr \"fine\"\n\"\xE6\x97\xA5\"\n", 1252, nullptr, 4, "U+65E5"},
    {"invalid UTF-8", "m.txt", "ERMSG_00 = a\xFF\n", 1252, nullptr, 1, "not valid UTF-8"},
};

TEST(QdfCompile, ConvertsToTheHostCodePage) {
  for (const CodepageCase& c : kCodepages) {
    Diagnostics d;
    std::vector<uint8_t> file = BuildBytes(c.file, c.source, c.codepage, &d);
    if (c.textHex) {
      ASSERT_FALSE(file.empty()) << c.name << ": got errors, expected a file:\n" << Describe(d);
      CheckReport r = CheckDataBytes(file.data(), file.size(), "built.qdf");
      ASSERT_FALSE(r.records.empty()) << c.name;
      EXPECT_EQ(HexBytes(r.records[0].text), c.textHex) << c.name << ": got these text bytes, expected the others";
      continue;
    }
    EXPECT_TRUE(file.empty()) << c.name << ": got a file, expected an error";
    bool found = false;
    for (const Diagnostic& item : d.items)
      found = found || (item.id == "conversion" && item.line == c.errorLine &&
                        item.message.find(c.fragment) != std::string::npos);
    EXPECT_TRUE(found) << c.name << ": got\n" << Describe(d) << "expected a conversion error at line " << c.errorLine
                       << " naming " << c.fragment;
  }
}

TEST(QdfCompile, RefusesCodePagesThatCannotHoldTheKeys) {
  std::string why;
  EXPECT_TRUE(UsableCodepage(1252, &why)) << why;
  EXPECT_FALSE(UsableCodepage(37, &why)) << "got EBCDIC accepted, expected it refused";
  EXPECT_FALSE(UsableCodepage(12345, &why)) << "got an unknown code page accepted";
}

// Dumps decode a text only when the code page gives the same bytes back.
TEST(QdfCompile, DecodesOnlyWhatConvertsBackExactly) {
  const struct {
    const char* name;
    uint32_t codepage;
    std::string bytes;
    bool decodes;
  } cases[] = {
      {"1252 letters", 1252, "caf\xE9", true},
      {"byte 0x81 is not defined in 1252", 1252, "\x81", false},
      {"Japanese", 932, "\x93\xFA\x96\x7B", true},
      {"a lead byte without its trail byte", 932, "\x93", false},
      {"NEC duplicate that converts back to another code", 932, "\xED\x40", false},
  };
  for (const auto& c : cases) {
    std::string utf8;
    EXPECT_EQ(DecodeExactly(c.codepage, c.bytes, &utf8), c.decodes) << c.name << ": got the other answer";
  }
}

}  // namespace
