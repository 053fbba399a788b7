// The files qdf reads and writes itself: sources, dumps, built data files and
// the standard streams. Inputs must be regular files or standard input, so no
// read can block; outputs are written whole to a temporary file beside the
// target and then renamed over it, so a failure never costs the old file.
// Paths are UTF-8; fileio_posix.cpp and fileio_win.cpp hold the system calls.
#ifndef TRAMOLE_TOOLS_QDF_FILEIO_H
#define TRAMOLE_TOOLS_QDF_FILEIO_H

#include <stddef.h>
#include <stdint.h>

#include <string>

// "-" names standard input (as a source) and standard output (with -o).
bool IsStandardStream(const std::string& path);

// The whole of a regular file or of standard input, up to 64 MiB. A FIFO, a
// device or a directory is refused at once. `error` says why it failed.
bool ReadInput(const std::string& path, std::string* data, std::string* error);

// Whether `path` is a regular file that can be opened for reading, checked
// without blocking; `error` says why not.
bool CheckReadableFile(const std::string& path, std::string* error);

// What makes a file itself, whatever name reaches it: device and inode on
// POSIX, volume serial and file index on Windows.
struct FileIdentity {
  uint64_t volume = 0;
  uint64_t index = 0;
};

// The identity of the file `path` names (links followed); false when it
// does not exist or cannot be asked.
bool IdentifyFile(const std::string& path, FileIdentity* identity);
bool SameFile(const FileIdentity& a, const FileIdentity& b);

// The steps of writing an output, as calls that a test can make fail. Each
// returns false with `error` set to the system's reason.
struct OutputCalls {
  // Creates a new, empty temporary file in the directory of `target`.
  bool (*create)(const std::string& target, std::string* temp, intptr_t* handle, std::string* error);
  bool (*write)(intptr_t handle, const void* data, size_t size, std::string* error);
  bool (*flush)(intptr_t handle, std::string* error);
  bool (*sync)(intptr_t handle, std::string* error);
  bool (*close)(intptr_t handle, std::string* error);
  // Puts the temporary file in the place of `target` in one step.
  bool (*replace)(const std::string& temp, const std::string& target, std::string* error);
  void (*remove)(const std::string& temp);
  // Refuses a target that exists and is not a regular file (a link is replaced, not followed).
  bool (*checkTarget)(const std::string& target, std::string* error);
};

const OutputCalls& SystemOutputCalls();

// The most bytes one write call is given.
const size_t kOutputChunk = 1u << 16;

// Writes `size` bytes as the new content of `target`: to a temporary file,
// each write, the flush, the sync and the close checked, then renamed over
// the target. On failure only the temporary file is removed; `error` names
// the step and the system's reason.
bool WriteOutputFile(const std::string& target, const void* data, size_t size, const OutputCalls& calls,
                     std::string* error);
bool WriteOutputFile(const std::string& target, const void* data, size_t size, std::string* error);

// Bytes to standard output as they are (binary); false when a write or the flush failed.
bool WriteStandardOutput(const void* data, size_t size);
// UTF-8 text to standard output: through the console's wide-character call
// when standard output is a Windows console, else as bytes.
bool WriteStandardText(const std::string& utf8);

// Sets the process up for the calls above (a write past a file-size limit
// fails instead of killing the process; standard output is binary).
void PrepareFileIo();

#endif
