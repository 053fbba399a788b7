// A scratch directory for native tests.
#ifndef TRAMOLE_TESTS_SUPPORT_TEMP_DIR_H
#define TRAMOLE_TESTS_SUPPORT_TEMP_DIR_H

#include <stdint.h>

#include <string>
#include <vector>

#include "tests/support/qdf_builder.h"

// A directory that lives as long as the object; files written into it.
class TempDir {
 public:
  explicit TempDir(const std::string& name = "tramole");
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& path() const { return path_; }
  std::string Write(const std::string& name, const std::vector<uint8_t>& bytes) const;
  std::string Write(const std::string& name, const QdfImage& image) const {
    return Write(name, image.bytes);
  }

 private:
  std::string path_;
};

#endif
