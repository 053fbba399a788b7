// The message table: texts of the host's error messages, loaded from the
// data file during process attach and released during process detach.
#ifndef TRAMOLE_MESSAGES_MESSAGES_H
#define TRAMOLE_MESSAGES_MESSAGES_H

#include <stdint.h>

#include "datafile/datafile.h"
#include "platform/os.h"
#include "tramolew.h"

#define ERRMSG_SECTION "NALBI_ErrMsg"
#define ERRMSG_TEXT_SIZE 290
#define ERRMSG_ENTRIES 18    // 16 numbered, the fallback, the end entry
#define ERRMSG_NUMBERED 16
#define ERRMSG_FALLBACK 16   // index of "ERMSG_XX"
#define ERRMSG_KEY_SIZE 128  // keys this long or longer can never fill an entry

struct ErrMsgEntry {
  const char* key;
  char* text;  // 290-byte zero-filled block, or 0 until loaded
};

extern ErrMsgEntry ErrMsgTable[ERRMSG_ENTRIES];

void LoadErrorMessages(const char* path);
void ReadErrMsgSection(DataFile* file);
void FreeErrorMessages();

// DALVIRE_GetErrorMsg is declared in tramolew.h.

#endif
