// How qdf reads the numbers of its command line.
#ifndef TRAMOLE_TOOLS_QDF_NUMBERS_H
#define TRAMOLE_TOOLS_QDF_NUMBERS_H

#include <stdint.h>

#include <string>

// A code: decimal with an optional sign ("08" is 8, "010" is 10), or
// hexadecimal after "0x", within a signed 32-bit value.
bool ParseCode(const std::string& text, int32_t* code);

// A code page: a decimal number from 1 to 65535, or a usual name of one
// ("cp1252", "windows-1252", "shift_jis", "gbk", "big5", "euc-kr", "utf-8").
bool ParseCodepage(const std::string& text, uint32_t* codepage);

#endif
