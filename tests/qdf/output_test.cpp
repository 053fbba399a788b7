// qdf's own file handling: the output step under faults, inputs that are
// outputs, inputs that are not regular files, and the command-line numbers.
#include <dirent.h>
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <fstream>
#include <set>
#include <sstream>

#include "tests/support/temp_dir.h"
#include "tools/qdf/fileio.h"
#include "tools/qdf/numbers.h"

namespace {

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string WriteText(const TempDir& dir, const std::string& name, const std::string& text) {
  return dir.Write(name, std::vector<uint8_t>(text.begin(), text.end()));
}

std::set<std::string> Listing(const std::string& dir) {
  std::set<std::string> names;
  DIR* d = opendir(dir.c_str());
  while (dirent* e = d ? readdir(d) : 0)
    if (std::string(e->d_name) != "." && std::string(e->d_name) != "..") names.insert(e->d_name);
  if (d) closedir(d);
  return names;
}

// ---- the output step under faults -------------------------------------------

enum Step { STEP_CREATE, STEP_WRITE, STEP_FLUSH, STEP_SYNC, STEP_CLOSE, STEP_REPLACE };

// The system's calls, with the `nth` call of one step failing; each call counted.
struct Faults {
  Step step = STEP_CREATE;
  int nth = 1;
  int calls[6] = {};
  int fired = 0;
  int closes = 0, removes = 0;
} g_faults;

bool Fail(Step step, std::string* error) {
  if (step != g_faults.step || ++g_faults.calls[step] != g_faults.nth) return false;
  ++g_faults.fired;
  *error = "injected failure";
  return true;
}

const OutputCalls& Real() { return SystemOutputCalls(); }

bool FaultyCreate(const std::string& target, std::string* temp, intptr_t* handle, std::string* error) {
  return !Fail(STEP_CREATE, error) && Real().create(target, temp, handle, error);
}
bool FaultyWrite(intptr_t handle, const void* data, size_t size, std::string* error) {
  return !Fail(STEP_WRITE, error) && Real().write(handle, data, size, error);
}
bool FaultyFlush(intptr_t handle, std::string* error) {
  return !Fail(STEP_FLUSH, error) && Real().flush(handle, error);
}
bool FaultySync(intptr_t handle, std::string* error) {
  return !Fail(STEP_SYNC, error) && Real().sync(handle, error);
}
bool FaultyClose(intptr_t handle, std::string* error) {
  ++g_faults.closes;
  bool closed = Real().close(handle, error);  // the handle goes either way
  return !Fail(STEP_CLOSE, error) && closed;
}
bool FaultyReplace(const std::string& temp, const std::string& target, std::string* error) {
  return !Fail(STEP_REPLACE, error) && Real().replace(temp, target, error);
}
void CountedRemove(const std::string& temp) {
  ++g_faults.removes;
  Real().remove(temp);
}

const OutputCalls kFaulty = {FaultyCreate, FaultyWrite, FaultyFlush, FaultySync, FaultyClose,
                             FaultyReplace, CountedRemove, Real().checkTarget};

TEST(QdfOutput, EveryFailedStepKeepsTheOldFileAndLeavesNoTemporaryFile) {
  const struct {
    const char* name;
    Step step;
    int nth;
  } cases[] = {
      {"create", STEP_CREATE, 1}, {"first write", STEP_WRITE, 1}, {"second write", STEP_WRITE, 2},
      {"last write", STEP_WRITE, 3}, {"flush", STEP_FLUSH, 1},     {"fsync", STEP_SYNC, 1},
      {"close", STEP_CLOSE, 1},   {"rename", STEP_REPLACE, 1},
  };
  // Three write calls: two whole chunks and a part.
  std::string content(2 * kOutputChunk + 100, 'n');
  for (const auto& c : cases) {
    TempDir dir("qdf-output");
    std::string target = WriteText(dir, "TRAMOLED.QDF", "the old file");
    g_faults = Faults();
    g_faults.step = c.step;
    g_faults.nth = c.nth;
    std::string error;
    bool ok = WriteOutputFile(target, content.data(), content.size(), kFaulty, &error);
    EXPECT_EQ(g_faults.fired, 1) << c.name << ": got the fault fired " << g_faults.fired << " times, expected once";
    EXPECT_FALSE(ok) << c.name << ": got success, expected a failure";
    EXPECT_NE(error.find("injected failure"), std::string::npos)
        << c.name << ": got the reason \"" << error << "\", expected the system's";
    EXPECT_EQ(ReadFile(target), "the old file") << c.name << ": got the old file changed, expected it whole";
    EXPECT_EQ(Listing(dir.path()), std::set<std::string>{"TRAMOLED.QDF"})
        << c.name << ": got other files left in the directory, expected only the target";
    EXPECT_EQ(g_faults.closes, c.step == STEP_CREATE ? 0 : 1)
        << c.name << ": got " << g_faults.closes << " closes, expected the temporary file closed once";
  }
}

TEST(QdfOutput, WithoutFaultsTheTargetHoldsTheNewBytesAndNothingElseIsLeft) {
  TempDir dir("qdf-output");
  std::string target = WriteText(dir, "out.qdf", "old");
  chmod(target.c_str(), 0640);
  g_faults = Faults();
  g_faults.nth = 0;  // never
  std::string content(kOutputChunk + 7, 'x'), error;
  ASSERT_TRUE(WriteOutputFile(target, content.data(), content.size(), kFaulty, &error)) << error;
  EXPECT_EQ(ReadFile(target), content) << "got other bytes in the target, expected the new ones";
  EXPECT_EQ(Listing(dir.path()), std::set<std::string>{"out.qdf"}) << "got files left beside the target";
  struct stat st;
  ASSERT_EQ(stat(target.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0640u) << "got other permissions, expected the old file's 0640";
}

TEST(QdfOutput, TargetsThatAreNotRegularFilesAreRefusedAndLinksReplaced) {
  TempDir dir("qdf-output");
  std::string error;
  EXPECT_FALSE(WriteOutputFile("/dev/null", "x", 1, &error)) << "got /dev/null replaced, expected a refusal";
  EXPECT_NE(error.find("device"), std::string::npos) << "got \"" << error << "\", expected it to say device";
  error.clear();
  EXPECT_FALSE(WriteOutputFile(dir.path(), "x", 1, &error)) << "got a directory replaced, expected a refusal";
  EXPECT_NE(error.find("directory"), std::string::npos) << "got \"" << error << "\", expected it to say directory";

  // Like mv: the link itself is replaced; what it points to stays.
  std::string pointee = WriteText(dir, "pointee", "kept");
  std::string link = dir.path() + "/link";
  ASSERT_EQ(symlink(pointee.c_str(), link.c_str()), 0);
  ASSERT_TRUE(WriteOutputFile(link, "new", 3, &error)) << error;
  struct stat st;
  ASSERT_EQ(lstat(link.c_str(), &st), 0);
  EXPECT_TRUE(S_ISREG(st.st_mode)) << "got the link kept, expected a regular file in its place";
  EXPECT_EQ(ReadFile(link), "new");
  EXPECT_EQ(ReadFile(pointee), "kept") << "got the link's target changed, expected it untouched";
}

// ---- reading ----------------------------------------------------------------

TEST(QdfInput, OnlyRegularFilesAreRead) {
  TempDir dir("qdf-input");
  std::string fifo = dir.path() + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const struct {
    const char* name;
    std::string path;
    const char* says;
  } cases[] = {
      {"FIFO without a writer", fifo, "FIFO"},
      {"device", "/dev/zero", "device"},
      {"directory", dir.path(), "directory"},
      {"missing file", dir.path() + "/none", "No such file"},
  };
  for (const auto& c : cases) {
    std::string data, error;
    EXPECT_FALSE(ReadInput(c.path, &data, &error)) << c.name << ": got it read, expected a refusal";
    EXPECT_NE(error.find(c.says), std::string::npos) << c.name << ": got \"" << error << "\", expected " << c.says;
    error.clear();
    EXPECT_FALSE(CheckReadableFile(c.path, &error)) << c.name << ": got it taken as readable";
  }
}

TEST(QdfInput, IdentityIgnoresTheSpelling) {
  TempDir dir("qdf-input");
  std::string file = WriteText(dir, "a.po", "x");
  std::string hard = dir.path() + "/hard.po", soft = dir.path() + "/soft.po";
  ASSERT_EQ(link(file.c_str(), hard.c_str()), 0);
  ASSERT_EQ(symlink(file.c_str(), soft.c_str()), 0);
  std::string other = WriteText(dir, "b.po", "x");
  FileIdentity a, b;
  ASSERT_TRUE(IdentifyFile(file, &a));
  for (const std::string& same : {dir.path() + "/./a.po", dir.path() + "/../" + dir.path().substr(dir.path().rfind('/') + 1) + "/a.po", hard, soft}) {
    ASSERT_TRUE(IdentifyFile(same, &b)) << same;
    EXPECT_TRUE(SameFile(a, b)) << "got " << same << " taken as another file, expected the same";
  }
  ASSERT_TRUE(IdentifyFile(other, &b));
  EXPECT_FALSE(SameFile(a, b)) << "got two files taken as one";
}

// ---- numbers ----------------------------------------------------------------

TEST(QdfNumbers, CodesAreDecimalOrHexadecimalIn32Bits) {
  const struct {
    const char* text;
    bool ok;
    int32_t code;
  } cases[] = {
      {"0", true, 0},         {"08", true, 8},        {"09", true, 9},          {"010", true, 10},
      {"15", true, 15},       {"-1", true, -1},       {"+7", true, 7},          {"0x10", true, 16},
      {"0X1f", true, 31},     {"0x7fffffff", true, 2147483647}, {"-2147483648", true, INT32_MIN},
      {"2147483647", true, 2147483647}, {"2147483648", false, 0}, {"0x80000000", false, 0},
      {"-2147483649", false, 0}, {"", false, 0},      {"-", false, 0},          {"0x", false, 0},
      {"1e3", false, 0},      {" 1", false, 0},       {"1 ", false, 0},         {"0b1", false, 0},
      {"99999999999999999999999", false, 0},
  };
  for (const auto& c : cases) {
    int32_t code = 12345;
    bool ok = ParseCode(c.text, &code);
    EXPECT_EQ(ok, c.ok) << "\"" << c.text << "\": got " << (ok ? "accepted" : "refused") << ", expected "
                        << (c.ok ? "accepted" : "refused");
    if (ok && c.ok) EXPECT_EQ(code, c.code) << "\"" << c.text << "\": got " << code << ", expected " << c.code;
  }
}

TEST(QdfNumbers, CodePagesAreNumbersOrTheirUsualNames) {
  const struct {
    const char* text;
    uint32_t codepage;  // 0: refused
  } cases[] = {
      {"1252", 1252},        {"01252", 1252},     {"cp1252", 1252},        {"CP1252", 1252},
      {"windows-1252", 1252}, {"Windows-1250", 1250}, {"shift_jis", 932},  {"Shift_JIS", 932},
      {"cp932", 932},        {"gbk", 936},        {"big5", 950},           {"euc-kr", 949},
      {"ks_c_5601-1987", 949}, {"utf-8", 65001},  {"UTF-8", 65001},        {"65535", 65535},
      {"0", 0},              {"65536", 0},        {"-1252", 0},            {"cp", 0},
      {"latin1x", 0},        {"0x4e4", 0},        {"", 0},
  };
  for (const auto& c : cases) {
    uint32_t codepage = 0;
    bool ok = ParseCodepage(c.text, &codepage);
    EXPECT_EQ(ok ? codepage : 0u, c.codepage) << "\"" << c.text << "\": got " << (ok ? codepage : 0u)
                                               << ", expected " << c.codepage << " (0 = refused)";
  }
}

}  // namespace
