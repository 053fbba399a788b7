// The error codes every message test asks the library for: below, inside
// and above the numbered range (0 to 15), and both ends of 32 bits.
#ifndef TRAMOLE_TESTS_SUPPORT_PROBES_H
#define TRAMOLE_TESTS_SUPPORT_PROBES_H

#include <stddef.h>
#include <stdint.h>

inline constexpr int32_t kProbeCodes[] = {-1, 0,  1,  2,  3,  4,  5,  6,  7,  8,         9,        10,
                                          11, 12, 13, 14, 15, 16, 17, INT32_MAX, INT32_MIN};
inline constexpr size_t kProbeCodeCount = sizeof kProbeCodes / sizeof kProbeCodes[0];

#endif
