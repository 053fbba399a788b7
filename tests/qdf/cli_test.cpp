// The qdf program as a script runs it: arguments, exit codes, messages.
#include <gtest/gtest.h>

#include <stdio.h>

#include <fstream>
#include <sstream>

#include "tests/qdf/qdf_test_util.h"
#include "tests/support/temp_dir.h"
#include "tools/qdf/escape.h"

namespace {

TEST(QdfCli, AnswersHelpAndVersion) {
  TempDir dir("qdf-cli");
  Outcome help = Qdf(dir, "--help");
  EXPECT_EQ(help.exitCode, 0) << "got this exit code for --help, expected 0";
  for (const char* part : {"build SOURCE... -o FILE", "dump FILE", "check FILE", "show FILE", "exit codes", "--json"})
    EXPECT_NE(help.out.find(part), std::string::npos) << "got help without \"" << part << "\":\n" << help.out;
  Outcome commandHelp = Qdf(dir, "build --help");
  EXPECT_EQ(commandHelp.exitCode, 0) << "got this exit code for build --help, expected 0";
  Outcome version = Qdf(dir, "--version");
  EXPECT_EQ(version.exitCode, 0);
  EXPECT_EQ(version.out.compare(0, 4, "qdf "), 0) << "got version output " << version.out;
}

TEST(QdfCli, RefusesBadCommandLines) {
  TempDir dir("qdf-cli");
  std::string src = WriteText(dir, "m.txt", "ERMSG_XX = x\n");
  const struct {
    const char* name;
    std::string arguments;
    const char* fragment;
  } cases[] = {
      {"no command", "", "no command"},
      {"unknown command", "frobnicate", "unknown command"},
      {"build without -o", "build " + src, "needs -o"},
      {"build without sources", "build -o " + dir.path() + "/x.qdf", "at least one source"},
      {"-o without a value", "build " + src + " -o", "needs a value"},
      {"unknown option", "check --frob x.qdf", "unknown option --frob"},
      {"bad code page", "build " + src + " -o " + dir.path() + "/x.qdf --codepage abc", "--codepage wants"},
      {"unknown code page", "build " + src + " -o " + dir.path() + "/x.qdf --codepage 12345", "not known"},
      {"check with two files", "check a b", "one data file"},
      {"show with a bad code", "show " + src + " 99999999999", "not a 32-bit code"},
  };
  for (const auto& c : cases) {
    Outcome r = Qdf(dir, c.arguments);
    EXPECT_EQ(r.exitCode, 2) << c.name << ": got this exit code, expected 2; stderr:\n" << r.err;
    EXPECT_NE(r.err.find(c.fragment), std::string::npos) << c.name << ": got stderr\n" << r.err
                                                         << "expected it to say " << c.fragment;
  }
}

// What a test script does: qdf build src -o out, then look at the file.
TEST(QdfCli, BuildsWhatTheLibraryLoads) {
  TempDir dir("qdf-cli");
  std::string src = WriteText(dir, "m.txt", "# test\nERMSG_00 = zero\nERMSG_XX = \"other\"\n");
  std::string out = dir.path() + "/TRAMOLED.QDF";
  Outcome r = Qdf(dir, "build " + src + " -o " + out);
  EXPECT_EQ(r.exitCode, 0) << "got this exit code, expected 0; stderr:\n" << r.err;
  std::string bytes = ReadFile(out);
  std::vector<uint8_t> expected = BuildMessageFile({{"ERMSG_00", "zero"}, {"ERMSG_XX", "other"}}).bytes;
  EXPECT_EQ(HexBytes(bytes), HexBytes(std::string(expected.begin(), expected.end())))
      << "got these bytes, expected the builder's layout";

  Outcome show = Qdf(dir, "show " + out + " 0 1 -1");
  EXPECT_EQ(show.exitCode, 0) << show.err;
  EXPECT_EQ(show.out,
            "0: \"zero\"  (its own text, ERMSG_00)\n"
            "1: \"other\"  (fallback ERMSG_XX: ERMSG_01 has no text)\n"
            "-1: \"other\"  (fallback ERMSG_XX: the code is outside 0..15)\n")
      << "got this show output, expected the other";
}

TEST(QdfCli, MalformedSourcesNameTheLineAndWriteNothing) {
  TempDir dir("qdf-cli");
  const struct {
    const char* name;
    const char* file;
    const char* source;
    const char* where;  // "file:line:" behind the directory
  } cases[] = {
      {"unterminated string", "a.txt", "ERMSG_00 = fine\nERMSG_01 = \"open\n", "a.txt:2: error: unterminated string"},
      {"neither a key nor a comment", "b.txt", "ERMSG_00 = fine\n\nwhat is this\n", "b.txt:3: error: expected KEY"},
      {"po unterminated string", "c.po", "msgctxt \"ERMSG_00\"\nmsgid \"x\"\nmsgstr \"y\n", "c.po:3: error: unterminated"},
      {"text of 290 bytes", "d.txt", nullptr, "d.txt:1: error: text of \"ERMSG_00\" is 290 bytes"},
      {"unmappable character", "e.txt", "ERMSG_00 = \xE6\x97\xA5\n", "e.txt:1: error: text of \"ERMSG_00\": U+65E5"},
  };
  for (const auto& c : cases) {
    std::string text = c.source ? c.source : "ERMSG_00 = " + std::string(290, 'a') + "\n";
    std::string src = WriteText(dir, c.file, text);
    std::string out = dir.path() + "/out.qdf";
    Outcome r = Qdf(dir, "build " + src + " -o " + out + " --codepage 1252");
    EXPECT_EQ(r.exitCode, 2) << c.name << ": got this exit code, expected 2";
    EXPECT_NE(r.err.find(dir.path() + "/" + c.where), std::string::npos)
        << c.name << ": got stderr\n" << r.err << "expected " << c.where;
    EXPECT_FALSE(Exists(out)) << c.name << ": got an output file, expected none";
  }
}

TEST(QdfCli, ExitCodesFollowTheWorstFinding) {
  TempDir dir("qdf-cli");
  const struct {
    const char* name;
    const char* source;
    const char* extra;
    int build;  // exit code of build
    int check;  // exit code of check on the result
  } cases[] = {
      {"clean", "ERMSG_00 = a\nERMSG_XX = b\n", "", 0, 0},
      {"only notes", "ermsg_00 = a\nERMSG_XX = b\n", "", 0, 0},
      // Like msgfmt, build succeeds when it wrote the file; check still reports.
      {"warning", "ERMSG_7 = a\nERMSG_XX = b\n", "", 0, 1},
      {"warning made an error", "ERMSG_7 = a\nERMSG_XX = b\n", "--werror", 2, -1},
  };
  int n = 0;
  for (const auto& c : cases) {
    std::string src = WriteText(dir, "m.txt", c.source);
    std::string out = dir.path() + "/" + std::to_string(n++) + ".qdf";
    Outcome b = Qdf(dir, "build " + src + " -o " + out + " " + c.extra);
    EXPECT_EQ(b.exitCode, c.build) << c.name << ": build gave this exit code, expected the other; stderr:\n" << b.err;
    if (c.check < 0) {
      EXPECT_FALSE(Exists(out)) << c.name << ": got an output file, expected none";
      continue;
    }
    Outcome k = Qdf(dir, "check " + out);
    EXPECT_EQ(k.exitCode, c.check) << c.name << ": check gave this exit code, expected the other:\n" << k.out;
  }
  Outcome missing = Qdf(dir, "check " + dir.path() + "/none.qdf");
  EXPECT_EQ(missing.exitCode, 2) << "got this exit code for a missing file, expected 2";
  EXPECT_NE(missing.out.find("cannot open"), std::string::npos) << missing.out;
  std::string broken = dir.Write("broken.qdf", BuildMessageFile(TypicalMessages(), nullptr, {}, "OTHER"));
  EXPECT_EQ(Qdf(dir, "check " + broken).exitCode, 2) << "got this exit code for a file without section, expected 2";
}

// Every report must be JSON a machine can read; python, when there, judges.
TEST(QdfCli, CheckJsonIsValidJson) {
  if (system("python3 -c 'import json' >/dev/null 2>&1") != 0) GTEST_SKIP() << "no python3 to read the JSON";
  TempDir dir("qdf-cli");
  const std::vector<QdfImage> files = {
      BuildMessageFile(TypicalMessages()),
      BuildMessageFile({{"ERMSG_00", std::string(300, 'a')}, {"\x01\x80\xFF\"\\", "x"}}),
      QdfImage(),
  };
  for (size_t i = 0; i < files.size(); ++i) {
    std::string path = dir.Write("f" + std::to_string(i) + ".qdf", files[i]);
    std::string json = dir.path() + "/report.json";
    std::string command = std::string("'") + QDF_PROGRAM + "' check --json " + path + " >" + json +
                          "; python3 -c 'import json,sys; json.load(open(sys.argv[1]))' " + json;
    EXPECT_EQ(system(command.c_str()), 0) << "file " << i << ": got JSON python cannot read:\n" << ReadFile(json);
    std::string show = std::string("'") + QDF_PROGRAM + "' show --json " + path + " >" + json +
                       " && python3 -c 'import json,sys; json.load(open(sys.argv[1]))' " + json;
    EXPECT_EQ(system(show.c_str()), 0) << "file " << i << ": got show JSON python cannot read:\n" << ReadFile(json);
  }
}

TEST(QdfCli, DumpWritesASourceThatBuildsTheSameFile) {
  TempDir dir("qdf-cli");
  std::string a = dir.Write("a.qdf", BuildMessageFile(TypicalMessages()));
  std::string src = dir.path() + "/a.txt", po = dir.path() + "/a.po";
  EXPECT_EQ(Qdf(dir, "dump " + a + " -o " + src).exitCode, 0);
  EXPECT_EQ(Qdf(dir, "dump --po " + a + " -o " + po).exitCode, 0);
  for (const std::string& source : {src, po}) {
    std::string b = source + ".qdf";
    Outcome r = Qdf(dir, "build " + source + " -o " + b);
    EXPECT_EQ(r.exitCode, 0) << source << ": " << r.err;
    EXPECT_EQ(HexBytes(ReadFile(b)), HexBytes(ReadFile(a))) << source << ": got other bytes, expected the original";
  }
  Outcome toStdout = Qdf(dir, "dump " + a);
  EXPECT_EQ(toStdout.out, ReadFile(src)) << "got another dump on stdout than in the file";
}

// The English source kept in the repository builds cleanly and fills the
// whole table with texts the library takes whole.
TEST(QdfCli, DefaultEnglishSourceIsClean) {
  TempDir dir("qdf-cli");
  std::string out = dir.path() + "/TRAMOLED.QDF";
  Outcome b = Qdf(dir, std::string("build ") + QDF_DEFAULT_SOURCE + " -o " + out + " --werror");
  ASSERT_EQ(b.exitCode, 0) << b.err;
  CheckReport r = CheckDataFile(out);
  EXPECT_EQ(r.ExitCode(), 0) << Describe(r.findings);
  EXPECT_TRUE(r.findings.items.empty()) << "got findings, expected none:\n" << Describe(r.findings);
  ASSERT_EQ(r.table.size(), 17u);
  for (const TableEntryInfo& e : r.table) {
    EXPECT_TRUE(e.loaded) << e.key << ": got no text, expected one";
    EXPECT_GT(e.text.size(), 10u) << e.key << ": got a text this short";
    EXPECT_LT(e.text.size(), 290u) << e.key << ": got a text the library would refuse";
  }
}

}  // namespace

