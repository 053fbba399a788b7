// Helpers for the Windows test and benchmark programs that run under Wine:
// paths, files, printers registered straight in the prefix's registry, and
// a small pass/fail tally. These programs call Windows directly; they are
// hosts of the library, not part of it.
#ifndef TRAMOLE_TESTS_WINE_WINE_SUPPORT_H
#define TRAMOLE_TESTS_WINE_WINE_SUPPORT_H

#include <stdint.h>

#include <string>
#include <vector>

namespace wine {

// A path given on the command line: an absolute Unix path ("/work/x") is
// turned into the Z: path Wine maps it to; anything else is kept.
std::string HostPath(const std::string& arg);

// Directory of a full path, with its trailing separator.
std::string DirOf(const std::string& path);

// Creates `dir` and its parents; true when it exists afterwards.
bool MakeDirs(const std::string& dir);
// Copies `from` to `to` (overwriting), creating the directory of `to`.
bool CopyTo(const std::string& from, const std::string& to);
bool WriteBytes(const std::string& path, const std::vector<uint8_t>& bytes);
// Removes the file if it is there; true when it is gone.
bool RemoveFile(const std::string& path);
bool FileExists(const std::string& path);

// A printer driver in the spooler's registry. `driverPath` is the registered
// `Driver` value; null registers the driver without one.
bool RegisterDriver(const std::string& driver, const char* driverPath);
// The same with UTF-16 names and path, for paths no ANSI code page holds.
bool RegisterDriverW(const std::wstring& driver, const std::wstring& driverPath);
// A printer using `driver`, printing to FILE: through winprint.
bool RegisterPrinter(const std::string& printer, const std::string& driver);
// The same with UTF-16 names, for names the ANSI registry calls cannot carry.
bool RegisterPrinterW(const std::wstring& printer, const std::wstring& driver);
// The driver's main file as the spooler reports it for `printer`, or "".
std::string SpoolerDriverPath(const std::string& printer);
// The same through the wide calls.
std::wstring SpoolerDriverPathW(const std::wstring& printer);

// Text of a byte string for messages: printable bytes as they are, others
// as \xNN, cut after `limit` bytes.
std::string Show(const std::string& bytes, size_t limit = 80);
std::string Hex(uint64_t value);

// Counts checks and prints every failure as "FAIL [row] what: got X, expected Y".
class Tally {
 public:
  // Returns `ok`, so that a caller can stop a row whose setup failed.
  bool Check(bool ok, const std::string& row, const std::string& what, const std::string& got,
             const std::string& expected);
  bool Equal(const std::string& row, const std::string& what, const std::string& got,
             const std::string& expected) {
    return Check(got == expected, row, what, got, expected);
  }
  bool Equal(const std::string& row, const std::string& what, long long got, long long expected) {
    return Check(got == expected, row, what, std::to_string(got), std::to_string(expected));
  }
  // Prints "N passed, N failed" and gives the process exit code.
  int Finish(const std::string& suite);

 private:
  int passed_ = 0;
  int failed_ = 0;
};

}  // namespace wine

#endif
