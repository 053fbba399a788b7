// Fuzz target: arbitrary bytes as the message data file, through the same
// load path the library takes at process attach.
//
// Input: one control byte, then the file. Every input is loaded in image
// mode first; then loaded again the way the control byte says, with a fault
// of the platform stand-in armed:
//   bits 0-1 = 0  the image allocation fails: file mode, same texts
//            = 1  the size query fails: file mode, same texts
//            = 2  one read delivers half of what it asked (bit 2: in file
//                 mode), the read (bits 3-7) + 1: same texts
//            = 3  allocation (bits 2-7) + 1 fails: texts may go missing
// Each load must leave no file open, hold exactly one block per loaded text,
// answer every lookup by the table's rules, and release everything again.
#include <stdint.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>

#include "fuzz/fuzz_common.h"
#include "messages/messages.h"
#include "platform/os_test.h"

namespace {

struct Texts {
  std::string text[kFuzzCodeCount];
};

[[noreturn]] void Fail(const char* what, long long got, long long expected) {
  FuzzFail("load_fuzz", std::string(what) + ": got " + std::to_string(got) + ", expected " +
                            std::to_string(expected));
}

// The lookup rules, checked against the table itself.
const char* ExpectedLookup(int32_t code) {
  uint32_t index = (uint32_t)code;
  if (index < ERRMSG_NUMBERED && ErrMsgTable[index].text) return ErrMsgTable[index].text;
  if (ErrMsgTable[ERRMSG_FALLBACK].text) return ErrMsgTable[ERRMSG_FALLBACK].text;
  return nullptr;  // the constant empty text
}

// One load and release; `texts` gets what each code returned.
void LoadAndCheck(Texts* texts) {
  int64_t allocations = OsLiveAllocations();
  int64_t files = OsOpenFiles();
  LoadErrorMessages(FuzzScratchFile().c_str());
  if (OsOpenFiles() != files) Fail("files open after the load", OsOpenFiles(), files);
  int64_t held = 0;
  for (int i = 0; i < ERRMSG_ENTRIES; ++i) held += ErrMsgTable[i].text != nullptr;
  if (ErrMsgTable[ERRMSG_ENTRIES - 1].text) Fail("end entry got a text", 1, 0);
  if (OsLiveAllocations() - allocations != held)
    Fail("blocks held after the load", OsLiveAllocations() - allocations, held);
  for (size_t i = 0; i < kFuzzCodeCount; ++i) {
    const char* text = DALVIRE_GetErrorMsg(kFuzzCodes[i]);
    if (!text) Fail("null text for code", kFuzzCodes[i], 0);
    const char* expected = ExpectedLookup(kFuzzCodes[i]);
    if (expected && text != expected) Fail("lookup ignored the table for code", kFuzzCodes[i], 0);
    if (!expected && text[0] != '\0') Fail("nonempty text with no entry for code", kFuzzCodes[i], 0);
    size_t length = strnlen(text, ERRMSG_TEXT_SIZE);
    if (length >= ERRMSG_TEXT_SIZE) Fail("unterminated text for code", kFuzzCodes[i], 0);
    texts->text[i].assign(text, length);
  }
  FreeErrorMessages();
  for (size_t i = 0; i < kFuzzCodeCount; ++i)
    if (DALVIRE_GetErrorMsg(kFuzzCodes[i])[0] != '\0') Fail("text left after the release, code", kFuzzCodes[i], 0);
  if (OsLiveAllocations() != allocations) Fail("allocations left behind", OsLiveAllocations(), allocations);
  if (OsOpenFiles() != files) Fail("files left open", OsOpenFiles(), files);
}

void ExpectSame(const Texts& a, const Texts& b, const char* how) {
  for (size_t i = 0; i < kFuzzCodeCount; ++i) {
    if (a.text[i] == b.text[i]) continue;
    FuzzFail("load_fuzz", std::string(how) + ": code " + std::to_string(kFuzzCodes[i]) + " got \"" + b.text[i] +
                              "\", expected \"" + a.text[i] + "\" (image mode)");
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size == 0) return 0;
  uint8_t control = data[0];
  FuzzWriteScratch(data + 1, size - 1);

  OsTestReset();
  Texts image;
  LoadAndCheck(&image);

  Texts again;
  OsTestReset();
  switch (control & 3) {
    case 0:
      OsFaultArm(OS_FAULT_ALLOC, 2);  // the reader's record, then the image
      LoadAndCheck(&again);
      if (OsFaultFired(OS_FAULT_ALLOC) != 1) Fail("image allocation faults fired", OsFaultFired(OS_FAULT_ALLOC), 1);
      ExpectSame(image, again, "file mode (no image block)");
      break;
    case 1:
      OsFaultArm(OS_FAULT_FILE_SIZE, 1);
      LoadAndCheck(&again);
      if (OsFaultFired(OS_FAULT_FILE_SIZE) != 1) Fail("size faults fired", OsFaultFired(OS_FAULT_FILE_SIZE), 1);
      ExpectSame(image, again, "file mode (no size)");
      break;
    case 2:
      if (control & 4) OsFaultArm(OS_FAULT_FILE_SIZE, 1);
      OsFaultArm(OS_FAULT_SHORT_READ, (control >> 3) + 1u);
      LoadAndCheck(&again);
      ExpectSame(image, again, control & 4 ? "file mode, one short read" : "image mode, one short read");
      break;
    default:
      OsFaultArm(OS_FAULT_ALLOC, (control >> 2) + 1u);
      LoadAndCheck(&again);
      break;
  }
  OsTestReset();
  return 0;
}