namespace {

// A German entry whose header names the code page; `extra` goes into the header.
std::string HeaderPo(const std::string& codepageLine) {
  return "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=UTF-8\\n\"\n" + codepageLine +
         "\nmsgctxt \"ERMSG_00\"\nmsgid \"Paper jam\"\nmsgstr \"Papierstau im F\xC3\xBChrungsbereich\"\n";
}

TEST(QdfCli, HeaderCodepageStandsInForTheOption) {
  TempDir dir("qdf-cli");
  std::string plain = WriteText(dir, "plain.po", HeaderPo(""));
  Outcome reference = Qdf(dir, "build " + plain + " -o " + dir.path() + "/ref.qdf --codepage 1252");
  ASSERT_EQ(reference.exitCode, 0) << "reference build: got this exit code, expected 0; stderr:\n" << reference.err;
  std::string expected = ReadFile(dir.path() + "/ref.qdf");
  ASSERT_NE(expected.find("F\xFChrung"), std::string::npos) << "reference build: got no cp1252 \xC3\xBC in the file";
  const struct {
    const char* name;
    const char* header;
    const char* option;
    int exitCode;
    const char* fragment;  // in stderr, or "" for a file equal to the reference
  } cases[] = {
      {"header alone", "\"X-Codepage: 1252\\n\"", "", 0, ""},
      {"header as a name", "\"X-Codepage: cp1252\\n\"", "", 0, ""},
      {"option wins over the header", "\"X-Codepage: 1251\\n\"", "--codepage 1252", 0, ""},
      {"header followed", "\"X-Codepage: 1251\\n\"", "", 2, "U+00FC"},
      {"header not a code page", "\"X-Codepage: latin\\n\"", "", 2, "X-Codepage \"latin\""},
  };
  for (const auto& c : cases) {
    std::string src = WriteText(dir, "h.po", HeaderPo(c.header));
    std::string out = dir.path() + "/h.qdf";
    remove(out.c_str());
    Outcome r = Qdf(dir, "build " + src + " -o " + out + " " + c.option);
    EXPECT_EQ(r.exitCode, c.exitCode) << c.name << ": got this exit code, expected " << c.exitCode << "; stderr:\n"
                                      << r.err;
    if (*c.fragment) {
      EXPECT_NE(r.err.find(c.fragment), std::string::npos) << c.name << ": got stderr\n" << r.err << "expected "
                                                           << c.fragment;
    } else {
      EXPECT_EQ(ReadFile(out), expected) << c.name << ": got a file unlike the --codepage 1252 build";
    }
  }
}

}  // namespace

