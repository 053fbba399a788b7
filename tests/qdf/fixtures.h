// Small damaged message files, each showing one finding of `qdf check`;
// shared by the check and round-trip tests.
#ifndef TRAMOLE_TESTS_QDF_FIXTURES_H
#define TRAMOLE_TESTS_QDF_FIXTURES_H

#include <stdint.h>

#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "tests/support/qdf_builder.h"

// The messages with "ERMSG_XX" = "fallback" in front.
std::vector<QdfMessage> WithFallback(std::vector<QdfMessage> messages);

struct Fixture {
  QdfImage image;
  int64_t offset = -1;  // where the finding must point, -1 for anywhere
};

struct FindingCase {
  const char* name;
  std::function<Fixture()> make;
  const char* id;  // the finding the fixture shows; "" for a file with none
  int exitCode;
  const char* table;  // a part of the loaded table that must be there, or ""
};

std::vector<FindingCase> FindingCases();

#endif
