// The two source readers: what they take from good sources, and how they
// name the line of a malformed one.
#include <gtest/gtest.h>

#include "tests/qdf/qdf_test_util.h"
#include "tools/qdf/escape.h"
#include "tools/qdf/source.h"

namespace {

std::string MessagesOf(const ParsedSource& s) {
  std::string out;
  for (const SourceMessage& m : s.messages)
    out += EscapeC(m.key.bytes, ESCAPE_BYTES) + "=" + EscapeC(m.text.bytes, ESCAPE_BYTES) + "|";
  return out;
}

struct GoodCase {
  const char* name;
  const char* file;
  std::string input;
  const char* messages;  // key=text|, escaped
  const char* charset;
  const char* ids;  // diagnostics expected, by id
  bool useFuzzy;
};

const GoodCase kGood[] = {
    {"bare text", "a.txt", "ERMSG_00 = Paper jam\n", "ERMSG_00=Paper jam|", "UTF-8", "", false},
    {"bare text keeps inner spaces and quotes, drops outer ones", "a.txt", "ERMSG_00 =   say \"hi\"  now \t\n",
     "ERMSG_00=say \\\"hi\\\"  now|", "UTF-8", "", false},
    {"hash inside a bare text is text", "a.txt", "ERMSG_03 = Error #5\n", "ERMSG_03=Error #5|", "UTF-8", "",
     false},
    {"quoted text keeps its spaces", "a.txt", "ERMSG_01 = \"  padded  \"\n", "ERMSG_01=  padded  |", "UTF-8",
     "", false},
    {"escapes", "a.txt", "ERMSG_02 = \"a\\tb\\n\\x41\\101\\\\\\\"\\x7\"\n", "ERMSG_02=a\\tb\\nAA\\\\\\\"\\x07|",
     "UTF-8", "", false},
    {"escapes in a bare text", "a.txt", "ERMSG_02 = tab\\there\\x20\n", "ERMSG_02=tab\\there |", "UTF-8", "",
     false},
    {"comment after a quoted text", "a.txt", "ERMSG_04 = \"x\"   # why\n", "ERMSG_04=x|", "UTF-8", "", false},
    {"empty text", "a.txt", "ERMSG_05 =\nERMSG_06 = \"\"\n", "ERMSG_05=|ERMSG_06=|", "UTF-8", "", false},
    {"quoted key", "a.txt", "\"odd key\\x01\" = x\n", "odd key\\x01=x|", "UTF-8", "", false},
    {"comments, blank lines, CRLF and a byte-order mark", "a.txt",
     "\xEF\xBB\xBF# head\r\n\r\n   # indented\r\nERMSG_00 = one\r\nERMSG_01=two\r\n", "ERMSG_00=one|ERMSG_01=two|",
     "UTF-8", "", false},
    {"no newline at the end", "a.txt", "ERMSG_00 = one", "ERMSG_00=one|", "UTF-8", "", false},
    {"po entry with header charset", "a.po",
     "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=CP1252\\n\"\n\n"
     "msgctxt \"ERMSG_00\"\nmsgid \"Paper jam\"\nmsgstr \"Papierstau\"\n",
     "ERMSG_00=Papierstau|", "CP1252", "", false},
    {"po continuation strings", "a.po",
     "msgctxt \"ERMSG_01\"\nmsgid \"\"\n\"x\"\nmsgstr \"\"\n\"first \"\n  \"second\\n\"\n", "ERMSG_01=first second\\n|",
     "UTF-8", "", false},
    {"po template charset placeholder means UTF-8", "a.pot",
     "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=CHARSET\\n\"\n", "", "UTF-8", "", false},
    {"po fuzzy entry left out", "a.po",
     "#, fuzzy\nmsgctxt \"ERMSG_00\"\nmsgid \"a\"\nmsgstr \"b\"\n\nmsgctxt \"ERMSG_01\"\nmsgid \"c\"\nmsgstr \"d\"\n",
     "ERMSG_01=d|", "UTF-8", "fuzzy", false},
    {"po fuzzy entry taken on request", "a.po",
     "#, c-format, fuzzy\nmsgctxt \"ERMSG_00\"\nmsgid \"a\"\nmsgstr \"b\"\n", "ERMSG_00=b|", "UTF-8", "", true},
    {"po fuzzy header still gives the charset", "a.po",
     "#, fuzzy\nmsgid \"\"\nmsgstr \"Content-Type: text/plain; charset=ISO-8859-2\\n\"\n"
     "msgctxt \"ERMSG_00\"\nmsgid \"a\"\nmsgstr \"b\"\n",
     "ERMSG_00=b|", "ISO-8859-2", "", false},
    {"po entry without msgctxt has no key", "a.po", "msgid \"a\"\nmsgstr \"b\"\n", "", "UTF-8", "no-msgctxt",
     false},
    {"po untranslated entry takes its msgid", "a.po", "msgctxt \"ERMSG_00\"\nmsgid \"a\"\nmsgstr \"\"\n",
     "ERMSG_00=a|", "UTF-8", "untranslated", false},
    {"po fuzzy flag of an obsolete entry stays with it", "a.po",
     "msgctxt \"ERMSG_01\"\nmsgid \"c\"\nmsgstr \"d\"\n\n#, fuzzy\n#~ msgctxt \"ERMSG_02\"\n#~ msgid \"x\"\n"
     "#~ msgstr \"y\"\n\nmsgctxt \"ERMSG_03\"\nmsgid \"a\"\nmsgstr \"b\"\n",
     "ERMSG_01=d|ERMSG_03=b|", "UTF-8", "", false},
    {"po obsolete and other comments ignored", "a.po",
     "# translator\n#. extracted\n#: ref.c:1\n#| msgid \"old\"\n#~ msgctxt \"ERMSG_02\"\n#~ msgid \"x\"\n"
     "#~ msgstr \"y\"\nmsgctxt \"ERMSG_03\"\nmsgid \"a\"\nmsgstr \"b\"\n",
     "ERMSG_03=b|", "UTF-8", "", false},
    {"po entries need no blank line between them", "a.po",
     "msgctxt \"A\"\nmsgid \"a\"\nmsgstr \"1\"\nmsgctxt \"B\"\nmsgid \"b\"\nmsgstr \"2\"\nmsgid \"c\"\nmsgstr \"3\"\n",
     "A=1|B=2|", "UTF-8", "no-msgctxt", false},
};

TEST(QdfSource, ReadsGoodSources) {
  for (const GoodCase& c : kGood) {
    ParsedSource source;
    Diagnostics d;
    bool ok = ParseOne(c.file, c.input, &source, &d, c.useFuzzy);
    EXPECT_TRUE(ok) << c.name << ": got errors, expected none:\n" << Describe(d);
    EXPECT_EQ(MessagesOf(source), c.messages) << c.name << ": got these messages, expected the others";
    EXPECT_EQ(source.charset, c.charset) << c.name << ": got this charset, expected the other";
    EXPECT_EQ(FindingIds(d), c.ids) << c.name << ": got these diagnostics, expected the others:\n" << Describe(d);
  }
}

// Numeric escapes are taken as the file's bytes; everything else is text
// that --codepage converts. Each byte knows its line.
TEST(QdfSource, MarksRawBytesAndLines) {
  ParsedSource source;
  Diagnostics d;
  ASSERT_TRUE(ParseOne("a.po", "msgctxt \"K\"\nmsgid \"m\"\nmsgstr \"A\\x41\"\n\"\\101\\n\"\n", &source, &d));
  ASSERT_EQ(source.messages.size(), 1u);
  const SourceText& t = source.messages[0].text;
  ASSERT_EQ(t.bytes, "AAA\n");
  std::vector<uint8_t> raw;
  std::vector<uint32_t> lines;
  for (size_t i = 0; i < t.bytes.size(); ++i) {
    raw.push_back(t.IsRaw(i));
    lines.push_back(t.LineAt(i));
  }
  EXPECT_EQ(raw, (std::vector<uint8_t>{0, 1, 1, 0})) << "got other raw marks, expected only the numeric escapes raw";
  EXPECT_EQ(lines, (std::vector<uint32_t>{3, 3, 4, 4})) << "got other lines, expected 3 3 4 4";
  EXPECT_EQ(source.messages[0].line, 1u) << "got another entry line, expected the msgctxt line";
}

struct BadCase {
  const char* name;
  const char* file;
  std::string input;
  uint32_t line;
  const char* fragment;
};

const BadCase kBad[] = {
    {"unterminated string", "a.txt", "ERMSG_00 = ok\nERMSG_01 = \"no end\n", 2, "unterminated string"},
    {"line that is neither a key nor a comment", "a.txt", "# fine\n\njust some words\n", 3, "expected KEY = text"},
    {"unknown escape", "a.txt", "ERMSG_00 = \"a\\qb\"\n", 1, "unknown escape \\q"},
    {"\\x without digits", "a.txt", "ERMSG_00 = \"\\xg\"\n", 1, "\\x needs"},
    {"octal escape above 255", "a.txt", "ERMSG_00 = \"\\777\"\n", 1, "octal escape"},
    {"backslash ending a bare text", "a.txt", "ERMSG_00 = abc\\\n", 1, "backslash at the end"},
    {"characters after the closing quote", "a.txt", "ERMSG_00 = \"a\" b\n", 1, "after the closing quote"},
    {"unterminated quoted key", "a.txt", "\"ERMSG_00 = a\n", 1, "unterminated string"},
    {"po unterminated string", "a.po", "msgctxt \"ERMSG_00\"\nmsgid \"a\"\nmsgstr \"b\n", 3, "unterminated string"},
    {"po continuation without a keyword", "a.po", "\"stray\"\n", 1, "string without msgctxt"},
    {"po msgstr without msgid", "a.po", "msgctxt \"K\"\nmsgstr \"b\"\n", 2, "msgstr without msgid"},
    {"po unknown keyword", "a.po", "msgctxt \"K\"\nmsgfoo \"a\"\n", 2, "expected msgctxt, msgid, msgstr"},
    {"po keyword without a string", "a.po", "msgctxt \"K\"\nmsgid a\n", 2, "expected a quoted string"},
    {"po plural forms", "a.po",
     "msgctxt \"K\"\nmsgid \"a\"\nmsgid_plural \"as\"\nmsgstr[0] \"b\"\nmsgstr[1] \"bs\"\n", 1, "plural forms"},
    {"po entry without msgstr at the end", "a.po", "msgctxt \"K\"\nmsgid \"a\"\n", 1, "no msgstr"},
    {"po second msgid", "a.po", "msgctxt \"K\"\nmsgid \"a\"\nmsgid \"b\"\nmsgstr \"c\"\n", 3, "msgid without msgstr"},
};

TEST(QdfSource, NamesTheLineOfMalformedSources) {
  for (const BadCase& c : kBad) {
    ParsedSource source;
    Diagnostics d;
    EXPECT_FALSE(ParseOne(c.file, c.input, &source, &d)) << c.name << ": got success, expected an error";
    bool found = false;
    for (const Diagnostic& item : d.items)
      found = found || (item.severity == SEVERITY_ERROR && item.line == c.line && item.file == c.file &&
                        item.message.find(c.fragment) != std::string::npos);
    EXPECT_TRUE(found) << c.name << ": got\n" << Describe(d) << "expected an error at " << c.file << ":" << c.line
                       << " saying \"" << c.fragment << "\"";
  }
}

// A fuzzy flag left pending at the end of one source must not mark the
// first entry of the next call.
TEST(QdfSource, KeepsNothingBetweenCalls) {
  ParsedSource first, second;
  Diagnostics d;
  ParseOne("a.po", "msgctxt \"A\"\nmsgid \"a\"\nmsgstr \"1\"\n#, fuzzy\n", &first, &d);
  ASSERT_TRUE(ParseOne("b.po", "msgctxt \"B\"\nmsgid \"b\"\nmsgstr \"2\"\n", &second, &d));
  EXPECT_EQ(MessagesOf(second), "B=2|") << "got other messages, expected the entry of the second call";
}

TEST(QdfSource, ChoosesTheReaderByExtension) {
  const struct {
    const char* path;
    SourceKind kind;
  } cases[] = {{"de.po", SOURCE_PO},      {"x/DE.PO", SOURCE_PO},  {"t.pot", SOURCE_PO},
               {"msgs.txt", SOURCE_KV},   {"po", SOURCE_KV},       {"dir.po/messages", SOURCE_KV},
               {"messages", SOURCE_KV}};
  for (const auto& c : cases)
    EXPECT_EQ(SourceKindOf(c.path), c.kind) << c.path << ": got the other reader";
}

}  // namespace
