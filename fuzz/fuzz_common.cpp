#include "fuzz/fuzz_common.h"

#include <fcntl.h>
#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

namespace {
std::string gDir;
std::string gPath;

void RemoveScratch() {
  unlink(gPath.c_str());
  rmdir(gDir.c_str());
}
}  // namespace

const std::string& FuzzScratchFile() {
  if (!gPath.empty()) return gPath;
  const char* base = getenv("TRAMOLE_FUZZ_TMP");
  if (!base) base = access("/dev/shm", W_OK) == 0 ? "/dev/shm" : "/tmp";
  std::string pattern = std::string(base) + "/tramole-fuzz.XXXXXX";
  if (!mkdtemp(&pattern[0])) abort();
  gDir = pattern;
  gPath = gDir + "/TRAMOLED.QDF";
  atexit(RemoveScratch);
  return gPath;
}

void FuzzWriteScratch(const uint8_t* data, size_t size) {
  int fd = open(FuzzScratchFile().c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) abort();
  while (size > 0) {
    ssize_t n = write(fd, data, size);
    if (n <= 0) abort();
    data += n;
    size -= (size_t)n;
  }
  close(fd);
}

void FuzzFail(const char* target, const std::string& what) {
  fprintf(stderr, "%s: %s\n", target, what.c_str());
  abort();
}
