// The entry procedure: where it looks for the data file, and that it always
// reports success.
#include <gtest/gtest.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "entry/lifecycle.h"
#include "messages/messages.h"
#include "tests/support/paths.h"
#include "tests/support/qdf_builder.h"
#include "tests/support/stand_in.h"
#include "tests/support/temp_dir.h"

namespace {

QdfImage FallbackOnly(const std::string& text) { return BuildMessageFile({{"ERMSG_XX", text}}); }

class EntryTest : public StandInTest {
 protected:
  // Runs the attach as the loader would and reports what the table answers.
  std::string Attach() {
    EXPECT_EQ(DllMain(nullptr, ENTRY_PROCESS_ATTACH, nullptr), 1);
    return DALVIRE_GetErrorMsg(-1);
  }
  void Detach() { EXPECT_EQ(DllMain(nullptr, ENTRY_PROCESS_DETACH, nullptr), 1); }
  std::string MakeDir(const std::string& name) {
    std::string path = dir_.path() + "/" + name;
    mkdir(path.c_str(), 0755);
    return path;
  }
  TempDir dir_;
};

// Runs a test body with the current directory set to `dir`.
class InDirectory {
 public:
  explicit InDirectory(const std::string& dir) {
    if (!getcwd(saved_, sizeof saved_) || chdir(dir.c_str()) != 0) abort();
  }
  ~InDirectory() {
    if (chdir(saved_) != 0) abort();
  }

