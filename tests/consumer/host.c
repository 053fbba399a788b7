/*
 * A host program in C89, linked at load time against TRAMOLEW.dll through
 * its import library: it prints a few message texts and the result of each
 * export, once for a printer with a companion and once for an unknown one.
 *
 *   host PRINTER
 */
#include <stdio.h>

#include "tramolew.h"

typedef tramolew_int32(TRAMOLEW_CALL* SettingOperation)(const char* printer, tramolew_uintptr value);

static int ShowText(tramolew_int32 code) {
  const char* text = DALVIRE_GetErrorMsg(code);
  if (text == 0) {
    printf("code %ld: got a null text, expected a text\n", (long)code);
    return 1;
  }
  printf("code %ld: \"%s\"\n", (long)code, text);
  return 0;
}

int main(int argc, char** argv) {
  static const char* const names[5] = {"DALVIRE_SettingExport", "DALVIRE_SettingImport",
                                       "DALVIRE_PersonalInfoImport", "DALVIRE_DefaultSetting",
                                       "DALVIRE_FixSetting"};
  SettingOperation operations[5];
  int failed = 0;
  int i;

  if (argc != 2) {
    fprintf(stderr, "usage: host PRINTER\n");
    return 2;
  }
  operations[0] = DALVIRE_SettingExport;
  operations[1] = DALVIRE_SettingImport;
  operations[2] = DALVIRE_PersonalInfoImport;
  operations[3] = DALVIRE_DefaultSetting;
  operations[4] = DALVIRE_FixSetting;

  printf("host built against %s %s\n", TRAMOLEW_DLL_NAME, TRAMOLEW_VERSION);
  failed |= ShowText(0);
  failed |= ShowText(15);
  failed |= ShowText(-1);
  for (i = 0; i < 5; ++i) {
    printf("%s(%s) = %ld\n", names[i], argv[1], (long)operations[i](argv[1], (tramolew_uintptr)0x1234abcd));
    fflush(stdout);
    printf("%s(No Such Printer) = %ld\n", names[i], (long)operations[i]("No Such Printer", 1));
  }
  printf("SetChildInfo() = %ld\n", (long)SetChildInfo());
  return failed;
}
