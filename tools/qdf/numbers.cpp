#include "tools/qdf/numbers.h"

#include <string.h>

namespace {

std::string Lower(const std::string& text) {
  std::string lower = text;
  for (char& c : lower) c = (char)(c >= 'A' && c <= 'Z' ? c + 32 : c);
  return lower;
}

// Digits in `base` up to `limit`; false on anything else, on none, or past it.
bool ParseDigits(const std::string& digits, unsigned base, uint64_t limit, uint64_t* value) {
  if (digits.empty()) return false;
  uint64_t v = 0;
  for (char c : digits) {
    unsigned d;
    if (c >= '0' && c <= '9') d = (unsigned)(c - '0');
    else if (base == 16 && c >= 'a' && c <= 'f') d = (unsigned)(c - 'a' + 10);
    else return false;
    if (d >= base) return false;
    v = v * base + d;
    if (v > limit) return false;
  }
  *value = v;
  return true;
}

}  // namespace

bool ParseCode(const std::string& text, int32_t* code) {
  std::string t = Lower(text);
  bool negative = !t.empty() && t[0] == '-';
  if (!t.empty() && (t[0] == '-' || t[0] == '+')) t.erase(0, 1);
  bool hex = t.size() > 2 && t[0] == '0' && t[1] == 'x';
  uint64_t limit = negative ? 2147483648ull : 2147483647ull;
  uint64_t value;
  if (!ParseDigits(hex ? t.substr(2) : t, hex ? 16 : 10, limit, &value)) return false;
  *code = negative ? (int32_t)(0 - (int64_t)value) : (int32_t)value;
  return true;
}

bool ParseCodepage(const std::string& text, uint32_t* codepage) {
  static const struct {
    const char* name;
    uint32_t codepage;
  } kNames[] = {
      {"shift_jis", 932}, {"shift-jis", 932}, {"sjis", 932},       {"windows-31j", 932},
      {"gbk", 936},       {"gb2312", 936},    {"big5", 950},       {"euc-kr", 949},
      {"ks_c_5601-1987", 949}, {"uhc", 949},  {"utf-8", 65001},    {"utf8", 65001},
  };
  std::string t = Lower(text);
  for (const auto& n : kNames)
    if (t == n.name) {
      *codepage = n.codepage;
      return true;
    }
  for (const char* prefix : {"windows-", "cp", "ibm"})
    if (t.compare(0, strlen(prefix), prefix) == 0) {
      t.erase(0, strlen(prefix));
      break;
    }
  uint64_t value;
  if (!ParseDigits(t, 10, 65535, &value) || value == 0) return false;
  *codepage = (uint32_t)value;
  return true;
}
