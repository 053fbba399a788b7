// iconv backend of codepage.h (glibc names: "CP1252", "CP932", ...).
#include "platform/codepage.h"

#include <errno.h>
#include <iconv.h>
#include <stdio.h>

namespace {

// glibc's name for a Windows code page number.
std::string IconvName(uint32_t codepage) {
  char name[32];
  if (codepage == 65001) return "UTF-8";
  if (codepage == 20127) return "ASCII";
  if (codepage == 20932) return "EUC-JP";
  if (codepage == 54936) return "GB18030";
  if (codepage >= 28591 && codepage <= 28599) {
    snprintf(name, sizeof name, "ISO-8859-%u", (unsigned)(codepage - 28590));
    return name;
  }
  snprintf(name, sizeof name, "CP%u", (unsigned)codepage);
  return name;
}

CodepageStatus Convert(const std::string& from, const std::string& to, const std::string& in,
                       std::string* out) {
  iconv_t cd = iconv_open(to.c_str(), from.c_str());
  if (cd == (iconv_t)-1) return CODEPAGE_UNKNOWN;
  CodepageStatus status = CODEPAGE_OK;
  std::string result;
  char buffer[1024];
  char* input = const_cast<char*>(in.data());
  size_t inputLeft = in.size();
  // A last call with no input flushes any shift state.
  for (bool flushing = false;;) {
    char* output = buffer;
    size_t outputLeft = sizeof buffer;
    size_t r = flushing ? iconv(cd, 0, 0, &output, &outputLeft)
                        : iconv(cd, &input, &inputLeft, &output, &outputLeft);
    result.append(buffer, (size_t)(output - buffer));
    if (r != (size_t)-1) {
      if (flushing) break;
      flushing = true;
      continue;
    }
    if (errno == E2BIG) continue;
    status = CODEPAGE_INVALID;  // EILSEQ: unmappable or malformed; EINVAL: cut off
    break;
  }
  iconv_close(cd);
  if (status == CODEPAGE_OK) out->swap(result);
  return status;
}

}  // namespace

bool CodepageAvailable(uint32_t codepage) {
  if (codepage == 0) return false;
  iconv_t cd = iconv_open(IconvName(codepage).c_str(), "UTF-8");
  if (cd == (iconv_t)-1) return false;
  iconv_close(cd);
  return true;
}

CodepageStatus CharsetToUtf8(const char* charset, const std::string& in, std::string* out) {
  return Convert(charset, "UTF-8", in, out);
}

CodepageStatus Utf8ToCodepage(uint32_t codepage, const std::string& in, std::string* out) {
  if (codepage == 0) return CODEPAGE_UNKNOWN;
  return Convert("UTF-8", IconvName(codepage), in, out);
}

CodepageStatus CodepageToUtf8(uint32_t codepage, const std::string& in, std::string* out) {
  if (codepage == 0) return CODEPAGE_UNKNOWN;
  return Convert(IconvName(codepage), "UTF-8", in, out);
}
