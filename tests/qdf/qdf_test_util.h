// Helpers shared by the qdf tests.
#ifndef TRAMOLE_TESTS_QDF_QDF_TEST_UTIL_H
#define TRAMOLE_TESTS_QDF_QDF_TEST_UTIL_H

#include <stdint.h>

#include <string>
#include <vector>

#include "tests/support/qdf_builder.h"
#include "tests/support/temp_dir.h"
#include "tools/qdf/compile.h"
#include "tools/qdf/diagnostics.h"
#include "tools/qdf/check.h"

// The ids of the findings, in order, joined by spaces.
std::string FindingIds(const Diagnostics& d);
// The diagnostics as the CLI would print them, one a line.
std::string Describe(const Diagnostics& d);

// Parses one source by kind; returns false on errors.
bool ParseOne(const std::string& name, const std::string& text, ParsedSource* out, Diagnostics* d,
              bool useFuzzy = false);

// Source text to file bytes as `qdf build` makes them; empty on errors.
std::vector<uint8_t> BuildBytes(const std::string& name, const std::string& text, uint32_t codepage,
                                Diagnostics* d);

// What the library's loaded table holds: "KEY=text|" for each loaded entry.
std::string TableOf(const CheckReport& r);

CheckReport Check(const QdfImage& image);

std::vector<QdfMessage> AsBuilderMessages(const std::vector<Message>& messages);

// The qdf program run by the shell, as a test script runs it.
struct Outcome {
  int exitCode = -1;
  std::string out, err;
};

// Runs qdf with the arguments (paths here hold no spaces or quotes); its
// standard streams go to files in `dir`. `prefix` goes before it in the
// shell's command ("ulimit -f 1;" or "cat x |").
Outcome Qdf(const TempDir& dir, const std::string& arguments, const std::string& prefix = "");

std::string ReadFile(const std::string& path);
bool Exists(const std::string& path);
std::string WriteText(const TempDir& dir, const std::string& name, const std::string& text);

#endif
