// The ways a data file can be opened: with its image in memory, or in file
// mode because one step of taking the image failed.
#ifndef TRAMOLE_TESTS_SUPPORT_MODES_H
#define TRAMOLE_TESTS_SUPPORT_MODES_H

#include <gtest/gtest.h>

#include <string>

#include "platform/os_test.h"

enum class OpenMode { Image, FileNoSize, FileNoMemory, FileReadFails };

inline const char* OpenModeName(OpenMode mode) {
  switch (mode) {
    case OpenMode::Image: return "image";
    case OpenMode::FileNoSize: return "file mode (size query fails)";
    case OpenMode::FileNoMemory: return "file mode (no memory for the image)";
    case OpenMode::FileReadFails: return "file mode (whole-file read fails)";
  }
  return "?";
}

// Allocations of a load, in order: the reader's record, then the image
// (not asked for when the size query failed), then one block for each text.
enum : uint32_t { LOAD_ALLOC_RECORD = 1, LOAD_ALLOC_IMAGE = 2 };

// Number of the allocation that holds the first text a load in `mode` reads.
inline uint32_t FirstTextAllocation(OpenMode mode) {
  return mode == OpenMode::FileNoSize ? LOAD_ALLOC_IMAGE : LOAD_ALLOC_IMAGE + 1;
}

// Arms the fault that makes the next DataFileOpen fall back to file mode.
// The whole-file read is the first read.
inline void ArmOpenMode(OpenMode mode) {
  switch (mode) {
    case OpenMode::Image: break;
    case OpenMode::FileNoSize: OsFaultArm(OS_FAULT_FILE_SIZE, 1); break;
    case OpenMode::FileNoMemory: OsFaultArm(OS_FAULT_ALLOC, LOAD_ALLOC_IMAGE); break;
    case OpenMode::FileReadFails: OsFaultArm(OS_FAULT_READ, 1); break;
  }
}

// Faults fired so far by the kind that `mode` arms (0 for image mode); a
// test compares it before and after the open.
inline uint32_t OpenModeFired(OpenMode mode) {
  switch (mode) {
    case OpenMode::Image: return 0;
    case OpenMode::FileNoSize: return OsFaultFired(OS_FAULT_FILE_SIZE);
    case OpenMode::FileNoMemory: return OsFaultFired(OS_FAULT_ALLOC);
    case OpenMode::FileReadFails: return OsFaultFired(OS_FAULT_READ);
  }
  return 0;
}

inline std::string PrintOpenMode(const ::testing::TestParamInfo<OpenMode>& info) {
  switch (info.param) {
    case OpenMode::Image: return "Image";
    case OpenMode::FileNoSize: return "FileNoSize";
    case OpenMode::FileNoMemory: return "FileNoMemory";
    case OpenMode::FileReadFails: return "FileReadFails";
  }
  return "Unknown";
}

#define ALL_OPEN_MODES \
  ::testing::Values(OpenMode::Image, OpenMode::FileNoSize, OpenMode::FileNoMemory, OpenMode::FileReadFails)

#endif
