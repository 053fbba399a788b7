// Text conversion between character sets, UTF-8 and Windows ANSI code pages.
//
// Only the qdf tool uses this; the library never converts text (it hands the
// data file's bytes to the host as they are). codepage_posix.cpp uses iconv,
// codepage_win.cpp the Windows conversion functions.
#ifndef TRAMOLE_PLATFORM_CODEPAGE_H
#define TRAMOLE_PLATFORM_CODEPAGE_H

#include <stdint.h>

#include <string>

enum CodepageStatus {
  CODEPAGE_OK = 0,
  CODEPAGE_UNKNOWN,  // this host cannot convert from or to the named set
  CODEPAGE_INVALID,  // the input holds something that cannot be converted
};

// Whether this host converts to and from the ANSI code page `codepage`.
bool CodepageAvailable(uint32_t codepage);

// `in`, encoded in the character set named as a .po header names it
// ("UTF-8", "ISO-8859-1", "CP1252", "Shift_JIS", ...), as UTF-8.
CodepageStatus CharsetToUtf8(const char* charset, const std::string& in, std::string* out);

// UTF-8 to the code page, with no best-fit replacement: a character the code
// page cannot hold makes the whole conversion fail.
CodepageStatus Utf8ToCodepage(uint32_t codepage, const std::string& in, std::string* out);

// Bytes of the code page to UTF-8; bytes the code page does not define fail.
CodepageStatus CodepageToUtf8(uint32_t codepage, const std::string& in, std::string* out);

#endif
