#include "tools/qdf/fileio.h"

bool IsStandardStream(const std::string& path) { return path == "-"; }

bool SameFile(const FileIdentity& a, const FileIdentity& b) { return a.volume == b.volume && a.index == b.index; }

bool WriteOutputFile(const std::string& target, const void* data, size_t size, const OutputCalls& calls,
                     std::string* error) {
  if (!calls.checkTarget(target, error)) return false;
  std::string temp;
  intptr_t handle = 0;
  if (!calls.create(target, &temp, &handle, error)) return false;
  // From here on the temporary file exists: every failure ends below.
  const char* bytes = static_cast<const char*>(data);
  bool ok = true;
  for (size_t done = 0; ok && done < size; done += kOutputChunk)
    ok = calls.write(handle, bytes + done, size - done < kOutputChunk ? size - done : kOutputChunk, error);
  ok = ok && calls.flush(handle, error);
  ok = ok && calls.sync(handle, error);
  std::string closeError;
  bool closed = calls.close(handle, &closeError);
  if (ok && !closed) *error = closeError;
  ok = ok && closed && calls.replace(temp, target, error);
  if (!ok) calls.remove(temp);
  return ok;
}

bool WriteOutputFile(const std::string& target, const void* data, size_t size, std::string* error) {
  return WriteOutputFile(target, data, size, SystemOutputCalls(), error);
}
