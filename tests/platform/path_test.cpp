// Splitting and joining UTF-8 paths exactly, within the system's limit and never beyond a buffer.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "platform/os.h"
#include "platform/path.h"

namespace {

// Repeats `piece` until the text holds `units` UTF-16 units.
std::string Units(const std::string& piece, size_t units) {
  std::string out;
  while (PathUnits(out.data(), out.size()) < units) out += piece;
  return out;
}

struct SplitCase {
  const char* name;
  std::string path;
  std::string drive;
  std::string dir;
  std::string fname;
};

TEST(SplitPath, GivesDriveDirectoryAndNameOfUtf8Paths) {
  const SplitCase cases[] = {
      {"drive and directory", "C:\\Drivers\\x64\\TRAMOLEW.dll", "C:", "\\Drivers\\x64\\", "TRAMOLEW.dll"},
      {"forward slashes", "d:/a/b/name.ext", "d:", "/a/b/", "name.ext"},
      {"mixed separators", "C:\\a/b\\c", "C:", "\\a/b\\", "c"},
      {"network share", "\\\\server\\share\\drv\\x.dll", "", "\\\\server\\share\\drv\\", "x.dll"},
      {"long-path form", "\\\\?\\C:\\d\\x.dll", "", "\\\\?\\C:\\d\\", "x.dll"},
      {"bare name", "TRAMOLEU.DLL", "", "", "TRAMOLEU.DLL"},
      {"drive without directory", "C:TRAMOLEU.DLL", "C:", "", "TRAMOLEU.DLL"},
      {"empty", "", "", "", ""},
      {"digit is no drive", "1:\\x.dll", "", "1:\\", "x.dll"},
      {"letter outside ASCII is no drive", "\xC3\x84:\\x.dll", "", "\xC3\x84:\\", "x.dll"},
      {"Cyrillic", "C:\\\xD0\x94\xD1\x80\xD0\xB0\xD0\xB9\xD0\xB2\xD0\xB5\xD1\x80\\x.dll", "C:",
       "\\\xD0\x94\xD1\x80\xD0\xB0\xD0\xB9\xD0\xB2\xD0\xB5\xD1\x80\\", "x.dll"},
      // 表 and ソ end in 0x5C in code page 932; in UTF-8 no byte of a
      // character is a separator.
      {"CJK", "C:\\\xE8\xA1\xA8\\\xE3\x82\xBD.dll", "C:", "\\\xE8\xA1\xA8\\", "\xE3\x82\xBD.dll"},
      {"name of 600 bytes", "C:\\d\\" + std::string(600, 'n'), "C:", "\\d\\", std::string(600, 'n')},
  };
  for (const SplitCase& c : cases) {
    PathParts parts;
    ASSERT_EQ(SplitPath(c.path.c_str(), OS_LONG_PATH_BYTES, &parts), 1) << c.name;
    ASSERT_EQ(parts.drive + parts.dir + parts.name, c.path.size()) << c.name << ": parts do not add up";
    EXPECT_EQ(c.path.substr(0, parts.drive), c.drive) << c.name;
    EXPECT_EQ(c.path.substr(parts.drive, parts.dir), c.dir) << c.name;
    EXPECT_EQ(c.path.substr(parts.drive + parts.dir), c.fname) << c.name;
  }
  PathParts parts;
  std::string unterminated(16, 'a');
  EXPECT_EQ(SplitPath(unterminated.data(), 16, &parts), 0) << "no terminator within the limit";
}

TEST(PathUnits, CountsUtf16UnitsOfUtf8) {
  const struct {
    const char* name;
    const char* text;
    size_t units;
  } cases[] = {
      {"ASCII", "abc", 3},
      {"Latin with diacritic", "\xC4\x88" "afe", 4},
      {"Cyrillic", "\xD0\x94\xD0\xB0", 2},
      {"CJK", "\xE6\x95\xB0\xE6\x8D\xAE", 2},
      {"outside the BMP is a surrogate pair", "\xF0\x9F\x96\xA8", 2},
  };
  for (const auto& c : cases)
    EXPECT_EQ(PathUnits(c.text, strlen(c.text)), c.units) << c.name << ": got " << PathUnits(c.text, strlen(c.text))
                                                          << ", expected " << c.units;
}

TEST(Utf8IsValid, RefusesWhatTheSystemCannotConvert) {
  const struct {
    const char* name;
    std::string text;
    int valid;
  } cases[] = {
      {"ASCII", "C:\\a", 1},
      {"two, three and four bytes", "\xC4\x88\xE6\x95\xB0\xF0\x9F\x96\xA8", 1},
      {"lone continuation byte", "\x80", 0},
      {"cut-off sequence", "\xE6\x95", 0},
      {"overlong slash", "\xC0\xAF", 0},
      {"overlong three bytes", "\xE0\x80\xAF", 0},
      {"encoded surrogate", "\xED\xA0\x80", 0},
      {"above U+10FFFF", "\xF4\x90\x80\x80", 0},
      {"code-page byte", "Caf\xE9", 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(Utf8IsValid(c.text.data(), c.text.size()), c.valid) << c.name;
}

struct SiblingCase {
  const char* name;
  std::string path;
  std::string expected;  // empty: not built
};

TEST(SiblingPath, JoinsDriveDirectoryAndFixedNameOrRefuses) {
  // "C:" + dir + "TRAMOLED.QDF" (12) is 259 units when dir is 245 units.
  const std::string dir245 = "\\" + std::string(243, 'd') + "\\";
  const std::string dir246 = "\\" + std::string(244, 'd') + "\\";
  // The same limit in scripts of two and three bytes a character.
  const std::string cyr245 = "\\" + Units("\xD0\x96", 243) + "\\";
  const std::string cyr246 = "\\" + Units("\xD0\x96", 244) + "\\";
  const std::string cjk245 = "\\" + Units("\xE6\x95\xB0", 243) + "\\";
  const std::string cjk246 = "\\" + Units("\xE6\x95\xB0", 244) + "\\";
  const SiblingCase cases[] = {
      {"typical", "C:\\Drivers\\TRAMOLEW.dll", "C:\\Drivers\\TRAMOLED.QDF"},
      {"share", "\\\\srv\\s\\TRAMOLEW.dll", "\\\\srv\\s\\TRAMOLED.QDF"},
      {"no module path", "", "TRAMOLED.QDF"},
      {"bare name", "x.dll", "TRAMOLED.QDF"},
      {"Latin diacritic", "C:\\\xC4\x88" "afe\\TRAMOLEW.dll", "C:\\\xC4\x88" "afe\\TRAMOLED.QDF"},
      {"259 units, ASCII", "C:" + dir245 + "a.dll", "C:" + dir245 + "TRAMOLED.QDF"},
      {"260 units, ASCII", "C:" + dir246 + "a.dll", ""},
      {"259 units, Cyrillic", "C:" + cyr245 + "a.dll", "C:" + cyr245 + "TRAMOLED.QDF"},
      {"260 units, Cyrillic", "C:" + cyr246 + "a.dll", ""},
      {"259 units, CJK (745 bytes)", "C:" + cjk245 + "a.dll", "C:" + cjk245 + "TRAMOLED.QDF"},
      {"260 units, CJK", "C:" + cjk246 + "a.dll", ""},
      {"long file name, short directory", "C:\\d\\" + std::string(600, 'n'), "C:\\d\\TRAMOLED.QDF"},
      {"directory of 300", "C:\\" + std::string(300, 'd') + "\\a.dll", ""},
      {"invalid UTF-8 bytes count no units but still bytes", "C:\\" + std::string(800, '\x80') + "\\a", ""},
  };
  for (const SiblingCase& c : cases) {
    char out[OS_PATH_BYTES + 8];
    memset(out, 'G', sizeof out);
    PathVerdict built = BuildSiblingPath(c.path.c_str(), "TRAMOLED.QDF", out);
    EXPECT_EQ(built, c.expected.empty() ? PATH_TOO_LONG : PATH_BUILT) << c.name;
    EXPECT_EQ(std::string(out), c.expected) << c.name;
    EXPECT_EQ(std::string(out + OS_PATH_BYTES, 8), std::string(8, 'G')) << c.name << ": wrote past the buffer";
  }
}

TEST(RootedSiblingPath, SaysWhichRuleRefused) {
  const struct {
    const char* name;
    const char* path;
    PathVerdict verdict;
  } cases[] = {
      {"drive and directory", "C:\\d\\DRV.DLL", PATH_BUILT},
      {"share", "\\\\srv\\s\\DRV.DLL", PATH_BUILT},
      {"POSIX absolute", "/opt/d/DRV.DLL", PATH_BUILT},
      {"null", nullptr, PATH_NO_PATH},
      {"empty", "", PATH_NO_PATH},
      {"bare name", "DRV.DLL", PATH_NOT_ROOTED},
      {"drive without directory", "C:DRV.DLL", PATH_NOT_ROOTED},
      {"relative directory", "d\\DRV.DLL", PATH_NOT_ROOTED},
      {"drive-relative directory", "C:d\\DRV.DLL", PATH_NOT_ROOTED},
  };
  for (const auto& c : cases) {
    char out[OS_PATH_BYTES];
    memset(out, 'G', sizeof out);
    PathVerdict got = BuildRootedSiblingPath(c.path, "TRAMOLEU.DLL", out);
    EXPECT_EQ(got, c.verdict) << c.name << ": got verdict " << got << ", expected " << c.verdict;
    if (c.verdict != PATH_BUILT) EXPECT_EQ(out[0], '\0') << c.name << ": refused path left text";
  }
  char out[OS_PATH_BYTES];
  std::string tooLong = "C:\\" + std::string(260, 'd') + "\\DRV.DLL";
  EXPECT_EQ(BuildRootedSiblingPath(tooLong.c_str(), "TRAMOLEU.DLL", out), PATH_TOO_LONG);
}

TEST(Strnicmp, IgnoresAsciiCaseOnlyAndStopsAtTheCount) {
  EXPECT_EQ(OsStrnicmp("ERMSG_05", "ermsg_05", 9), 0);
  EXPECT_NE(OsStrnicmp("ERMSG_05", "ERMSG_5", 9), 0);
  EXPECT_EQ(OsStrnicmp("abcX", "ABCY", 3), 0);
  EXPECT_NE(OsStrnicmp("abc", "abcd", 5), 0);
  EXPECT_EQ(OsStrnicmp("abc", "abc", 100), 0);  // stops at the common terminator
  EXPECT_NE(OsStrnicmp("\xC4", "\xE4", 2), 0);  // no folding beyond ASCII
}

}  // namespace
