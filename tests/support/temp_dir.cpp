#include "tests/support/temp_dir.h"

#include <stdio.h>
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>

TempDir::TempDir(const std::string& name) {
  std::string pattern = (std::filesystem::temp_directory_path() / (name + ".XXXXXX")).string();
  std::vector<char> buffer(pattern.begin(), pattern.end());
  buffer.push_back('\0');
  if (!mkdtemp(buffer.data())) abort();
  path_ = buffer.data();
}

TempDir::~TempDir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string TempDir::Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
  std::string file = path_ + "/" + name;
  FILE* f = fopen(file.c_str(), "wb");
  if (!f) abort();
  if (!bytes.empty()) fwrite(bytes.data(), 1, bytes.size(), f);
  fclose(f);
  return file;
}
