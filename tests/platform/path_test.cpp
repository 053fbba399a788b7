// Splitting and joining paths with msvcrt's meaning, and never beyond a buffer.
#include <gtest/gtest.h>
#include <string.h>

#include <string>

#include "platform/os.h"
#include "platform/path.h"

namespace {

struct SplitCase {
  const char* name;
  std::string path;
  const char* drive;
  std::string dir;
  const char* fname;
  int fits;
};

TEST(SplitPath, GivesDriveDirectoryAndNameLikeTheRuntime) {
  const SplitCase cases[] = {
      {"drive and directory", "C:\\Drivers\\x64\\TRAMOLEW.dll", "C:", "\\Drivers\\x64\\", "TRAMOLEW", 1},
      {"forward slashes", "d:/a/b/name.ext", "d:", "/a/b/", "name", 1},
      {"mixed separators", "C:\\a/b\\c", "C:", "\\a/b\\", "c", 1},
      {"network share", "\\\\server\\share\\drv\\x.dll", "", "\\\\server\\share\\drv\\", "x", 1},
      {"bare name", "TRAMOLEU.DLL", "", "", "TRAMOLEU", 1},
      {"drive without directory", "C:TRAMOLEU.DLL", "C:", "", "TRAMOLEU", 1},
      {"empty", "", "", "", "", 1},
      {"digit is no drive", "1:\\x.dll", "", "1:\\", "x", 1},
      {"drive A:", "A:\\x.dll", "A:", "\\", "x", 1},
      {"drive Z:", "Z:\\x.dll", "Z:", "\\", "x", 1},
      {"drive a:", "a:\\x.dll", "a:", "\\", "x", 1},
      {"drive z:", "z:\\x.dll", "z:", "\\", "x", 1},
      {"@ before A is no drive", "@:\\x.dll", "", "@:\\", "x", 1},
      {"[ after Z is no drive", "[:\\x.dll", "", "[:\\", "x", 1},
      {"` before a is no drive", "`:\\x.dll", "", "`:\\", "x", 1},
      {"{ after z is no drive", "{:\\x.dll", "", "{:\\", "x", 1},
      {"dots in directory", "C:\\a.b\\c", "C:", "\\a.b\\", "c", 1},
      {"directory of 255", "C:\\" + std::string(253, 'd') + "\\f", "C:", "\\" + std::string(253, 'd') + "\\", "f", 1},
      {"directory of 256", "C:\\" + std::string(254, 'd') + "\\f", "", "", "", 0},
      {"name of 256", std::string(256, 'n') + ".dll", "", "", "", 0},
      // The name is measured up to its extension's dot; each row below would
      // be measured short by a slip in that step and overflow the name or
      // directory buffer when split.
      {"bare name without a dot", "README", "", "", "README", 1},
      {"name of 300 without a dot", std::string(300, 'n'), "", "", "", 0},
      {"punctuation before the dot is no dot", "a-" + std::string(300, 'n'), "", "", "", 0},
      {"name that starts with its only dot", "C:\\d\\.profile", "C:", "\\d\\", "", 1},
      {"bare name that starts with its only dot", ".profile", "", "", "", 1},
      {"all extension, 300 long", "C:\\d\\." + std::string(300, 'e'), "C:", "\\d\\", "", 1},
      {"relative directory led by a dot", ".\\d\\" + std::string(300, 'n'), "", "", "", 0},
      {"UTF-8 bytes above 0x7F in the directory", "C:\\Dr\xC3\xBC" "cker\\x.dll", "C:", "\\Dr\xC3\xBC" "cker\\", "x", 1},
      {"UTF-8 bytes above 0x7F before a directory of 300",
       "C:\\Dr\xC3\xBC" "cker\\" + std::string(300, 'd') + "\\x.dll", "", "", "", 0},
      {"root directory only", "\\x.dll", "", "\\", "x", 1},
  };
  for (const SplitCase& c : cases) {
    char drive[OS_MAX_DRIVE + 1], dir[OS_MAX_DIR + 1], fname[OS_MAX_FNAME + 1];
    memset(drive, 'G', sizeof drive);
    memset(dir, 'G', sizeof dir);
    memset(fname, 'G', sizeof fname);
    int fits = OsSplitPath(c.path.c_str(), drive, dir, fname);
    EXPECT_EQ(fits, c.fits) << c.name;
    EXPECT_STREQ(drive, c.drive) << c.name;
    EXPECT_EQ(std::string(dir), c.dir) << c.name;
    EXPECT_STREQ(fname, c.fname) << c.name;
    // The byte behind each part's room is never written.
    EXPECT_EQ(drive[OS_MAX_DRIVE], 'G') << c.name;
    EXPECT_EQ(dir[OS_MAX_DIR], 'G') << c.name;
    EXPECT_EQ(fname[OS_MAX_FNAME], 'G') << c.name;
  }
}

struct SiblingCase {
  const char* name;
  std::string path;
  std::string expected;  // empty: not built
};

TEST(SiblingPath, JoinsDriveDirectoryAndFixedNameOrRefuses) {
  const std::string dir247 = "\\" + std::string(245, 'd') + "\\";  // with the drive: 249 characters
  const std::string dir245 = "\\" + std::string(243, 'd') + "\\";  // drive + directory: 247
  const std::string dir246 = "\\" + std::string(244, 'd') + "\\";  // drive + directory: 248
  const SiblingCase cases[] = {
      {"typical", "C:\\Drivers\\TRAMOLEW.dll", "C:\\Drivers\\TRAMOLED.QDF"},
      {"share", "\\\\srv\\s\\TRAMOLEW.dll", "\\\\srv\\s\\TRAMOLED.QDF"},
      {"no module path", "", "TRAMOLED.QDF"},
      {"bare name", "x.dll", "TRAMOLED.QDF"},
      {"247 characters before the name", "C:" + dir245 + "a.dll", "C:" + dir245 + "TRAMOLED.QDF"},
      {"248 characters before the name: 260 with no room for the terminator", "C:" + dir246 + "a.dll", ""},
      {"249 characters before the name", "C:" + dir247 + "a.dll", ""},
      {"root directory only", "\\x.dll", "\\TRAMOLED.QDF"},
      {"directory too long to split", "C:\\" + std::string(300, 'd') + "\\a.dll", ""},
  };
  for (const SiblingCase& c : cases) {
    char out[OS_MAX_PATH + 8];
    memset(out, 'G', sizeof out);
    int built = BuildSiblingPath(c.path.c_str(), "TRAMOLED.QDF", out);
    EXPECT_EQ(built, c.expected.empty() ? 0 : 1) << c.name;
    EXPECT_EQ(std::string(out), c.expected) << c.name;
    EXPECT_EQ(std::string(out + OS_MAX_PATH, 8), std::string(8, 'G')) << c.name << ": wrote past the buffer";
  }
}

TEST(RootedDirectory, OnlyAPathWhoseDirectoryStartsAtASeparator) {
  const struct {
    const char* path;
    int rooted;
  } cases[] = {
      {"C:\\d\\TRAMOLEU.DLL", 1}, {"\\\\srv\\s\\TRAMOLEU.DLL", 1}, {"/opt/d/TRAMOLEU.DLL", 1},
      {"TRAMOLEU.DLL", 0},        {"C:TRAMOLEU.DLL", 0},           {"d\\TRAMOLEU.DLL", 0},
      {"C:d\\TRAMOLEU.DLL", 0},   {"", 0},
      {"A:\\d\\TRAMOLEU.DLL", 1}, {"Z:\\d\\TRAMOLEU.DLL", 1}, {"a:\\d\\TRAMOLEU.DLL", 1},
      {"z:\\d\\TRAMOLEU.DLL", 1}, {"@:\\d\\TRAMOLEU.DLL", 0}, {"[:\\d\\TRAMOLEU.DLL", 0},
      {"`:\\d\\TRAMOLEU.DLL", 0}, {"{:\\d\\TRAMOLEU.DLL", 0},
  };
  for (const auto& c : cases)
    EXPECT_EQ(PathHasRootedDirectory(c.path), c.rooted) << c.path;
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