namespace {

// The shipped template is what qdf derives from the English source; only the
// comment naming the tool that made it may differ.
TEST(QdfCli, TemplateMatchesTheShippedOne) {
  TempDir dir("qdf-cli");
  std::string source = QDF_DEFAULT_SOURCE;
  std::string shipped = ReadFile(source.substr(0, source.find_last_of('/')) + "/messages.pot");
  ASSERT_FALSE(shipped.empty()) << "got no data/messages.pot";
  const std::string script = "Made by data/make-template.sh", tool = "Made by qdf template";
  size_t at = shipped.find(script);
  ASSERT_NE(at, std::string::npos) << "got a template whose comment does not say what made it";
  shipped.replace(at, script.size(), tool);
  Outcome r = Qdf(dir, "template " + source + " -o " + dir.path() + "/t.pot");
  ASSERT_EQ(r.exitCode, 0) << "got this exit code, expected 0; stderr:\n" << r.err;
  EXPECT_EQ(ReadFile(dir.path() + "/t.pot"), shipped) << "got a template unlike data/messages.pot";
}

TEST(QdfCli, TemplateTakesTextsAsUtf8) {
  TempDir dir("qdf-cli");
  std::string src = WriteText(dir, "l1.po",
                              "msgid \"\"\nmsgstr \"\"\n\"Content-Type: text/plain; charset=ISO-8859-1\\n\"\n"
                              "\"Project-Id-Version: demo 2\\n\"\n\n"
                              "msgctxt \"ERMSG_00\"\nmsgid \"x\"\nmsgstr \"F\xFChrung \\\"a\\\"\"\n\n"
                              "msgctxt \"ERMSG_01\"\nmsgid \"Untranslated\"\nmsgstr \"\"\n");
  Outcome r = Qdf(dir, "template " + src);
  ASSERT_EQ(r.exitCode, 0) << "got this exit code, expected 0; stderr:\n" << r.err;
  for (const char* part : {"Project-Id-Version: demo 2\\n", "charset=UTF-8",
                           "msgctxt \"ERMSG_00\"\nmsgid \"F\xC3\xBChrung \\\"a\\\"\"\nmsgstr \"\"\n",
                           "msgctxt \"ERMSG_01\"\nmsgid \"Untranslated\"\nmsgstr \"\"\n"})
    EXPECT_NE(r.out.find(part), std::string::npos) << "got template\n" << r.out << "expected it to hold " << part;
}

}  // namespace

