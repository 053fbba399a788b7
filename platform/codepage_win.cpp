// Windows backend of codepage.h: MultiByteToWideChar / WideCharToMultiByte.
#include "platform/codepage.h"

#include <windows.h>

#include <ctype.h>
#include <stdlib.h>
#include <string.h>

#include <vector>

namespace {

struct NamedCodepage {
  const char* name;
  uint32_t codepage;
};

// Character-set names that .po headers use, by code page. "CPnnnn" and
// "WINDOWS-nnnn" are read as numbers.
const NamedCodepage kNames[] = {
    {"UTF-8", 65001},      {"UTF8", 65001},         {"ASCII", 20127},    {"US-ASCII", 20127},
    {"ANSI_X3.4-1968", 20127}, {"SHIFT_JIS", 932},  {"SHIFT-JIS", 932},  {"SJIS", 932},
    {"MS_KANJI", 932},     {"WINDOWS-31J", 932},    {"EUC-JP", 20932},   {"GBK", 936},
    {"GB2312", 936},       {"EUC-CN", 936},         {"GB18030", 54936},  {"BIG5", 950},
    {"BIG-5", 950},        {"EUC-KR", 949},         {"UHC", 949},        {"KOI8-R", 20866},
    {"KOI8-U", 21866},     {"LATIN1", 28591},       {"TIS-620", 874},
};

bool SameName(const char* a, const char* b) {
  for (; *a && *b; ++a, ++b)
    if (toupper((unsigned char)*a) != toupper((unsigned char)*b)) return false;
  return *a == *b;
}

bool HasPrefix(const char* text, const char* prefix) {
  for (; *prefix; ++text, ++prefix)
    if (toupper((unsigned char)*text) != toupper((unsigned char)*prefix)) return false;
  return true;
}

// 0 when the name is not known.
uint32_t CodepageOfCharset(const char* charset) {
  for (const NamedCodepage& n : kNames)
    if (SameName(charset, n.name)) return n.codepage;
  const char* digits = 0;
  if (HasPrefix(charset, "CP")) digits = charset + 2;
  else if (HasPrefix(charset, "WINDOWS-")) digits = charset + 8;
  else if (HasPrefix(charset, "ISO-8859-") || HasPrefix(charset, "ISO8859-")) {
    const char* n = charset + (charset[3] == '-' ? 9 : 8);
    char* end = 0;
    unsigned long part = strtoul(n, &end, 10);
    return (*n && !*end && part >= 1 && part <= 16) ? 28590 + (uint32_t)part : 0;
  }
  if (!digits || !*digits) return 0;
  char* end = 0;
  unsigned long number = strtoul(digits, &end, 10);
  return *end || number == 0 || number > 65535 ? 0 : (uint32_t)number;
}

CodepageStatus ToWide(uint32_t codepage, const std::string& in, std::vector<wchar_t>* wide) {
  wide->clear();
  if (in.empty()) return CODEPAGE_OK;
  if (!IsValidCodePage(codepage)) return CODEPAGE_UNKNOWN;
  int n = MultiByteToWideChar(codepage, MB_ERR_INVALID_CHARS, in.data(), (int)in.size(), 0, 0);
  if (n <= 0) return CODEPAGE_INVALID;
  wide->resize((size_t)n);
  if (MultiByteToWideChar(codepage, MB_ERR_INVALID_CHARS, in.data(), (int)in.size(), wide->data(), n) != n)
    return CODEPAGE_INVALID;
  return CODEPAGE_OK;
}

CodepageStatus FromWide(uint32_t codepage, const std::vector<wchar_t>& wide, std::string* out) {
  out->clear();
  if (wide.empty()) return CODEPAGE_OK;
  if (!IsValidCodePage(codepage)) return CODEPAGE_UNKNOWN;
  // UTF-8 and a few other code pages refuse both the flag and the
  // used-default query; they have no best fit to refuse.
  bool strict = codepage != CP_UTF8 && codepage != 54936 && codepage != 65000 && codepage != 42 &&
                !(codepage >= 50220 && codepage <= 50229) && !(codepage >= 57002 && codepage <= 57011);
  DWORD flags = strict ? WC_NO_BEST_FIT_CHARS : (codepage == CP_UTF8 ? WC_ERR_INVALID_CHARS : 0);
  BOOL usedDefault = FALSE;
  BOOL* used = strict ? &usedDefault : 0;
  int n = WideCharToMultiByte(codepage, flags, wide.data(), (int)wide.size(), 0, 0, 0, used);
  if (n <= 0 || usedDefault) return CODEPAGE_INVALID;
  std::vector<char> bytes((size_t)n);
  if (WideCharToMultiByte(codepage, flags, wide.data(), (int)wide.size(), bytes.data(), n, 0, used) != n ||
      usedDefault)
    return CODEPAGE_INVALID;
  out->assign(bytes.data(), bytes.size());
  return CODEPAGE_OK;
}

CodepageStatus Convert(uint32_t from, uint32_t to, const std::string& in, std::string* out) {
  std::vector<wchar_t> wide;
  CodepageStatus status = ToWide(from, in, &wide);
  if (status != CODEPAGE_OK) return status;
  std::string result;
  status = FromWide(to, wide, &result);
  if (status == CODEPAGE_OK) out->swap(result);
  return status;
}

}  // namespace

bool CodepageAvailable(uint32_t codepage) { return codepage != 0 && IsValidCodePage(codepage); }

CodepageStatus CharsetToUtf8(const char* charset, const std::string& in, std::string* out) {
  uint32_t codepage = CodepageOfCharset(charset);
  if (codepage == 0 || !IsValidCodePage(codepage)) return CODEPAGE_UNKNOWN;
  return Convert(codepage, CP_UTF8, in, out);
}

CodepageStatus Utf8ToCodepage(uint32_t codepage, const std::string& in, std::string* out) {
  if (!CodepageAvailable(codepage)) return CODEPAGE_UNKNOWN;
  return Convert(CP_UTF8, codepage, in, out);
}

CodepageStatus CodepageToUtf8(uint32_t codepage, const std::string& in, std::string* out) {
  if (!CodepageAvailable(codepage)) return CODEPAGE_UNKNOWN;
  return Convert(codepage, CP_UTF8, in, out);
}
