// The qdf program's files as a user meets them: a failed or killed build
// keeps the old file, an output that is an input is refused, inputs that
// could block are refused at once, and the usual command-line forms work.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include "tests/qdf/qdf_test_util.h"

namespace {

const char kSource[] = "ERMSG_00 = zero\nERMSG_XX = other\n";

// A good data file at dir/TRAMOLED.QDF, built by qdf itself.
std::string GoodTarget(const TempDir& dir) {
  std::string src = WriteText(dir, "old.txt", "ERMSG_00 = the old text\nERMSG_XX = old\n");
  std::string target = dir.path() + "/TRAMOLED.QDF";
  Outcome r = Qdf(dir, "build " + src + " -o " + target);
  EXPECT_EQ(r.exitCode, 0) << r.err;
  return target;
}

// Files in the directory whose names show them as qdf's temporary files.
int TemporaryFiles(const TempDir& dir) {
  Outcome r;
  std::string command = "ls -a '" + dir.path() + "' | grep -c '\\.qdf-' > '" + dir.path() + "/count'";
  if (system(command.c_str()) < 0) return -1;
  return atoi(ReadFile(dir.path() + "/count").c_str());
}

TEST(QdfFiles, AWriteFailureKeepsTheOldFileAndExits2) {
  TempDir dir("qdf-files");
  std::string target = GoodTarget(dir);
  std::string old = ReadFile(target);
  // A file-size limit of one block stands in for a full disk; the output is larger.
  std::string big = "ERMSG_XX = " + std::string(280, 'x') + "\n";
  for (int i = 0; i < 16; ++i) big += "ERMSG_" + std::string(i < 10 ? "0" : "") + std::to_string(i) + " = " + std::string(280, 'a' + i) + "\n";
  std::string src = WriteText(dir, "big.txt", big);
  for (const char* command : {"build", "dump"}) {
    std::string arguments = std::string(command) == "build" ? "build " + src + " -o " + target
                                                            : "dump " + dir.path() + "/big.qdf -o " + target;
    if (std::string(command) == "dump") ASSERT_EQ(Qdf(dir, "build " + src + " -o " + dir.path() + "/big.qdf").exitCode, 0);
    Outcome r = Qdf(dir, arguments, "ulimit -f 1;");
    EXPECT_EQ(r.exitCode, 2) << command << ": got exit " << r.exitCode << ", expected 2; stderr:\n" << r.err;
    EXPECT_NE(r.err.find(target + ": error: cannot write: File too large"), std::string::npos)
        << command << ": got stderr\n" << r.err << "expected it to name the file and the reason";
    EXPECT_EQ(ReadFile(target), old) << command << ": got the old file changed, expected it byte for byte";
    EXPECT_EQ(TemporaryFiles(dir), 0) << command << ": got a temporary file left";
  }
}

TEST(QdfFiles, AKilledBuildLeavesTheOldFileOrTheNewOneWhole) {
  TempDir dir("qdf-files");
  std::string target = GoodTarget(dir);
  std::string old = ReadFile(target);
  // Many records, so that the kill can land in the middle of the work.
  std::string big;
  for (int i = 0; i < 200000; ++i) big += "APP_" + std::to_string(i) + " = some text of a message\n";
  big += kSource;
  std::string src = WriteText(dir, "big.txt", big);
  std::string built;
  for (int delay = 0; delay <= 300; delay += 20) {
    pid_t child = fork();
    if (child == 0) {
      freopen("/dev/null", "w", stderr);
      execl(QDF_PROGRAM, QDF_PROGRAM, "build", src.c_str(), "-o", target.c_str(), (char*)0);
      _exit(127);
    }
    ASSERT_GT(child, 0);
    usleep((useconds_t)delay * 1000);
    kill(child, SIGKILL);
    int status;
    waitpid(child, &status, 0);
    std::string now = ReadFile(target);
    if (now != old) built = now;
    EXPECT_TRUE(now == old || now.size() > old.size() * 100)
        << "kill after " << delay << " ms: got a file of " << now.size() << " bytes, expected the old "
        << old.size() << " bytes or the whole new file";
    if (now != old) break;
  }
  if (!built.empty()) {
    Outcome r = Qdf(dir, "check -q " + target);
    EXPECT_NE(r.exitCode, 2) << "got the file that stayed broken:\n" << r.out.substr(0, 2000);
  }
}

TEST(QdfFiles, AnOutputThatIsAnInputIsRefused) {
  TempDir dir("qdf-files");
  std::string src = WriteText(dir, "m.txt", kSource);
  std::string base = dir.path().substr(dir.path().rfind('/') + 1);
  ASSERT_EQ(link(src.c_str(), (dir.path() + "/hard.txt").c_str()), 0);
  ASSERT_EQ(symlink(src.c_str(), (dir.path() + "/soft.txt").c_str()), 0);
  std::string data = dir.path() + "/TRAMOLED.QDF";
  ASSERT_EQ(Qdf(dir, "build " + src + " -o " + data).exitCode, 0);
  ASSERT_EQ(link(data.c_str(), (dir.path() + "/hard.qdf").c_str()), 0);
  const struct {
    const char* name;
    std::string arguments;
    std::string kept;
  } cases[] = {
      {"build, the same name", "build " + src + " -o " + src, src},
      {"build, a .. path", "build " + src + " -o " + dir.path() + "/../" + base + "/m.txt", src},
      {"build, a hard link", "build " + src + " -o " + dir.path() + "/hard.txt", src},
      {"build, a symbolic link as output", "build " + src + " -o " + dir.path() + "/soft.txt", src},
      {"build, a symbolic link as input", "build " + dir.path() + "/soft.txt -o " + src, src},
      {"build, the second source", "build " + data + ".none " + src + " -o " + src, src},
      {"dump, the same name", "dump " + data + " -o " + data, data},
      {"dump, a hard link", "dump " + data + " -o " + dir.path() + "/hard.qdf", data},
  };
  for (const auto& c : cases) {
    std::string before = ReadFile(c.kept);
    Outcome r = Qdf(dir, c.arguments);
    EXPECT_EQ(r.exitCode, 2) << c.name << ": got exit " << r.exitCode << ", expected 2; stderr:\n" << r.err;
    EXPECT_NE(r.err.find("[output-is-input]"), std::string::npos) << c.name << ": got stderr\n" << r.err;
    EXPECT_EQ(ReadFile(c.kept), before) << c.name << ": got the input changed, expected it whole";
  }
}

TEST(QdfFiles, InputsThatCouldBlockAreRefusedAtOnce) {
  TempDir dir("qdf-files");
  std::string fifo = dir.path() + "/fifo";
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  const struct {
    const char* name;
    std::string path;
    const char* says;
  } inputs[] = {{"FIFO", fifo, "FIFO"}, {"device", "/dev/zero", "device"}, {"directory", dir.path(), "directory"}};
  for (const auto& in : inputs)
    for (const char* command : {"check", "show", "dump", "build"}) {
      std::string arguments = std::string(command) + " " + in.path;
      if (std::string(command) == "build") arguments += " -o " + dir.path() + "/out.qdf";
      // timeout: a blocked read fails the test instead of hanging it.
      Outcome r = Qdf(dir, arguments, "timeout 20");
      EXPECT_EQ(r.exitCode, 2) << in.name << ", " << command << ": got exit " << r.exitCode << ", expected 2";
      EXPECT_NE((r.out + r.err).find(in.says), std::string::npos)
          << in.name << ", " << command << ": got\n" << r.out << r.err << "expected it to say " << in.says;
    }
}

TEST(QdfFiles, DashIsStandardInputAndOutputAndOptionsTakeEqualsValues) {
  TempDir dir("qdf-files");
  std::string src = WriteText(dir, "m.txt", kSource);
  std::string po = WriteText(dir, "m.po",
                             "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n"
                             "msgctxt \"ERMSG_00\"\nmsgid \"zero\"\nmsgstr \"\xE3\x82\xBC\xE3\x83\xAD\"\n\n"
                             "msgctxt \"ERMSG_XX\"\nmsgid \"other\"\nmsgstr \"\xE4\xBB\x96\"\n");
  std::string file = dir.path() + "/file.qdf";
  ASSERT_EQ(Qdf(dir, "build " + src + " -o " + file).exitCode, 0);
  std::string expected = ReadFile(file);

  Outcome viaStreams = Qdf(dir, "build - -o -", "cat " + src + " |");
  EXPECT_EQ(viaStreams.exitCode, 0) << viaStreams.err;
  EXPECT_EQ(viaStreams.out, expected) << "got other bytes from build - -o -, expected those of the file build";
  EXPECT_FALSE(Exists(dir.path() + "/-")) << "got a file named -, expected standard output";

  Outcome check = Qdf(dir, "check -", "cat " + file + " |");
  EXPECT_EQ(check.exitCode, 0) << check.out;
  Outcome dump = Qdf(dir, "dump - --output=" + dir.path() + "/dumped.txt", "cat " + file + " |");
  EXPECT_EQ(dump.exitCode, 0) << dump.err;
  EXPECT_NE(ReadFile(dir.path() + "/dumped.txt").find("ERMSG_00 = \"zero\""), std::string::npos)
      << "got --output=FILE not written";

  // A .po on standard input is told by its msgid lines.
  std::string sjis = dir.path() + "/sjis.qdf", named = dir.path() + "/named.qdf";
  Outcome poIn = Qdf(dir, "build --codepage=932 - --output=" + sjis, "cat " + po + " |");
  EXPECT_EQ(poIn.exitCode, 0) << poIn.err;
  Outcome byName = Qdf(dir, "build --codepage shift_jis " + po + " -o " + named);
  EXPECT_EQ(byName.exitCode, 0) << byName.err;
  EXPECT_EQ(ReadFile(sjis), ReadFile(named)) << "got --codepage=932 and --codepage shift_jis differing";
  EXPECT_NE(ReadFile(sjis).find("\x83\x5B\x83\x8D"), std::string::npos) << "got no Shift_JIS bytes for the text";

  Outcome show = Qdf(dir, "show " + file + " 00 010 08");
  EXPECT_EQ(show.exitCode, 0) << show.err;
  EXPECT_EQ(show.out.substr(0, show.out.find('\n')), "0: \"zero\"  (its own text, ERMSG_00)");
  EXPECT_NE(show.out.find("\n10: \"other\""), std::string::npos) << "got 010 read otherwise:\n" << show.out;
  EXPECT_NE(show.out.find("\n8: \"other\""), std::string::npos) << "got 08 read otherwise:\n" << show.out;
  Outcome flagValue = Qdf(dir, "check --json=yes " + file);
  EXPECT_EQ(flagValue.exitCode, 2);
  EXPECT_NE(flagValue.err.find("--json takes no value"), std::string::npos) << flagValue.err;
}

TEST(QdfFiles, ARealFullDiskKeepsTheOldFile) {
  // A small filesystem of our own needs fuse2fs and a usable /dev/fuse.
  if (system("command -v fuse2fs >/dev/null 2>&1 && command -v mke2fs >/dev/null 2>&1") != 0 ||
      access("/dev/fuse", R_OK | W_OK) != 0)
    GTEST_SKIP() << "no fuse2fs or no access to /dev/fuse: a small filesystem cannot be made without privileges";
  TempDir dir("qdf-files");
  std::string image = dir.path() + "/fs.img", mount = dir.path() + "/mnt";
  ASSERT_EQ(mkdir(mount.c_str(), 0700), 0);
  ASSERT_EQ(system(("mke2fs -q -F -t ext2 '" + image + "' 128k >/dev/null 2>&1").c_str()), 0);
  ASSERT_EQ(system(("fuse2fs -o fakeroot '" + image + "' '" + mount + "' >/dev/null 2>&1").c_str()), 0);
  std::string target = mount + "/TRAMOLED.QDF";
  std::string src = WriteText(dir, "m.txt", kSource);
  ASSERT_EQ(Qdf(dir, "build " + src + " -o " + target).exitCode, 0);
  std::string old = ReadFile(target);
  std::string big;
  for (int i = 0; i < 20000; ++i) big += "APP_" + std::to_string(i) + " = some text of a message\n";
  Outcome r = Qdf(dir, "build " + WriteText(dir, "big.txt", big + kSource) + " -o " + target);
  EXPECT_EQ(r.exitCode, 2) << r.err.substr(0, 500);
  EXPECT_EQ(ReadFile(target), old) << "got the old file changed on a full disk";
  system(("fusermount -u '" + mount + "'").c_str());
}

}  // namespace
