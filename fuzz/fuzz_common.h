// What the fuzz targets share: a scratch data file rewritten for each input,
// the codes every target looks up, and a failure that names what differed.
#ifndef TRAMOLE_FUZZ_FUZZ_COMMON_H
#define TRAMOLE_FUZZ_FUZZ_COMMON_H

#include <stddef.h>
#include <stdint.h>

#include <string>

// Every code the library treats differently: -1, the numbered codes, the
// first codes past them, and the extremes.
inline constexpr int32_t kFuzzCodes[] = {-1, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17,
                                         INT32_MAX, INT32_MIN};
inline constexpr size_t kFuzzCodeCount = sizeof kFuzzCodes / sizeof kFuzzCodes[0];

// Creates the scratch directory (under $TRAMOLE_FUZZ_TMP, else /dev/shm or
// /tmp) and removes it at exit. Returns the data file's path.
const std::string& FuzzScratchFile();

// Replaces the scratch file's contents with `size` bytes.
void FuzzWriteScratch(const uint8_t* data, size_t size);

[[noreturn]] void FuzzFail(const char* target, const std::string& what);

#endif