 private:
  char saved_[PATH_MAX];
};

TEST_F(EntryTest, FindsTheDataFileBesideTheLibrary) {
  const struct {
    const char* name;
    std::string directory;  // relative to the temp dir
    std::string moduleName;
  } cases[] = {
      {"plain directory", "lib", "TRAMOLEW.dll"},
      {"directory with spaces", "Program Files/Printer Driver x64", "TRAMOLEW.dll"},
      {"any module name", "other", "renamed.dll"},
  };
  for (const auto& c : cases) {
    std::string dir = dir_.path() + "/" + c.directory;
    std::filesystem::create_directories(dir);
    dir_.Write(c.directory + "/TRAMOLED.QDF", FallbackOnly(c.name));
    OsTestSetModulePath((dir + "/" + c.moduleName).c_str());
    EXPECT_EQ(Attach(), c.name) << c.name;
    Detach();
    EXPECT_EQ(std::string(DALVIRE_GetErrorMsg(-1)), "") << c.name << ": detach leaves texts";
  }
}

TEST_F(EntryTest, ShareWithoutDriveLetter) {
  // "//dir/..." is a path without drive, led by two separators, like a share.
  std::string dir = MakeDir("share");
  dir_.Write("share/TRAMOLED.QDF", FallbackOnly("from the share"));
  OsTestSetModulePath(("/" + dir + "/TRAMOLEW.dll").c_str());
  EXPECT_EQ(Attach(), "from the share");
  Detach();
}

TEST_F(EntryTest, NoDataFileLoadsNothingButSucceeds) {
  OsTestSetModulePath((MakeDir("empty") + "/TRAMOLEW.dll").c_str());
  EXPECT_EQ(Attach(), "");
  EXPECT_EQ(NewAllocations(), 0);
  Detach();
}

TEST_F(EntryTest, WithoutItsOwnPathTheBareNameIsUsed) {
  // The platform gives no path at all: the data file is looked for by its
  // bare name, in the current directory.
  std::string cwd = MakeDir("cwd");
  dir_.Write("cwd/TRAMOLED.QDF", FallbackOnly("cwd"));
  InDirectory in(cwd);
  OsFaultArm(OS_FAULT_MODULE_PATH, 1);
  EXPECT_EQ(Attach(), "cwd");
  EXPECT_EQ(OsFaultFired(OS_FAULT_MODULE_PATH), 1u);
  Detach();
}

TEST_F(EntryTest, AnUnusablePathLoadsNothingAndNeverTheCurrentDirectory) {
  // The current directory holds a planted data file; a directory that a
  // cut-off path would reach holds another.
  std::string cwd = MakeDir("cwd");
  dir_.Write("cwd/TRAMOLED.QDF", FallbackOnly("planted"));
  std::string sub = MakeDir("d");
  dir_.Write("d/TRAMOLED.QDF", FallbackOnly("wrong"));
  InDirectory in(cwd);
  const struct {
    const char* name;
    std::string modulePath;
  } cases[] = {
      {"cut off (fills the system's buffer)", sub + "/" + std::string(OS_LONG_PATH_UNITS, 'x') + "/TRAMOLEW.dll"},
      {"long path whose UTF-8 form does not fit", sub + "/" + std::string(OS_PATH_BYTES, 'x') + "/TRAMOLEW.dll"},
      {"not convertible to UTF-8", sub + "/\xED\xA0\x80/TRAMOLEW.dll"},
  };
  for (const auto& c : cases) {
    OsTestSetModulePath(c.modulePath.c_str());
    uint32_t opens = OsFaultCalls(OS_FAULT_OPEN_FILE);
    EXPECT_EQ(Attach(), "") << c.name;
    EXPECT_EQ(OsFaultCalls(OS_FAULT_OPEN_FILE), opens) << c.name << ": a file was opened";
    Detach();
  }
}

TEST_F(EntryTest, FindsItsOwnDataFileInAnyScriptUpToTheLongestPath) {
  // Look-alike directories hold decoys: a library in "Ĉafe" must not read
  // "Cafe", the best-fit ANSI form of its directory.
  std::string cwd = MakeDir("cwd");
  dir_.Write("cwd/TRAMOLED.QDF", FallbackOnly("planted"));
  MakeDir("Cafe");
  dir_.Write("Cafe/TRAMOLED.QDF", FallbackOnly("decoy"));
  InDirectory in(cwd);
  const struct {
    const char* name;
    std::string library;  // empty: the directory is made to the given length
    const char* character;
    size_t units;  // of the data-file path (the library's own path is as long)
    const char* expected;
  } cases[] = {
      {"Latin, lossy in ANSI", "Ĉafe", nullptr, 0, "Latin, lossy in ANSI"},
      {"Cyrillic", "Драйвер", nullptr, 0, "Cyrillic"},
      {"CJK", PATH_CJK_DIR, nullptr, 0, "CJK"},
      {"259 units, ASCII", "", "a", 259, "259 units, ASCII"},
      {"259 units, CJK", "", PATH_CJK, 259, "259 units, CJK"},
      {"260 units, ASCII", "", "a", 260, ""},
      {"260 units, CJK", "", PATH_CJK, 260, ""},
  };
  for (const auto& c : cases) {
    std::string data = c.library.empty() ? PathOfUnits(dir_.path(), c.character, c.units, "TRAMOLED.QDF")
                                         : MakeDir(c.library) + "/TRAMOLED.QDF";
    dir_.Write(data.substr(dir_.path().size() + 1), FallbackOnly(c.name));
    std::string module = data.substr(0, data.size() - strlen("TRAMOLED.QDF")) + "TRAMOLEW.dll";
    OsTestSetModulePath(module.c_str());
    uint32_t opens = OsFaultCalls(OS_FAULT_OPEN_FILE);
    std::string got = Attach();
    EXPECT_EQ(got, c.expected) << c.name << ": got \"" << got << "\", expected \"" << c.expected << "\"";
    if (!*c.expected) EXPECT_EQ(OsFaultCalls(OS_FAULT_OPEN_FILE), opens) << c.name << ": a file was opened";
    Detach();
  }
}

TEST_F(EntryTest, DataFilePathThatWouldNotFitIsNotBuilt) {
  // A short module name leaves a directory whose data-file path needs more
  // than 259 units; a cut-off copy of it must not be opened.
  std::string dir = dir_.path() + "/";
  size_t room = 250 - dir.size();  // directory of 250 characters with its separator
  std::string deep = dir + std::string(room - 1, 'p');
  ASSERT_EQ(mkdir(deep.c_str(), 0755), 0);
  std::string module = deep + "/a.dll";
  ASSERT_LT(module.size(), (size_t)OS_MAX_PATH);
  dir_.Write(deep.substr(dir.size()) + "/TRAMOLED.QDF", FallbackOnly("too deep"));
  OsTestSetModulePath(module.c_str());
  uint32_t opens = OsFaultCalls(OS_FAULT_OPEN_FILE);
  EXPECT_EQ(Attach(), "");
  EXPECT_EQ(OsFaultCalls(OS_FAULT_OPEN_FILE), opens) << "nothing was opened";
  Detach();
}

TEST_F(EntryTest, ThreadReasonsChangeNothingAndEveryReasonSucceeds) {
  std::string dir = MakeDir("lib");
  dir_.Write("lib/TRAMOLED.QDF", FallbackOnly("loaded"));
  OsTestSetModulePath((dir + "/TRAMOLEW.dll").c_str());
  EXPECT_EQ(SetChildInfo(), 0) << "before attach";
  EXPECT_EQ(Attach(), "loaded");
  const char* before = DALVIRE_GetErrorMsg(3);
  int64_t blocks = NewAllocations();
  // Thread attach, thread detach and reasons the loader never gives.
  for (uint32_t reason : {2u, 3u, 7u, 0xFFFFFFFFu}) {
    EXPECT_EQ(DllMain(nullptr, reason, nullptr), 1) << "reason " << reason;
    EXPECT_EQ(DALVIRE_GetErrorMsg(3), before) << "reason " << reason;
    EXPECT_EQ(NewAllocations(), blocks) << "reason " << reason;
  }
  EXPECT_EQ(SetChildInfo(), 0) << "while loaded";
  Detach();
  EXPECT_EQ(NewAllocations(), 0);
  EXPECT_EQ(SetChildInfo(), 0) << "after detach";
}

}  // namespace