namespace {

// What a shell command prints to stdout and stderr together.
std::string RunShell(const TempDir& dir, const std::string& command) {
  std::string log = dir.path() + "/run.log";
  int status = system((command + " >" + log + " 2>&1").c_str());
  return ReadFile(log) + (status == 0 ? "" : "(failed)");
}

// A shipped file dumped with the template merges back into it whole.
TEST(QdfCli, DumpWithTheTemplateMergesBack) {
  TempDir dir("qdf-cli");
  std::string source = QDF_DEFAULT_SOURCE;
  std::string data = source.substr(0, source.find_last_of('/'));
  std::string built = dir.path() + "/de.qdf";
  Outcome b = Qdf(dir, "build " + data + "/de.po --codepage 1252 -o " + built);
  ASSERT_EQ(b.exitCode, 0) << "build of de.po: got this exit code, expected 0; stderr:\n" << b.err;
  const struct {
    const char* name;
    std::string option;
    bool keepsAll;  // 17 translated after msgmerge
  } cases[] = {
      {"with the template", "--template " + data + "/messages.pot", true},
      {"without it (msgids are the German texts)", "", false},
  };
  for (const auto& c : cases) {
    std::string dump = dir.path() + "/de.dump.po", merged = dir.path() + "/de.merged.po";
    Outcome d = Qdf(dir, "dump " + built + " --po --codepage 1252 " + c.option + " -o " + dump);
    ASSERT_EQ(d.exitCode, 0) << c.name << ": dump got this exit code, expected 0; stderr:\n" << d.err;
    std::string merge = RunShell(dir, "msgmerge -q " + dump + " " + data + "/messages.pot -o " + merged);
    ASSERT_EQ(merge.find("(failed)"), std::string::npos) << c.name << ": msgmerge failed:\n" << merge;
    std::string stats = RunShell(dir, "msgfmt --statistics -o /dev/null " + merged);
    bool all = stats.compare(0, 23, "17 translated messages.") == 0;
    EXPECT_EQ(all, c.keepsAll) << c.name << ": got msgfmt --statistics \"" << stats << "\", expected "
                               << (c.keepsAll ? "" : "fewer than ") << "17 translated messages";
  }
}

}  // namespace

