#include <errno.h>
#include <fcntl.h>
#include <signal.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <vector>

#include "tools/qdf/fileio.h"

namespace {

const size_t kInputLimit = 64u << 20;  // sources are small; this keeps a wrong argument harmless

std::string Reason() { return strerror(errno); }

const char* KindOf(mode_t mode) {
  if (S_ISDIR(mode)) return "a directory";
  if (S_ISFIFO(mode)) return "a FIFO (named pipe)";
  if (S_ISCHR(mode) || S_ISBLK(mode)) return "a device";
  if (S_ISSOCK(mode)) return "a socket";
  return "not a regular file";
}

// Opens `path` for reading without waiting for a FIFO's writer, and refuses
// anything but a regular file before a read could block. -1 with `error`.
int OpenRegular(const std::string& path, struct stat* st, std::string* error) {
  int fd = open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
  if (fd < 0) {
    *error = Reason();
    return -1;
  }
  if (fstat(fd, st) != 0) *error = Reason();
  else if (!S_ISREG(st->st_mode)) *error = std::string("it is ") + KindOf(st->st_mode) + ", not a regular file";
  else error->clear();
  if (!error->empty()) {
    close(fd);
    return -1;
  }
  fcntl(fd, F_SETFL, fcntl(fd, F_GETFL) & ~O_NONBLOCK);
  return fd;
}

bool ReadAll(int fd, size_t expected, std::string* data, std::string* error) {
  data->clear();
  data->reserve(expected < kInputLimit ? expected + 1 : kInputLimit + 1);
  char buffer[65536];
  for (;;) {
    ssize_t n = read(fd, buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      *error = Reason();
      return false;
    }
    if (n == 0) return true;
    data->append(buffer, (size_t)n);
    if (data->size() > kInputLimit) {
      *error = "larger than 64 MiB";
      return false;
    }
  }
}

std::string DirectoryOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

std::string BaseOf(const std::string& path) {
  size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

bool CheckTarget(const std::string& target, std::string* error) {
  struct stat st;
  if (lstat(target.c_str(), &st) != 0) {
    if (errno == ENOENT) return true;
    *error = Reason();
    return false;
  }
  if (S_ISREG(st.st_mode) || S_ISLNK(st.st_mode)) return true;
  *error = std::string("it is ") + KindOf(st.st_mode) + "; only a regular file is replaced";
  return false;
}

bool Create(const std::string& target, std::string* temp, intptr_t* handle, std::string* error) {
  std::string pattern = DirectoryOf(target) + "." + BaseOf(target) + ".qdf-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  int fd = mkstemp(name.data());
  if (fd < 0) {
    *error = "cannot create a temporary file beside it: " + Reason();
    return false;
  }
  // The new file gets the old one's permissions, or those a new file gets.
  struct stat st;
  mode_t mode;
  if (stat(target.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
    mode = st.st_mode & 07777;
  } else {
    mode_t mask = umask(0);
    umask(mask);
    mode = 0666 & ~mask;
  }
  fchmod(fd, mode);
  *temp = name.data();
  *handle = fd;
  return true;
}

bool Write(intptr_t handle, const void* data, size_t size, std::string* error) {
  const char* p = static_cast<const char*>(data);
  while (size > 0) {
    ssize_t n = write((int)handle, p, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      *error = n < 0 ? Reason() : std::string("the write made no progress");
      return false;
    }
    p += n;
    size -= (size_t)n;
  }
  return true;
}

bool Flush(intptr_t, std::string*) { return true; }  // unbuffered: write() hands the bytes on

bool Sync(intptr_t handle, std::string* error) {
  if (fsync((int)handle) == 0) return true;
  *error = Reason();
  return false;
}

bool Close(intptr_t handle, std::string* error) {
  if (close((int)handle) == 0) return true;
  *error = Reason();
  return false;
}

bool Replace(const std::string& temp, const std::string& target, std::string* error) {
  if (rename(temp.c_str(), target.c_str()) == 0) return true;
  *error = "cannot rename the temporary file over it: " + Reason();
  return false;
}

void Remove(const std::string& temp) { unlink(temp.c_str()); }

const OutputCalls kSystemCalls = {Create, Write, Flush, Sync, Close, Replace, Remove, CheckTarget};

}  // namespace

const OutputCalls& SystemOutputCalls() { return kSystemCalls; }

bool ReadInput(const std::string& path, std::string* data, std::string* error) {
  if (IsStandardStream(path)) return ReadAll(0, 0, data, error);
  struct stat st;
  int fd = OpenRegular(path, &st, error);
  if (fd < 0) return false;
  bool ok = ReadAll(fd, (size_t)st.st_size, data, error);
  close(fd);
  return ok;
}

bool CheckReadableFile(const std::string& path, std::string* error) {
  struct stat st;
  int fd = OpenRegular(path, &st, error);
  if (fd < 0) return false;
  close(fd);
  return true;
}

bool IdentifyFile(const std::string& path, FileIdentity* identity) {
  struct stat st;
  if (stat(path.c_str(), &st) != 0) return false;
  identity->volume = (uint64_t)st.st_dev;
  identity->index = (uint64_t)st.st_ino;
  return true;
}

bool WriteStandardOutput(const void* data, size_t size) {
  return fwrite(data, 1, size, stdout) == size && fflush(stdout) == 0;
}

bool WriteStandardText(const std::string& utf8) { return WriteStandardOutput(utf8.data(), utf8.size()); }

void PrepareFileIo() {
  // Past a file-size limit write() then fails with EFBIG, which is reported.
  signal(SIGXFSZ, SIG_IGN);
}
