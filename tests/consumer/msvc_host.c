/*
 * A host program for the MSVC ABI, built without any C library: clang for
 * x86_64-pc-windows-msvc, freestanding, linked by lld-link against
 * TRAMOLEW.lib and a KERNEL32 import library. It includes nothing but
 * tramolew.h, calls all seven exports and writes what they return.
 */
#include "tramolew.h"

/* The three KERNEL32 calls it needs, declared here: no Windows headers. */
__declspec(dllimport) void* __stdcall GetStdHandle(unsigned long which);
__declspec(dllimport) int __stdcall WriteFile(void* file, const void* data, unsigned long size,
                                              unsigned long* written, void* overlapped);
__declspec(dllimport) void __stdcall ExitProcess(unsigned int code);

#define STD_OUTPUT ((unsigned long)-11)

static void Write(const char* text) {
  unsigned long size = 0;
  unsigned long written = 0;
  while (text[size] != '\0') ++size;
  WriteFile(GetStdHandle(STD_OUTPUT), text, size, &written, 0);
}

static void WriteNumber(tramolew_int32 number) {
  char digits[16];
  int at = (int)sizeof digits - 1;
  unsigned long magnitude = number < 0 ? 0ul - (unsigned long)number : (unsigned long)number;
  digits[at] = '\0';
  do {
    digits[--at] = (char)('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (number < 0) digits[--at] = '-';
  Write(digits + at);
}

static int ShowText(tramolew_int32 code) {
  const char* text = DALVIRE_GetErrorMsg(code);
  Write("code ");
  WriteNumber(code);
  if (text == 0) {
    Write(": got a null text, expected a text\n");
    return 1;
  }
  Write(": \"");
  Write(text);
  Write("\"\n");
  return 0;
}

static void ShowResult(const char* name, const char* printer, tramolew_int32 result) {
  Write(name);
  Write("(");
  Write(printer);
  Write(") = ");
  WriteNumber(result);
  Write("\n");
}

void HostMain(void) {
  static const char sample[] = "TRAMOLE Sample Printer";
  static const char unknown[] = "No Such Printer";
  int failed = 0;
  Write("MSVC-ABI host built against " TRAMOLEW_DLL_NAME " " TRAMOLEW_VERSION "\n");
  failed |= ShowText(0);
  failed |= ShowText(15);
  failed |= ShowText(-1);
  ShowResult("DALVIRE_SettingImport", sample, DALVIRE_SettingImport(sample, (tramolew_uintptr)0x1234abcd));
  ShowResult("DALVIRE_SettingExport", unknown, DALVIRE_SettingExport(unknown, 1));
  ShowResult("DALVIRE_SettingImport", unknown, DALVIRE_SettingImport(unknown, 1));
  ShowResult("DALVIRE_PersonalInfoImport", unknown, DALVIRE_PersonalInfoImport(unknown, 1));
  ShowResult("DALVIRE_DefaultSetting", unknown, DALVIRE_DefaultSetting(unknown, 1));
  ShowResult("DALVIRE_FixSetting", unknown, DALVIRE_FixSetting(unknown, 1));
  Write("SetChildInfo() = ");
  WriteNumber(SetChildInfo());
  Write("\n");
  ExitProcess((unsigned int)failed);
}