namespace {

// A translation layered over a fallback: each key from the first source
// that has it, and nothing shadowed that check would flag for ever.
TEST(QdfCli, LayeredSourcesWriteNoShadowedRecord) {
  TempDir dir("qdf-cli");
  std::string first = WriteText(dir, "de.txt", "ERMSG_00 = Null\nERMSG_XX = Sonst\n");
  std::string second = WriteText(dir, "en.txt", "ERMSG_00 = zero\nERMSG_01 = one\nERMSG_XX = other\n");
  std::string out = dir.path() + "/x.qdf";
  Outcome b = Qdf(dir, "build " + first + " " + second + " -o " + out);
  ASSERT_EQ(b.exitCode, 0) << "got this exit code, expected 0; stderr:\n" << b.err;
  EXPECT_EQ(b.err.find("duplicate-key"), std::string::npos) << "got stderr\n" << b.err << "expected no duplicate-key";
  EXPECT_NE(b.err.find("en.txt: note: ERMSG_01 came from this source"), std::string::npos)
      << "got stderr\n" << b.err << "expected a note that ERMSG_01 came from en.txt";
  Outcome c = Qdf(dir, "check " + out);
  EXPECT_EQ(c.exitCode, 0) << "check: got this exit code, expected 0; stdout:\n" << c.out;
  Outcome d = Qdf(dir, "dump " + out);
  const char* expected = "ERMSG_00 = \"Null\"\nERMSG_XX = \"Sonst\"\nERMSG_01 = \"one\"\n";
  EXPECT_NE(d.out.find(expected), std::string::npos) << "got the records\n" << d.out << "expected\n" << expected;
  Outcome same = Qdf(dir, "build " + second + " " + second + " -o " + dir.path() + "/y.qdf");
  EXPECT_EQ(same.err.find("from-later-source"), std::string::npos)
      << "a source layered over itself: got stderr\n" << same.err << "expected no key from the later one";
}

}  // namespace
